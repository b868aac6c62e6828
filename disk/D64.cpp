// The D64 disk image: mounting, directory and BAM caches, sector chains,
// the 1541's allocation order and the directory rewrite.
#include "disk/D64.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <sys/stat.h>

namespace {

struct ErrorRow {
  int id;
  char const* text;
};

// The fixed texts of the error numbers, one row per number.
constexpr ErrorRow kErrorTexts[] = {
    {D64_ERR_NONE, "No error occured"},
    {D64_ERR_OPEN, "Unable to open file"},
    {D64_ERR_UNKNOWN_FORMAT, "Unknown D64-disk format"},
    {D64_ERR_35_UNSUPPORTED, "35 Track disk with no error bytes is not supported"},
    {D64_ERR_35_ERRBYTES_UNSUPPORTED, "35 Track disk with error bytes is not supported"},
    {D64_ERR_40_UNSUPPORTED, "40 Track disk with no error bytes is not supported"},
    {D64_ERR_40_ERRBYTES_UNSUPPORTED, "40 Track disk with error bytes is not supported"},
    {D64_ERR_NOT_MOUNTED, "Disk is not mounted"},
    {D64_ERR_ALLOC, "Failed to allocate new memory"},
    {D64_ERR_READ, "Could not read D64-file (premature end of file or readsize to small)"},
    {D64_ERR_NOT_OPEN, "D64-file not open (mount_fp = NULL)"},
    {D64_ERR_SIZETYPE, "Unknown size-type (D64_SIZETYPE_BLOCK and D64_SIZETYPE_BYTES allowed)"},
    {D64_ERR_BAM_INVALID, "BAM not valid"},
    {D64_ERR_DISK_FULL, "Insufficient space available on disk"},
    {D64_ERR_NO_FREE_TRACK, "No more free tracks found. Maybe disk or BAM is damaged"},
    {D64_ERR_NO_FREE_SECTOR, "No more free sectors found on track. Maybe disk or BAM is damaged"},
    {D64_ERR_ALREADY_ALLOCATED, "Sector allready allocated in BAM"},
    {D64_ERR_ALREADY_FREE, "Sector allready freed in BAM"},
    {D64_ERR_WRITE, "Could not write to file"},
    {D64_ERR_DIR_FULL, "No free sectors in directory. Not possible to write new direcotry."},
    {D64_ERR_FILE_NOT_FOUND, "File not found"},
    {D64_ERR_FILE_EXISTS, "File already exists"},
    {D64_ERR_NO_READ_PERMISSION, "No read permission"},
    {D64_ERR_NOT_REGULAR, "File is no ordinary file"},
    {D64_ERR_READ_ONLY, "Disk is mounted as read only"},
    {D64_ERR_BUFFER_OVERRUN, "Buffer overrun protection"},
    {D64_ERR_NOT_LOADABLE, "Filetype is not loadable"},
};

bool validTrack(int t) { return t >= 1 && t <= kD64Tracks; }
bool validSector(int t, int s) { return validTrack(t) && s >= 0 && s < D64::sector_count[t]; }

// Offset in the BAM of track t's free count; its free map follows.
int bamTrack(int t) { return kBamTrackEntries + kBamTrackEntrySize * (t - 1); }

// End of an entry's name: its first $A0, at most 16 bytes.
int entryNameLength(unsigned char const* entry) {
  int n = 0;
  while (n < kD64NameSize && entry[kEntryName + n] != kD64Pad) ++n;
  return n;
}

// Bytes of a name up to its first $A0 (at most 16), NUL-terminated.
void copyPadded(char* out, unsigned char const* src) {
  int n = 0;
  while (n < kD64NameSize && src[n] != kD64Pad) {
    out[n] = static_cast<char>(src[n]);
    ++n;
  }
  out[n] = 0;
}

}  // namespace

D64::~D64() { close_image(); }

char const* D64::error_text(int id) {
  for (const ErrorRow& row : kErrorTexts)
    if (row.id == id) return row.text;
  return "Undefined error";
}

int D64::fail(int error) {
  last_error = error;
  return 0;
}

void D64::close_image() {
  if (mount_fp) std::fclose(mount_fp);
  mount_fp = nullptr;
  directory.reset();
  bam.reset();
}

int D64::unmount() {
  close_image();
  read_only = true;
  last_start_address = 0;
  disk_type = 0;
  selected_file = -1;
  return 1;
}

long D64::_get_filesize(char const* path) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return 0;
  long size = 0;
  if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
  std::fclose(f);
  return size < 0 ? 0 : size;
}

int D64::mount(char const* path) {
  if (mount_fp || directory || bam) {
    int keep = last_error;
    unmount();
    last_error = keep;
  }
  if (!path) return fail(D64_ERR_OPEN);
  // The status is taken before anything is opened: opening a named pipe
  // would wait for a writer.
  struct stat st {};
  if (::stat(path, &st) != 0) return fail(D64_ERR_OPEN);
  if (!S_ISREG(st.st_mode)) return fail(D64_ERR_NOT_REGULAR);

  read_only = true;
  mount_fp = std::fopen(path, "r+b");
  if (mount_fp) {
    read_only = false;
  } else {
    mount_fp = std::fopen(path, "rb");
    if (!mount_fp) return fail(D64_ERR_OPEN);
  }

  // A size that cannot be measured (0) is an unknown format too.
  long size = _get_filesize(path);
  int error = D64_ERR_NONE;
  if (size == kD64Size) {
    disk_type = 1;
  } else if (size == kD64SizeErrorBytes) {
    // The error bytes are never read, and a write could not keep them
    // meaningful, so such an image is only ever read.
    disk_type = 2;
    read_only = true;
  } else if (size == kD64Size40) {
    error = D64_ERR_40_UNSUPPORTED;
  } else if (size == kD64Size40ErrorBytes) {
    error = D64_ERR_40_ERRBYTES_UNSUPPORTED;
  } else {
    error = D64_ERR_UNKNOWN_FORMAT;
  }
  if (error != D64_ERR_NONE) {
    unmount();
    return fail(error);
  }

  mount_path = path;
  if (!_read_directory() || !_read_bam()) {
    int keep = last_error;
    unmount();
    return fail(keep);
  }
  last_error = D64_ERR_NONE;
  return 1;
}

int D64::_is_mounted(bool, bool needWrite) {
  if (mount_fp && directory && bam) {
    if (needWrite && read_only) return fail(D64_ERR_READ_ONLY);
    return 1;
  }
  if (mount_fp) {
    // A missing cache means the image cannot be trusted any more.
    std::fclose(mount_fp);
    mount_fp = nullptr;
  }
  return fail(D64_ERR_NOT_MOUNTED);
}

int D64::is_mounted() {
  if (!_is_mounted(false, false)) return 0;
  last_error = D64_ERR_NONE;
  return 1;
}

bool D64::read_sector(int t, int s, unsigned char* out, int size) {
  if (!mount_fp || !validSector(t, s)) return false;
  if (std::fseek(mount_fp, track[t] + sector[s], SEEK_SET) != 0) return false;
  return std::fread(out, 1, size, mount_fp) == static_cast<size_t>(size);
}

bool D64::write_sector(int t, int s, unsigned char const* data) {
  if (!mount_fp || !validSector(t, s)) return false;
  if (std::fseek(mount_fp, track[t] + sector[s], SEEK_SET) != 0) return false;
  return std::fwrite(data, 1, kD64SectorSize, mount_fp) == static_cast<size_t>(kD64SectorSize);
}

int D64::_read_directory() {
  if (!mount_fp) return fail(D64_ERR_NOT_OPEN);
  // Built aside and swapped in on success, so a failed read keeps the cache.
  std::unique_ptr<D64Directory> dir(new (std::nothrow) D64Directory);
  if (!dir) return fail(D64_ERR_ALLOC);
  int count = 0;
  int t = kD64DirTrack, s = kD64FirstDirSector;
  unsigned char buf[kD64SectorSize];
  // A chain that loops through sectors without names must still end; no
  // directory has more sectors than the disk.
  for (int walked = 0; walked < kD64SectorTotal; ++walked) {
    bool have = false;
    int linkT = 0, linkS = 0;
    bool last = false;
    for (int j = 0; j < kD64EntriesPerSector; ++j) {
      if (count == kD64MaxEntries) return fail(D64_ERR_BAM_INVALID);
      if (!have) {
        if (!read_sector(t, s, buf)) return fail(D64_ERR_READ);
        have = true;
      }
      unsigned char* slot = &dir->entries[count * kD64EntrySize];
      std::memcpy(slot, buf + j * kD64EntrySize, kD64EntrySize);
      if (j == 0) {
        linkT = slot[kEntryLinkTrack];
        linkS = slot[kEntryLinkSector];
        last = linkT == 0;
      }
      // Every slot of every sector is looked at: an entry after an empty
      // slot is still a file, and a rewrite without it would lose it.
      if (slot[kEntryName] != 0) ++count;
    }
    if (last || !validSector(linkT, linkS)) break;
    t = linkT;
    s = linkS;
  }
  dir->count = count;
  directory = std::move(dir);
  return 1;
}

int D64::_read_bam() {
  if (!mount_fp) return fail(D64_ERR_NOT_OPEN);
  std::unique_ptr<unsigned char[]> buf(new (std::nothrow) unsigned char[kD64BamCacheSize]);
  if (!buf) return fail(D64_ERR_ALLOC);
  if (!read_sector(kD64DirTrack, kD64BamSector, buf.get(), kD64BamCacheSize)) return fail(D64_ERR_READ);
  bam = std::move(buf);
  return 1;
}

int D64::_rewrite_bam() {
  if (!mount_fp || !bam) return fail(D64_ERR_NOT_OPEN);
  if (std::fseek(mount_fp, track[kD64DirTrack] + sector[kD64BamSector], SEEK_SET) != 0 ||
      std::fwrite(bam.get(), 1, kD64BamCacheSize, mount_fp) != static_cast<size_t>(kD64BamCacheSize) ||
      std::fflush(mount_fp) != 0)
    return fail(D64_ERR_WRITE);
  return 1;
}

int D64::get_file_count() {
  if (!_is_mounted(false, false)) return 0;
  last_error = D64_ERR_NONE;
  return directory->count;
}

char* D64::get_file_name(int i) {
  if (!_is_mounted(false, false)) return nullptr;
  last_error = D64_ERR_NONE;
  if (i < 0 || i >= directory->count) return nullptr;
  copyPadded(file_name_buf, &directory->entries[i * kD64EntrySize + kEntryName]);
  return file_name_buf;
}

int D64::get_file_size(int i, int sizeType) {
  if (!_is_mounted(false, false)) return 0;
  last_error = D64_ERR_NONE;
  if (i < 0 || i >= directory->count) return fail(D64_ERR_FILE_NOT_FOUND);
  unsigned char const* e = &directory->entries[i * kD64EntrySize];
  int blocks = e[kEntryBlocks] | (e[kEntryBlocks + 1] << 8);
  if (sizeType == D64_SIZETYPE_BLOCK) return blocks;
  if (sizeType != D64_SIZETYPE_BYTES) return fail(D64_ERR_SIZETYPE);
  std::unique_ptr<unsigned char[]> buf(new (std::nothrow) unsigned char[static_cast<size_t>(blocks) * kD64BlockData + 1]);
  if (!buf) return fail(D64_ERR_ALLOC);
  return load_data(i, buf.get(), blocks * kD64BlockData, 0, 0, false);
}

int D64::get_file_type(int i) {
  if (!_is_mounted(false, false)) return 0;
  last_error = D64_ERR_NONE;
  if (i < 0 || i >= directory->count) return 0;
  return directory->entries[i * kD64EntrySize + kEntryType] & 7;
}

unsigned char* D64::get_directory() {
  if (!_is_mounted(false, false)) return nullptr;
  last_error = D64_ERR_NONE;
  return reinterpret_cast<unsigned char*>(directory.get());
}

char* D64::get_disk_name() {
  disk_name_buf[0] = 0;
  if (bam) copyPadded(disk_name_buf, bam.get() + kBamDiskName);
  return disk_name_buf;
}

char* D64::get_disk_id() {
  disk_id_buf[0] = 0;
  if (bam) {
    std::memcpy(disk_id_buf, bam.get() + kBamDiskId, kDiskIdTextSize);
    disk_id_buf[kDiskIdTextSize] = 0;
  }
  return disk_id_buf;
}

char const* D64::get_last_error() const { return error_text(last_error); }

void D64::set_selected_file(int i) {
  selected_file = (directory && i >= 0 && i < directory->count) ? i : -1;
}

int D64::load_data(int i, unsigned char* buf, int bufSize, unsigned short offset, unsigned short length,
                   bool useLoadAddress) {
  if (!_is_mounted(false, false)) return 0;
  last_error = D64_ERR_NONE;
  if (!buf || bufSize < 0 || offset + length > bufSize) return fail(D64_ERR_BUFFER_OVERRUN);
  if (i < 0 || i >= directory->count) return fail(D64_ERR_FILE_NOT_FOUND);
  unsigned char const* e = &directory->entries[i * kD64EntrySize];
  if ((e[kEntryType] & 7) != kD64TypePrg) return fail(D64_ERR_NOT_LOADABLE);
  last_start_address = offset;
  long dest = offset;
  int t = e[kEntryTrack], s = e[kEntrySector];
  if (!validTrack(t)) return fail(D64_ERR_READ);

  long loaded = 0;
  unsigned char sec[kD64SectorSize];
  for (int n = 0; n < kD64SectorTotal; ++n) {
    if (s >= sector_count[t]) return fail(D64_ERR_READ);
    if (!read_sector(t, s, sec)) return fail(D64_ERR_READ);
    int linkT = sec[0], linkS = sec[1];
    bool lastSector = linkT == 0;
    int skip = n == 0 ? 2 : 0;
    long count = lastSector ? std::max(0, linkS - 1 - skip) : kD64BlockData - skip;
    if (length) count = std::min<long>(count, length - loaded);
    if (n == 0 && useLoadAddress) {
      dest = sec[2] | (sec[3] << 8);
      last_start_address = static_cast<uint16_t>(dest);
    }
    if (dest + loaded + count > bufSize) return fail(D64_ERR_BUFFER_OVERRUN);
    std::memcpy(buf + dest + loaded, sec + 2 + skip, count);
    loaded += count;
    if (length && loaded >= length) return static_cast<int>(loaded);
    if (lastSector) return static_cast<int>(loaded);
    if (!validTrack(linkT)) return fail(D64_ERR_READ);
    t = linkT;
    s = linkS;
  }
  return fail(D64_ERR_READ);
}

int D64::find_file(char const* name) const {
  if (!directory || !name) return -1;
  // Names on disk hold at most 16 characters; longer ones are cut the way
  // a save cuts them.
  size_t given = std::min(std::strlen(name), static_cast<size_t>(kD64NameSize));
  for (int i = 0; i < directory->count; ++i) {
    unsigned char const* e = &directory->entries[i * kD64EntrySize];
    if (e[kEntryType] == kD64TypeScratched) continue;
    size_t n = static_cast<size_t>(entryNameLength(e));
    if (n == given && std::memcmp(e + kEntryName, name, n) == 0) return i;
  }
  return -1;
}

int D64::load_data(char const* name, unsigned char* buf, int bufSize, unsigned short offset,
                   unsigned short length, bool useLoadAddress) {
  if (!_is_mounted(false, false)) return 0;
  last_error = D64_ERR_NONE;
  int i = find_file(name);
  if (i < 0) return fail(D64_ERR_FILE_NOT_FOUND);
  return load_data(i, buf, bufSize, offset, length, useLoadAddress);
}

int D64::_count_bits(unsigned char const* bytes, int byteCount, int bitCount) {
  int n = 0;
  for (int b = 0; b < bitCount && (b >> 3) < byteCount; ++b)
    if (bytes[b >> 3] & (1 << (b & 7))) ++n;
  return n;
}

int D64::_check_bam() {
  if (!bam) return fail(D64_ERR_BAM_INVALID);
  for (int t = 1; t <= kD64Tracks; ++t) {
    unsigned char const* entry = bam.get() + bamTrack(t);
    if (_count_bits(entry + 1, kBamMapBytes, sector_count[t]) != entry[0]) return fail(D64_ERR_BAM_INVALID);
  }
  return 1;
}

int D64::_get_free_block_count() {
  if (!bam) return 0;
  int n = 0;
  for (int t = 1; t <= kD64Tracks; ++t) n += bam[bamTrack(t)];
  return n;
}

int D64::_bam_allocate_sector(int t, int s) {
  if (!bam) return fail(D64_ERR_NOT_MOUNTED);
  if (!validSector(t, s)) return fail(D64_ERR_BAM_INVALID);
  unsigned char* entry = bam.get() + bamTrack(t);
  unsigned char bit = static_cast<unsigned char>(1 << (s & 7));
  if (!(entry[1 + (s >> 3)] & bit)) return fail(D64_ERR_ALREADY_ALLOCATED);
  entry[1 + (s >> 3)] &= static_cast<unsigned char>(~bit);
  --entry[0];
  return 1;
}

int D64::_bam_free_sector(int t, int s) {
  if (!bam) return fail(D64_ERR_NOT_MOUNTED);
  if (!validSector(t, s)) return fail(D64_ERR_BAM_INVALID);
  unsigned char* entry = bam.get() + bamTrack(t);
  unsigned char bit = static_cast<unsigned char>(1 << (s & 7));
  if (entry[1 + (s >> 3)] & bit) return fail(D64_ERR_ALREADY_FREE);
  entry[1 + (s >> 3)] |= bit;
  ++entry[0];
  return 1;
}

int D64::_get_free_sector(STSAddr& pos, int& found, int interleave, bool first) {
  if (!bam) return fail(D64_ERR_NOT_MOUNTED);
  int t = pos.track;
  if (!validTrack(t) || bam[bamTrack(t)] == 0) return fail(D64_ERR_NO_FREE_SECTOR);
  int n = sector_count[t];
  int start = 0;
  if (!first) {
    start = pos.sector + interleave;
    // The 1541's wrap: exactly one past the end restarts at 0, further
    // past it lands one lower than a plain modulo would.
    if (start >= n) start = start == n ? 0 : start - n - 1;
    if (start >= n) start %= n;  // only for positions off this track
  }
  unsigned char const* map = bam.get() + bamTrack(t) + 1;
  for (int k = 0; k < n; ++k) {
    int s = (start + k) % n;
    if (map[s >> 3] & (1 << (s & 7))) {
      found = s;
      return 1;
    }
  }
  return fail(D64_ERR_NO_FREE_SECTOR);
}

int D64::_get_free_track(STSAddr& pos, int& found, int highest, bool first) {
  if (!bam) return fail(D64_ERR_NOT_MOUNTED);
  highest = std::min(highest, kD64Tracks);
  int order[kD64Tracks];
  int n = 0;
  auto add = [&](int t) {
    if (t >= 1 && t <= highest && t != kD64DirTrack) order[n++] = t;
  };
  if (first) {
    // Outward from the directory track, alternating above and below it.
    for (int k = 0; k <= 16; ++k) {
      add(kD64DirTrack + 1 + k);
      add(kD64DirTrack - 1 - k);
    }
  } else if (pos.track > kD64DirTrack) {
    for (int t = pos.track; t <= highest; ++t) add(t);
    for (int t = kD64DirTrack - 1; t >= 1; --t) add(t);
  } else {
    for (int t = pos.track; t >= 1; --t) add(t);
    for (int t = kD64DirTrack + 1; t <= highest; ++t) add(t);
  }
  for (int k = 0; k < n; ++k) {
    if (bam[bamTrack(order[k])] != 0) {
      found = order[k];
      return 1;
    }
  }
  return fail(bam[bamTrack(kD64DirTrack)] != 0 ? D64_ERR_NO_FREE_SECTOR : D64_ERR_NO_FREE_TRACK);
}

bool D64::chain_of(int t, int s, std::vector<STSAddr>& chain) {
  chain.clear();
  unsigned char link[2];
  for (int n = 0; n < kD64SectorTotal && validSector(t, s); ++n) {
    chain.push_back({static_cast<unsigned char>(t), static_cast<unsigned char>(s)});
    if (!read_sector(t, s, link, 2)) {
      fail(D64_ERR_READ);
      return false;
    }
    if (link[0] == 0) break;
    t = link[0];
    s = link[1];
  }
  return true;
}

// Frees the directory chain in the cached BAM and allocates the sectors of
// a directory of entryCount entries on track 18, in the 1541's order.
bool D64::plan_directory(int entryCount, std::vector<STSAddr>& sectors) {
  sectors.clear();
  std::vector<STSAddr> old;
  if (!chain_of(kD64DirTrack, kD64FirstDirSector, old)) return false;
  for (const STSAddr& a : old) _bam_free_sector(a.track, a.sector);
  if (entryCount == 0) return true;
  // The BAM sector itself is never free, whatever a damaged map says; a
  // directory written there would be overwritten by the BAM.
  _bam_allocate_sector(kD64DirTrack, kD64BamSector);
  STSAddr pos{kD64DirTrack, kD64FirstDirSector};
  _bam_allocate_sector(pos.track, pos.sector);
  sectors.push_back(pos);
  int needed = (entryCount + kD64EntriesPerSector - 1) / kD64EntriesPerSector;
  while (static_cast<int>(sectors.size()) < needed) {
    int s = 0;
    if (!_get_free_sector(pos, s, kD64DirInterleave, false)) {
      fail(D64_ERR_DIR_FULL);
      return false;
    }
    pos.sector = static_cast<unsigned char>(s);
    _bam_allocate_sector(pos.track, pos.sector);
    sectors.push_back(pos);
  }
  return true;
}

int D64::_rewrite_directory() {
  if (!mount_fp || !directory || !bam) return fail(D64_ERR_NOT_OPEN);
  std::vector<STSAddr> sectors;
  if (!plan_directory(directory->count, sectors)) return 0;
  for (size_t k = 0; k < sectors.size(); ++k) {
    // Whole sectors: unused slots are zeroed so no stale bytes read back
    // as entries.
    unsigned char buf[kD64SectorSize] = {};
    for (int j = 0; j < kD64EntriesPerSector; ++j) {
      int i = static_cast<int>(k) * kD64EntriesPerSector + j;
      if (i >= directory->count) break;
      std::memcpy(buf + j * kD64EntrySize, &directory->entries[i * kD64EntrySize], kD64EntrySize);
      buf[j * kD64EntrySize + kEntryLinkTrack] = 0;
      buf[j * kD64EntrySize + kEntryLinkSector] = 0;
    }
    if (k + 1 < sectors.size()) {
      buf[0] = sectors[k + 1].track;
      buf[1] = sectors[k + 1].sector;
    } else {
      buf[0] = 0;
      buf[1] = 0xFF;
    }
    if (!write_sector(sectors[k].track, sectors[k].sector, buf)) return fail(D64_ERR_WRITE);
  }
  if (std::fflush(mount_fp) != 0) return fail(D64_ERR_WRITE);
  return 1;
}

// After a failed save: the caches go back to what the image holds. The
// image is read again (a directory rewrite may have got part-way); when
// that fails the copies taken before the save stand in.
void D64::reload_caches(D64Directory const& dirCopy, unsigned char const* bamCopy) {
  int keep = last_error;
  *directory = dirCopy;
  std::memcpy(bam.get(), bamCopy, kD64BamCacheSize);
  _read_directory();
  _read_bam();
  last_error = keep;
}

int D64::save_data(char const* name, unsigned char* buf, int bufSize, unsigned short start,
                   unsigned short length) {
  if (!_is_mounted(false, true)) return 0;
  last_error = D64_ERR_NONE;
  if (!name) return fail(D64_ERR_FILE_NOT_FOUND);
  if (!buf || start + length > bufSize) return fail(D64_ERR_BUFFER_OVERRUN);

  bool replace = name[0] == '@' && name[1] == ':';
  // Names are stored cut to 16 characters, so they are looked up that way.
  std::string fileName = std::string(replace ? name + 2 : name).substr(0, kD64NameSize);
  int existing = find_file(fileName.c_str());
  if (existing >= 0 && !replace) return fail(D64_ERR_FILE_EXISTS);
  if (!_check_bam()) return 0;
  bool newEntry = existing < 0;
  // A new file takes the first scratched slot, as the 1541 does, before
  // the directory grows.
  int freeSlot = -1;
  for (int i = 0; newEntry && freeSlot < 0 && i < directory->count; ++i)
    if (directory->entries[i * kD64EntrySize + kEntryType] == kD64TypeScratched) freeSlot = i;
  int entryCount = directory->count + (newEntry && freeSlot < 0 ? 1 : 0);
  if (entryCount > kD64MaxEntries) return fail(D64_ERR_DIR_FULL);

  // Everything below works on the caches; these copies restore them when
  // the save fails before the image holds the new state.
  D64Directory const dirCopy = *directory;
  unsigned char bamCopy[kD64BamCacheSize];
  std::memcpy(bamCopy, bam.get(), kD64BamCacheSize);

  // The directory must fit on track 18 before any data is placed.
  {
    std::vector<STSAddr> plan;
    bool fits = plan_directory(entryCount, plan);
    std::memcpy(bam.get(), bamCopy, kD64BamCacheSize);
    if (!fits) return 0;
  }

  // 254 data bytes per block, the load address included; the directory
  // track never holds file data. A replaced file's blocks do not count:
  // the new file is written in full before the old one is released.
  int blocks = (length + 2 + kD64BlockData - 1) / kD64BlockData;
  int freeBlocks = _get_free_block_count() - bam[bamTrack(kD64DirTrack)];
  if (blocks > freeBlocks) return fail(D64_ERR_DISK_FULL);

  last_start_address = start;

  std::vector<STSAddr> oldChain;
  if (!newEntry) {
    unsigned char const* e = &directory->entries[existing * kD64EntrySize];
    if (!chain_of(e[kEntryTrack], e[kEntrySector], oldChain)) return 0;
  }

  std::vector<STSAddr> list;
  STSAddr pos{0, 0};
  bool first = true;
  for (int b = 0; b < blocks; ++b) {
    int s = 0;
    if (!_get_free_sector(pos, s, kD64FileInterleave, first)) {
      int t = 0;
      if (!_get_free_track(pos, t, kD64Tracks, first)) {
        std::memcpy(bam.get(), bamCopy, kD64BamCacheSize);
        return 0;
      }
      pos.track = static_cast<unsigned char>(t);
      if (!_get_free_sector(pos, s, kD64FileInterleave, first)) {
        std::memcpy(bam.get(), bamCopy, kD64BamCacheSize);
        return fail(D64_ERR_NO_FREE_SECTOR);
      }
    }
    first = false;
    pos.sector = static_cast<unsigned char>(s);
    _bam_allocate_sector(pos.track, pos.sector);
    list.push_back(pos);
  }

  std::vector<unsigned char> bytes;
  bytes.reserve(length + 2u);
  bytes.push_back(static_cast<unsigned char>(start & 0xFF));
  bytes.push_back(static_cast<unsigned char>(start >> 8));
  bytes.insert(bytes.end(), buf + start, buf + start + length);

  for (int b = 0; b < blocks; ++b) {
    unsigned char sec[kD64SectorSize] = {};
    size_t from = static_cast<size_t>(b) * kD64BlockData;
    size_t n = std::min<size_t>(kD64BlockData, bytes.size() - from);
    if (b + 1 < blocks) {
      sec[0] = list[b + 1].track;
      sec[1] = list[b + 1].sector;
    } else {
      sec[0] = 0;
      sec[1] = static_cast<unsigned char>(n + 1);
    }
    std::memcpy(sec + 2, bytes.data() + from, n);
    if (!write_sector(list[b].track, list[b].sector, sec)) {
      fail(D64_ERR_WRITE);
      reload_caches(dirCopy, bamCopy);
      return 0;
    }
  }
  if (std::fflush(mount_fp) != 0) {
    fail(D64_ERR_WRITE);
    reload_caches(dirCopy, bamCopy);
    return 0;
  }

  if (newEntry) {
    existing = freeSlot >= 0 ? freeSlot : directory->count++;
    unsigned char* e = &directory->entries[existing * kD64EntrySize];
    std::memset(e, 0, kD64EntrySize);
    std::memset(e + kEntryName, kD64Pad, kD64NameSize);
    std::memcpy(e + kEntryName, fileName.data(), fileName.size());
  }
  unsigned char* e = &directory->entries[existing * kD64EntrySize];
  // What is written is a closed PRG, whatever the slot held before (a SEQ
  // or USR file replaced with "@:" must load afterwards); a lock stays.
  e[kEntryType] = static_cast<unsigned char>(kD64TypeClosedPrg | (e[kEntryType] & kD64TypeLocked));
  e[kEntryTrack] = list[0].track;
  e[kEntrySector] = list[0].sector;
  e[kEntryBlocks] = static_cast<unsigned char>(blocks & 0xFF);
  e[kEntryBlocks + 1] = static_cast<unsigned char>(blocks >> 8);

  if (!_rewrite_directory()) {
    reload_caches(dirCopy, bamCopy);
    return 0;
  }
  // The entry now points at the new chain; only now is the old one given
  // back. A sector the new chain reuses (a damaged map can allow that) stays.
  for (const STSAddr& a : oldChain) {
    bool reused = std::any_of(list.begin(), list.end(),
                              [&](const STSAddr& n) { return n.track == a.track && n.sector == a.sector; });
    if (!reused) _bam_free_sector(a.track, a.sector);
  }
  last_error = D64_ERR_NONE;
  if (!_rewrite_bam()) {
    reload_caches(dirCopy, bamCopy);
    return 0;
  }
  return length;
}
