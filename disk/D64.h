// One D64 disk image: the sector-by-sector copy of a 35-track 1541 floppy,
// read and written in place on an open host file. Lists the directory,
// loads PRG files by following their sector chains and saves memory ranges
// as new (or replacing) PRG files, allocating sectors in the block
// availability map (BAM) the way the 1541 does. The directory and the BAM
// are cached from the mount on; every operation returns 1 or 0 (or a count)
// and records the number of its last error, which maps to a fixed text.
// DiskDrive owns one per virtual drive; nothing here is thread-aware.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

// Geometry and layout of a 1541 disk, named once.
constexpr int kD64Tracks = 35;           // tracks ever used
constexpr int kD64TableTracks = 40;      // the geometry tables reach track 40
constexpr int kD64SectorSize = 256;
constexpr int kD64MaxSectorsPerTrack = 21;
constexpr int kD64SectorTotal = 683;     // sectors on 35 tracks
constexpr long kD64Size = 174848;        // 683 x 256
constexpr long kD64SizeErrorBytes = 175531;    // plus one error byte per sector
constexpr long kD64Size40 = 196608;      // 40 tracks
constexpr long kD64Size40ErrorBytes = 197376;
constexpr int kD64DirTrack = 18;
constexpr int kD64BamSector = 0;
constexpr int kD64FirstDirSector = 1;
constexpr int kD64BamCacheSize = 212;    // BAM bytes cached and written back
constexpr int kD64EntrySize = 32;
constexpr int kD64EntriesPerSector = kD64SectorSize / kD64EntrySize;
constexpr int kD64MaxEntries = 144;      // 18 directory sectors of 8 entries
constexpr int kD64BlockData = 254;       // data bytes per file sector
constexpr int kD64NameSize = 16;
constexpr int kD64FileInterleave = 10;
constexpr int kD64DirInterleave = 3;
constexpr uint8_t kD64Pad = 0xA0;        // shifted space, pads names
constexpr uint8_t kD64TypeClosedPrg = 0x82;
constexpr int kD64TypePrg = 2;
constexpr uint8_t kD64TypeScratched = 0;  // a scratched entry: a free slot
constexpr uint8_t kD64TypeLocked = 0x40;  // type bit: the file may not be scratched

// BAM sector offsets.
constexpr int kBamDirTrack = 0;
constexpr int kBamDirSector = 1;
constexpr int kBamDosVersion = 2;
constexpr int kBamTrackEntries = 4;      // 4 bytes per track from track 1
constexpr int kBamTrackEntrySize = 4;
constexpr int kBamMapBytes = 3;         // free map of one track, after its count
constexpr int kBamDiskName = 144;
constexpr int kBamDiskId = 162;
constexpr int kDiskIdTextSize = 5;       // ID, $A0, DOS type
constexpr int kBamDosType = 165;
constexpr int kBamHeaderEnd = 171;       // $A0 padding ends here

// Directory entry offsets.
constexpr int kEntryLinkTrack = 0;
constexpr int kEntryLinkSector = 1;
constexpr int kEntryType = 2;
constexpr int kEntryTrack = 3;
constexpr int kEntrySector = 4;
constexpr int kEntryName = 5;
constexpr int kEntryUnused = 21;         // 9 bytes, zero in a new entry
constexpr int kEntryBlocks = 30;

enum D64Error : int {
  D64_ERR_NONE = 0,
  D64_ERR_OPEN = 2,
  D64_ERR_UNKNOWN_FORMAT = 3,
  D64_ERR_35_UNSUPPORTED = 4,
  D64_ERR_35_ERRBYTES_UNSUPPORTED = 5,
  D64_ERR_40_UNSUPPORTED = 6,
  D64_ERR_40_ERRBYTES_UNSUPPORTED = 7,
  D64_ERR_NOT_MOUNTED = 8,
  D64_ERR_ALLOC = 9,
  D64_ERR_READ = 10,
  D64_ERR_NOT_OPEN = 11,
  D64_ERR_SIZETYPE = 12,
  D64_ERR_BAM_INVALID = 13,
  D64_ERR_DISK_FULL = 14,
  D64_ERR_NO_FREE_TRACK = 15,
  D64_ERR_NO_FREE_SECTOR = 16,
  D64_ERR_ALREADY_ALLOCATED = 17,
  D64_ERR_ALREADY_FREE = 18,
  D64_ERR_WRITE = 19,
  D64_ERR_DIR_FULL = 20,
  D64_ERR_FILE_NOT_FOUND = 21,
  D64_ERR_FILE_EXISTS = 22,
  D64_ERR_NO_READ_PERMISSION = 23,
  D64_ERR_NOT_REGULAR = 24,
  D64_ERR_READ_ONLY = 25,
  D64_ERR_BUFFER_OVERRUN = 26,
  D64_ERR_NOT_LOADABLE = 27,
};

// Size kinds of D64::get_file_size.
constexpr int D64_SIZETYPE_BLOCK = 0;
constexpr int D64_SIZETYPE_BYTES = 1;

// A track/sector pair: the position of the allocation searches and one
// element of a save's block list.
struct STSAddr {
  unsigned char track = 0;
  unsigned char sector = 0;
};

// The cached directory: entries byte for byte as on disk, then their count.
struct D64Directory {
  std::array<unsigned char, kD64MaxEntries * kD64EntrySize> entries{};
  int count = 0;
};

namespace d64geometry {
// Sectors on track t: 21 on 1-17, 19 on 18-24, 18 on 25-30, 17 on 31-40.
constexpr std::array<int, kD64TableTracks + 1> sectorCounts() {
  std::array<int, kD64TableTracks + 1> n{};
  for (int t = 1; t <= kD64TableTracks; ++t) n[t] = t <= 17 ? 21 : t <= 24 ? 19 : t <= 30 ? 18 : 17;
  return n;
}
// Byte offset of track t: the tracks before it, back to back.
constexpr std::array<int, kD64TableTracks + 1> trackOffsets() {
  std::array<int, kD64TableTracks + 1> o{};
  auto n = sectorCounts();
  for (int t = 2; t <= kD64TableTracks; ++t) o[t] = o[t - 1] + kD64SectorSize * n[t - 1];
  return o;
}
constexpr std::array<int, kD64MaxSectorsPerTrack> sectorOffsets() {
  std::array<int, kD64MaxSectorsPerTrack> s{};
  for (int i = 0; i < kD64MaxSectorsPerTrack; ++i) s[i] = i * kD64SectorSize;
  return s;
}
}  // namespace d64geometry

class D64 {
public:
  // Sectors per track, byte offset of each track, byte offset of each
  // sector inside a track. Index 0 of the track tables is unused.
  static constexpr std::array<int, kD64TableTracks + 1> sector_count = d64geometry::sectorCounts();
  static constexpr std::array<int, kD64TableTracks + 1> track = d64geometry::trackOffsets();
  static constexpr std::array<int, kD64MaxSectorsPerTrack> sector = d64geometry::sectorOffsets();

  int selected_file = -1;
  std::string mount_path;
  FILE* mount_fp = nullptr;
  int last_error = D64_ERR_NONE;
  int disk_type = 0;  // 0 none, 1 35 tracks, 2 35 tracks with error bytes
  bool read_only = true;
  uint16_t last_start_address = 0;
  std::unique_ptr<D64Directory> directory;
  std::unique_ptr<unsigned char[]> bam;
  char disk_name_buf[kD64NameSize + 1] = {};
  char file_name_buf[kD64NameSize + 1] = {};
  char disk_id_buf[kDiskIdTextSize + 1] = {};

  D64() = default;
  ~D64();
  D64(const D64&) = delete;
  D64& operator=(const D64&) = delete;

  int mount(char const* path);
  int unmount();
  int is_mounted();
  bool is_read_only() const { return read_only; }

  int get_file_count();
  char* get_file_name(int i);
  int get_file_size(int i, int sizeType);
  int get_file_type(int i);
  // The cached directory as one byte buffer: 144 entries of 32 bytes as on
  // disk, then the int entry count.
  unsigned char* get_directory();
  char* get_disk_name();
  char* get_disk_id();

  int load_data(int i, unsigned char* buf, int bufSize, unsigned short offset, unsigned short length,
                bool useLoadAddress);
  int load_data(char const* name, unsigned char* buf, int bufSize, unsigned short offset,
                unsigned short length, bool useLoadAddress);
  int save_data(char const* name, unsigned char* buf, int bufSize, unsigned short start,
                unsigned short length);

  // The index of the first entry that is not scratched (type byte 0) and
  // whose stored name, every byte up to its $A0 padding, equals the given
  // name cut to 16 characters; -1 when none. Every lookup by name, the
  // drive's included, goes through here.
  int find_file(char const* name) const;

  uint16_t get_last_start_address() const { return last_start_address; }
  char const* get_last_error() const;
  int get_last_errorid() const { return last_error; }
  int get_selected_file() const { return selected_file; }
  void set_selected_file(int i);

  // The fixed text of an error number ("Undefined error" for unknown ones).
  static char const* error_text(int id);

  // Internal operations, public so that tests can reach the allocator.
  int _read_directory();
  int _read_bam();
  int _rewrite_directory();
  int _rewrite_bam();
  int _bam_allocate_sector(int t, int s);
  int _bam_free_sector(int t, int s);
  int _get_free_track(STSAddr& pos, int& found, int highest, bool first);
  int _get_free_sector(STSAddr& pos, int& found, int interleave, bool first);
  int _get_free_block_count();
  int _check_bam();
  static int _count_bits(unsigned char const* bytes, int byteCount, int bitCount);
  static long _get_filesize(char const* path);
  int _is_mounted(bool unused, bool needWrite);

private:
  void close_image();
  int fail(int error);
  bool read_sector(int t, int s, unsigned char* out, int size = kD64SectorSize);
  bool write_sector(int t, int s, unsigned char const* data);
  bool plan_directory(int entryCount, std::vector<STSAddr>& sectors);
  bool chain_of(int t, int s, std::vector<STSAddr>& chain);
  void reload_caches(D64Directory const& dirCopy, unsigned char const* bamCopy);
};

static_assert(std::is_standard_layout_v<D64Directory> &&
                  offsetof(D64Directory, count) == kD64MaxEntries * kD64EntrySize,
              "the directory cache is its entries followed directly by the count");
static_assert(D64::track[kD64DirTrack] == 91392, "track 18 starts at $16500");
static_assert(D64::track[kD64Tracks] + kD64SectorSize * D64::sector_count[kD64Tracks] == kD64Size,
              "35 tracks fill a D64 image");
static_assert(kD64SizeErrorBytes == kD64Size + kD64SectorTotal, "one error byte per sector");
