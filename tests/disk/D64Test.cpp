// The D64 disk image: mounting by size, the directory and BAM caches, the
// 1541's allocation order, saving, replacing, loading and robustness
// against damaged images.
#include "disk/D64.h"
#include "disk/DiskDrive.h"
#include "DiskTestUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sys/stat.h>

using namespace disktest;

namespace {

// A blank image on disk, mounted.
struct MountedBlank {
  TempDir dir;
  std::string path;
  D64 d64;
  explicit MountedBlank(const std::string& name = "BLANK", const std::string& id = "01") {
    path = dir.file("blank.d64");
    writeBytes(path, DiskDrive::blankD64(name, id));
    EXPECT_EQ(d64.mount(path.c_str()), 1) << d64.get_last_error();
  }
  // Saves `size` data bytes at $1000 (lower when they would not fit).
  int save(const std::string& name, size_t size, unsigned seed = 1) {
    uint16_t address = static_cast<uint16_t>(std::min<size_t>(0x1000, 65536 - size));
    std::vector<unsigned char> prg = makePrg(address, size, seed);
    mem.assign(65536, 0);
    std::copy(prg.begin() + 2, prg.end(), mem.begin() + address);
    return d64.save_data(name.c_str(), mem.data(), 65536, address, static_cast<unsigned short>(size));
  }
  std::vector<unsigned char> load(int i) {
    std::vector<unsigned char> buf(0x10200, 0);
    int n = d64.load_data(i, buf.data(), static_cast<int>(buf.size()), 0, 0, true);
    uint16_t a = d64.get_last_start_address();
    return std::vector<unsigned char>(buf.begin() + a, buf.begin() + a + std::max(n, 0));
  }
  std::vector<unsigned char> mem;
};

std::vector<unsigned char> dataOf(size_t size, unsigned seed) {
  std::vector<unsigned char> prg = makePrg(0x1000, size, seed);
  return std::vector<unsigned char>(prg.begin() + 2, prg.end());
}

}  // namespace

TEST(D64Test, GeometryTables) {
  EXPECT_EQ(D64::track[1], 0);
  EXPECT_EQ(D64::track[18], 91392);
  EXPECT_EQ(D64::track[36], 174848);
  EXPECT_EQ(D64::sector_count[0], 0);
  EXPECT_EQ(D64::sector_count[17], 21);
  EXPECT_EQ(D64::sector_count[18], 19);
  EXPECT_EQ(D64::sector_count[25], 18);
  EXPECT_EQ(D64::sector_count[31], 17);
  EXPECT_EQ(D64::sector_count[40], 17);
  EXPECT_EQ(D64::sector[20], 20 * 256);
}

TEST(D64Test, ErrorTexts) {
  EXPECT_STREQ(D64::error_text(0), "No error occured");
  EXPECT_STREQ(D64::error_text(10), "Could not read D64-file (premature end of file or readsize to small)");
  EXPECT_STREQ(D64::error_text(11), "D64-file not open (mount_fp = NULL)");
  EXPECT_STREQ(D64::error_text(12), "Unknown size-type (D64_SIZETYPE_BLOCK and D64_SIZETYPE_BYTES allowed)");
  EXPECT_STREQ(D64::error_text(16), "No more free sectors found on track. Maybe disk or BAM is damaged");
  EXPECT_STREQ(D64::error_text(17), "Sector allready allocated in BAM");
  EXPECT_STREQ(D64::error_text(20), "No free sectors in directory. Not possible to write new direcotry.");
  EXPECT_STREQ(D64::error_text(27), "Filetype is not loadable");
  EXPECT_STREQ(D64::error_text(1), "Undefined error");
  EXPECT_STREQ(D64::error_text(28), "Undefined error");
  D64 d;
  EXPECT_EQ(d.get_file_count(), 0);
  EXPECT_STREQ(d.get_last_error(), "Disk is not mounted");
  EXPECT_EQ(d.get_file_size(0, 5), 0);
  EXPECT_EQ(d.get_directory(), nullptr);
  // The allocator on an object without a BAM fails instead of crashing.
  STSAddr pos{19, 0};
  int found = 0;
  EXPECT_EQ(d._get_free_block_count(), 0);
  EXPECT_EQ(d._get_free_sector(pos, found, 10, true), 0);
  EXPECT_EQ(d._get_free_track(pos, found, 35, true), 0);
  EXPECT_EQ(d._bam_allocate_sector(19, 0), 0);
  EXPECT_EQ(d._bam_free_sector(19, 0), 0);
}

TEST(D64Test, MountBySize) {
  TempDir dir;
  D64 d;
  std::vector<unsigned char> blank = DiskDrive::blankD64("X", "01");

  writeBytes(dir.file("ok.d64"), blank);
  ASSERT_EQ(d.mount(dir.file("ok.d64").c_str()), 1);
  EXPECT_EQ(d.disk_type, 1);
  EXPECT_FALSE(d.is_read_only());
  EXPECT_EQ(d.is_mounted(), 1);
  EXPECT_EQ(d.get_file_count(), 0);

  // Error bytes: mounted read-only even though the host file is writable.
  std::vector<unsigned char> withErrors = blank;
  withErrors.resize(kD64SizeErrorBytes, 1);
  writeBytes(dir.file("err.d64"), withErrors);
  ASSERT_EQ(d.mount(dir.file("err.d64").c_str()), 1);
  EXPECT_EQ(d.disk_type, 2);
  EXPECT_TRUE(d.is_read_only());
  unsigned char mem[16] = {};
  EXPECT_EQ(d.save_data("X", mem, 16, 0, 4), 0);
  EXPECT_STREQ(d.get_last_error(), "Disk is mounted as read only");
  EXPECT_EQ(readBytes(dir.file("err.d64")), withErrors);

  struct Case {
    long size;
    const char* text;
  } cases[] = {
      {kD64Size40, "40 Track disk with no error bytes is not supported"},
      {kD64Size40ErrorBytes, "40 Track disk with error bytes is not supported"},
      {kD64Size - 1, "Unknown D64-disk format"},
      {0, "Unknown D64-disk format"},
  };
  for (const Case& c : cases) {
    std::vector<unsigned char> img = blank;
    img.resize(static_cast<size_t>(c.size));
    writeBytes(dir.file("sized.d64"), img);
    EXPECT_EQ(d.mount(dir.file("sized.d64").c_str()), 0);
    EXPECT_STREQ(d.get_last_error(), c.text) << c.size;
    EXPECT_EQ(d.is_mounted(), 0);
  }
  EXPECT_EQ(d.mount(dir.path().c_str()), 0);
  EXPECT_STREQ(d.get_last_error(), "File is no ordinary file");
  // A named pipe is refused without waiting for a writer.
  ASSERT_EQ(::mkfifo(dir.file("pipe.d64").c_str(), 0600), 0);
  EXPECT_EQ(d.mount(dir.file("pipe.d64").c_str()), 0);
  EXPECT_STREQ(d.get_last_error(), "File is no ordinary file");
  EXPECT_EQ(d.mount(dir.file("missing.d64").c_str()), 0);
  EXPECT_STREQ(d.get_last_error(), "Unable to open file");
}

TEST(D64Test, FirstFileAllocationOrderOnFreshImage) {
  MountedBlank m;
  // 30 blocks: all 19 sectors of track 19, then the start of track 20.
  ASSERT_EQ(m.save("LONG", 30 * 254 - 2), 30 * 254 - 2);
  EXPECT_EQ(m.d64.get_file_size(0, D64_SIZETYPE_BLOCK), 30);
  std::vector<unsigned char> img = readBytes(m.path);
  const unsigned char* entry = sectorAt(img, 18, 1);
  EXPECT_EQ(entry[2], 0x82);
  auto chain = chainOf(img, entry[3], entry[4]);
  std::vector<std::pair<int, int>> expected;
  for (int s : {0, 10, 1, 11, 2, 12, 3, 13, 4, 14, 5, 15, 6, 16, 7, 17, 8, 18, 9}) expected.push_back({19, s});
  for (int s : {0, 10, 1, 11, 2, 12, 3, 13, 4, 14, 5}) expected.push_back({20, s});
  EXPECT_EQ(chain, expected);
  // The last sector is full: 254 data bytes, offset of the last byte 255.
  EXPECT_EQ(sectorAt(img, 20, 5)[1], 255);
  // BAM on the image: 30 fewer free blocks, counts agree with the maps.
  EXPECT_EQ(img[sectorOffset(18, 0) + 4 + 4 * 18], 0);
  EXPECT_EQ(img[sectorOffset(18, 0) + 4 + 4 * 19], 19 - 11);
  EXPECT_EQ(m.d64._check_bam(), 1);
  EXPECT_EQ(m.d64._get_free_block_count(), 664 + 17 - 30);
}

TEST(D64Test, BlockBoundariesAndRoundTrip) {
  MountedBlank m;
  ASSERT_EQ(m.save("A252", 252, 1), 252);
  ASSERT_EQ(m.save("A253", 253, 2), 253);
  ASSERT_EQ(m.save("EMPTY", 0, 3), 0);
  EXPECT_EQ(m.d64.get_last_errorid(), 0);
  std::vector<unsigned char> img = readBytes(m.path);
  const unsigned char* dir = sectorAt(img, 18, 1);
  EXPECT_EQ(dir[30], 1);
  EXPECT_EQ(sectorAt(img, dir[3], dir[4])[0], 0);
  EXPECT_EQ(sectorAt(img, dir[3], dir[4])[1], 255);
  EXPECT_EQ(dir[32 + 30], 2);
  auto chain = chainOf(img, dir[32 + 3], dir[32 + 4]);
  ASSERT_EQ(chain.size(), 2u);
  EXPECT_EQ(sectorAt(img, chain[1].first, chain[1].second)[1], 2);
  // Load address only: one block whose last-byte offset is 3.
  EXPECT_EQ(dir[64 + 30], 1);
  EXPECT_EQ(sectorAt(img, dir[64 + 3], dir[64 + 4])[1], 3);
  // Unused bytes of the last sector are zero.
  const unsigned char* last = sectorAt(img, chain[1].first, chain[1].second);
  for (int k = 3; k < 256; ++k) EXPECT_EQ(last[k], 0) << k;

  ASSERT_EQ(m.d64.mount(m.path.c_str()), 1);
  EXPECT_EQ(m.load(0), dataOf(252, 1));
  EXPECT_EQ(m.d64.get_last_start_address(), 0x1000);
  EXPECT_EQ(m.load(1), dataOf(253, 2));
  EXPECT_EQ(m.load(2).size(), 0u);
  EXPECT_EQ(m.d64.get_last_errorid(), 0);
  EXPECT_EQ(m.d64.get_file_size(1, D64_SIZETYPE_BYTES), 253);
  EXPECT_STREQ(m.d64.get_file_name(1), "A253");
  EXPECT_EQ(m.d64.get_file_type(1), 2);
}

TEST(D64Test, LoadOptions) {
  MountedBlank m;
  ASSERT_EQ(m.save("F", 600, 5), 600);
  std::vector<unsigned char> want = dataOf(600, 5);
  std::vector<unsigned char> buf(1000, 0xEE);
  // Without the load address the data goes to the offset; the two address
  // bytes are skipped all the same.
  ASSERT_EQ(m.d64.load_data(0, buf.data(), 1000, 100, 0, false), 600);
  EXPECT_EQ(m.d64.get_last_start_address(), 100);
  EXPECT_EQ(std::vector<unsigned char>(buf.begin() + 100, buf.begin() + 700), want);
  EXPECT_EQ(buf[99], 0xEE);
  // A length limit stops in the middle of the chain.
  std::fill(buf.begin(), buf.end(), 0xEE);
  ASSERT_EQ(m.d64.load_data("F", buf.data(), 1000, 0, 300, false), 300);
  EXPECT_EQ(std::vector<unsigned char>(buf.begin(), buf.begin() + 300), std::vector<unsigned char>(want.begin(), want.begin() + 300));
  EXPECT_EQ(buf[300], 0xEE);
  // A buffer too small for the file.
  EXPECT_EQ(m.d64.load_data(0, buf.data(), 500, 0, 0, false), 0);
  EXPECT_STREQ(m.d64.get_last_error(), "Buffer overrun protection");
  EXPECT_EQ(m.d64.load_data(0, buf.data(), 100, 50, 60, false), 0);
  EXPECT_STREQ(m.d64.get_last_error(), "Buffer overrun protection");
  EXPECT_EQ(m.d64.load_data("NOPE", buf.data(), 1000, 0, 0, false), 0);
  EXPECT_STREQ(m.d64.get_last_error(), "File not found");
}

TEST(D64Test, ExistingNamesAndReplacement) {
  MountedBlank m;
  ASSERT_EQ(m.save("ONE", 1000, 1), 1000);
  ASSERT_EQ(m.save("TWO", 10, 2), 10);
  EXPECT_EQ(m.save("ONE", 5, 3), 0);
  EXPECT_STREQ(m.d64.get_last_error(), "File already exists");

  std::vector<unsigned char> before = readBytes(m.path);
  const unsigned char* e = sectorAt(before, 18, 1);
  int oldT = e[3], oldS = e[4];
  // Replacement: the same slot, name and type; the new data; the old chain
  // given back once the entry points at the new one.
  ASSERT_EQ(m.save("@:ONE", 300, 4), 300);
  EXPECT_EQ(m.d64.get_file_count(), 2);
  ASSERT_EQ(m.d64.mount(m.path.c_str()), 1);
  EXPECT_STREQ(m.d64.get_file_name(0), "ONE");
  EXPECT_EQ(m.d64.get_file_size(0, D64_SIZETYPE_BLOCK), 2);
  EXPECT_EQ(m.load(0), dataOf(300, 4));
  EXPECT_EQ(m.load(1), dataOf(10, 2));
  std::vector<unsigned char> after = readBytes(m.path);
  e = sectorAt(after, 18, 1);
  EXPECT_TRUE(e[3] != oldT || e[4] != oldS);
  const unsigned char* bam = sectorAt(after, 18, 0);
  EXPECT_TRUE(bam[4 + 4 * (oldT - 1) + 1 + (oldS >> 3)] & (1 << (oldS & 7)));
  EXPECT_EQ(m.d64._check_bam(), 1);
  EXPECT_EQ(m.d64._get_free_block_count(), 664 + 17 - 3);

  // The prefix before a new name makes a new entry without the prefix.
  ASSERT_EQ(m.save("@:THREE", 1, 5), 1);
  EXPECT_EQ(m.d64.get_file_count(), 3);
  EXPECT_STREQ(m.d64.get_file_name(2), "THREE");
}

TEST(D64Test, LongNamesAreCutBeforeLookup) {
  MountedBlank m;
  const std::string longName = "ABCDEFGHIJKLMNOPQRS";
  ASSERT_EQ(m.save(longName, 10, 1), 10);
  EXPECT_STREQ(m.d64.get_file_name(0), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(m.save(longName, 10, 2), 0);
  EXPECT_STREQ(m.d64.get_last_error(), "File already exists");
  ASSERT_EQ(m.save(std::string("@:").append(longName), 20, 3), 20);
  EXPECT_EQ(m.d64.get_file_count(), 1);
  std::vector<unsigned char> buf(100);
  EXPECT_EQ(m.d64.load_data(longName.c_str(), buf.data(), 100, 0, 0, false), 20);
}

TEST(D64Test, DirectorySectorsAndFullDirectory) {
  MountedBlank m;
  for (int i = 0; i < kD64MaxEntries; ++i) ASSERT_EQ(m.save(numbered("F", i), 1, i), 1) << i << m.d64.get_last_error();
  std::vector<unsigned char> img = readBytes(m.path);
  std::vector<int> sectors;
  for (auto [t, s] : chainOf(img, 18, 1)) {
    EXPECT_EQ(t, 18);
    sectors.push_back(s);
  }
  EXPECT_EQ(sectors, (std::vector<int>{1, 4, 7, 10, 13, 16, 2, 5, 8, 11, 14, 17, 3, 6, 9, 12, 15, 18}));
  EXPECT_EQ(sectorAt(img, 18, 18)[1], 0xFF);

  // The 145th entry fails before anything is allocated or written.
  int freeBefore = m.d64._get_free_block_count();
  EXPECT_EQ(m.save("ONE MORE", 1000, 9), 0);
  EXPECT_STREQ(m.d64.get_last_error(), "No free sectors in directory. Not possible to write new direcotry.");
  EXPECT_EQ(m.d64._get_free_block_count(), freeBefore);
  EXPECT_EQ(m.d64.get_file_count(), kD64MaxEntries);
  EXPECT_EQ(readBytes(m.path), img);
  // Replacing still works on a full directory.
  ASSERT_EQ(m.save("@:F7", 500, 7), 500);

  ASSERT_EQ(m.d64.mount(m.path.c_str()), 1);
  EXPECT_EQ(m.d64.get_file_count(), kD64MaxEntries);
  EXPECT_STREQ(m.d64.get_file_name(143), "F143");
  EXPECT_EQ(m.load(7), dataOf(500, 7));

  // A chain that offers one more slot after 144 entries is not valid.
  img = readBytes(m.path);
  img[sectorOffset(18, 18)] = 18;
  img[sectorOffset(18, 18) + 1] = 0;
  writeBytes(m.path, img);
  EXPECT_EQ(m.d64.mount(m.path.c_str()), 0);
  EXPECT_STREQ(m.d64.get_last_error(), "BAM not valid");
}

TEST(D64Test, RewrittenDirectorySectorsHoldNoStaleEntries) {
  TempDir dir;
  std::vector<unsigned char> img = DiskDrive::blankD64("STALE", "01");
  // Free directory-track sectors full of junk, as left by another tool.
  for (int s = 2; s < 19; ++s) std::memset(img.data() + sectorOffset(18, s), 0x41, 256);
  std::string path = dir.file("stale.d64");
  writeBytes(path, img);
  D64 d;
  ASSERT_EQ(d.mount(path.c_str()), 1);
  unsigned char mem[64] = {};
  for (int i = 0; i < 9; ++i) ASSERT_EQ(d.save_data(numbered("N", i).c_str(), mem, 64, 0, 8), 8);
  ASSERT_EQ(d.mount(path.c_str()), 1);
  EXPECT_EQ(d.get_file_count(), 9);
  img = readBytes(path);
  const unsigned char* second = sectorAt(img, 18, 4);
  EXPECT_EQ(second[0], 0);
  EXPECT_EQ(second[1], 0xFF);
  for (int k = 32; k < 256; ++k) EXPECT_EQ(second[k], 0) << k;
}

TEST(D64Test, FreeSpaceTestCountsBlocksOutsideDirectoryTrack) {
  MountedBlank m;
  // 664 blocks outside track 18: two 259-block files, one of 145, one left.
  ASSERT_EQ(m.save("BIG1", 65535, 1), 65535);
  ASSERT_EQ(m.save("BIG2", 65535, 2), 65535);
  ASSERT_EQ(m.save("MID", 145 * 254 - 2, 3), 145 * 254 - 2);
  EXPECT_EQ(m.d64._get_free_block_count(), 1 + 17);
  std::vector<unsigned char> before = readBytes(m.path);

  // 253 data bytes need two blocks: refused before anything changes.
  EXPECT_EQ(m.save("TOO BIG", 253, 4), 0);
  EXPECT_STREQ(m.d64.get_last_error(), "Insufficient space available on disk");
  EXPECT_EQ(readBytes(m.path), before);
  EXPECT_EQ(m.d64._get_free_block_count(), 1 + 17);

  ASSERT_EQ(m.save("FITS", 252, 5), 252);
  // Only track 18 has room now; files never go there.
  EXPECT_EQ(m.save("NONE", 0, 6), 0);
  EXPECT_STREQ(m.d64.get_last_error(), "Insufficient space available on disk");

  // A replacement needs room for the new file beside the old one; when
  // that fails the old file is untouched.
  before = readBytes(m.path);
  EXPECT_EQ(m.save("@:FITS", 10, 7), 0);
  EXPECT_STREQ(m.d64.get_last_error(), "Insufficient space available on disk");
  EXPECT_EQ(readBytes(m.path), before);
  ASSERT_EQ(m.d64.mount(m.path.c_str()), 1);
  EXPECT_EQ(m.load(3), dataOf(252, 5));
  EXPECT_EQ(m.load(0), dataOf(65535, 1));
  EXPECT_EQ(m.d64._check_bam(), 1);
}

TEST(D64Test, DamagedBamRefusesSavesButStillReads) {
  MountedBlank m;
  ASSERT_EQ(m.save("KEEP", 400, 1), 400);
  std::vector<unsigned char> img = readBytes(m.path);
  img[sectorOffset(18, 0) + 4 + 4 * 4] = 3;  // track 5: count disagrees with its map
  writeBytes(m.path, img);
  ASSERT_EQ(m.d64.mount(m.path.c_str()), 1);
  EXPECT_EQ(m.save("NEW", 10, 2), 0);
  EXPECT_STREQ(m.d64.get_last_error(), "BAM not valid");
  EXPECT_EQ(readBytes(m.path), img);
  EXPECT_EQ(m.d64.get_file_count(), 1);
  EXPECT_EQ(m.load(0), dataOf(400, 1));
}

TEST(D64Test, TrackAndSectorSearch) {
  MountedBlank m;
  STSAddr pos{0, 0};
  int found = -1;
  ASSERT_EQ(m.d64._get_free_track(pos, found, 35, true), 1);
  EXPECT_EQ(found, 19);
  // Wrap rule: past the end by exactly one restarts at 0, further one lower.
  for (const auto& [from, want] : {std::pair{9, 0}, {10, 0}, {11, 1}}) {
    pos = {19, static_cast<unsigned char>(from)};
    ASSERT_EQ(m.d64._get_free_sector(pos, found, 10, false), 1) << from;
    EXPECT_EQ(found, want) << from;
  }
  // Searching downward below the directory track, then above it.
  for (int t = 1; t <= 35; ++t)
    if (t != 5 && t != 30 && t != 18) m.d64.bam[4 + 4 * (t - 1)] = 0;
  for (const auto& [from, want] : {std::pair{10, 5}, {31, 5}, {20, 30}}) {
    pos = {static_cast<unsigned char>(from), 0};
    ASSERT_EQ(m.d64._get_free_track(pos, found, 35, false), 1) << from;
    EXPECT_EQ(found, want) << from;
  }
  m.d64.bam[4 + 4 * 4] = 0;
  m.d64.bam[4 + 4 * 29] = 0;
  EXPECT_EQ(m.d64._get_free_track(pos, found, 35, true), 0);
  EXPECT_EQ(m.d64.get_last_errorid(), D64_ERR_NO_FREE_SECTOR);
  m.d64.bam[4 + 4 * 17] = 0;
  EXPECT_EQ(m.d64._get_free_track(pos, found, 35, true), 0);
  EXPECT_EQ(m.d64.get_last_errorid(), D64_ERR_NO_FREE_TRACK);
  EXPECT_EQ(m.d64._bam_allocate_sector(36, 0), 0);
  EXPECT_EQ(m.d64.get_last_errorid(), D64_ERR_BAM_INVALID);
}

TEST(D64Test, DamagedImagesNeverCrash) {
  // Random bytes, random damage to a populated image and truncations.
  TempDir dir;
  std::string path = dir.file("fuzz.d64");
  std::vector<unsigned char> good;
  {
    writeBytes(path, DiskDrive::blankD64("FUZZ", "01"));
    D64 d;
    ASSERT_EQ(d.mount(path.c_str()), 1);
    std::vector<unsigned char> mem(65536, 0);
    for (int i = 0; i < 20; ++i) {
      std::vector<unsigned char> prg = makePrg(0x0801, 100 + i * 700, i);
      std::copy(prg.begin() + 2, prg.end(), mem.begin() + 0x0801);
      ASSERT_GT(d.save_data(numbered("FILE", i).c_str(), mem.data(), 65536, 0x0801,
                            static_cast<unsigned short>(prg.size() - 2)), 0);
    }
    good = readBytes(path);
  }
  std::mt19937 rng(1234);
  std::vector<unsigned char> buf(0x10200);
  std::vector<unsigned char> mem(65536, 0x55);
  for (int iter = 0; iter < 2000; ++iter) {
    std::vector<unsigned char> img = good;
    int kind = iter % 5;
    if (kind == 0) {
      for (auto& b : img) b = static_cast<unsigned char>(rng());
    } else if (kind == 4) {
      img.resize(rng() % (kD64SizeErrorBytes + 10));
    } else {
      // Damage concentrated where it matters: the directory track, then
      // anywhere.
      int hits = 1 + static_cast<int>(rng() % 40);
      for (int h = 0; h < hits; ++h) {
        size_t at = (kind == 3) ? rng() % img.size() : sectorOffset(18, 0) + rng() % (19 * 256);
        img[at] = static_cast<unsigned char>(rng() % 3 == 0 ? rng() % 40 : rng());
      }
    }
    writeBytes(path, img);
    D64 d;
    if (!d.mount(path.c_str())) continue;
    int count = d.get_file_count();
    ASSERT_LE(count, kD64MaxEntries);
    for (int i = 0; i < count; ++i) {
      d.get_file_name(i);
      d.get_file_type(i);
      if (i < 8) d.get_file_size(i, D64_SIZETYPE_BYTES);
      d.load_data(i, buf.data(), static_cast<int>(buf.size()), 0, 0, true);
    }
    d.get_disk_name();
    d.get_disk_id();
    d.save_data("NEW", mem.data(), 65536, static_cast<unsigned short>(rng() % 0x8000), static_cast<unsigned short>(rng() % 3000));
    if (count > 0) {
      std::string replace = std::string("@:").append(d.get_file_name(0));
      d.save_data(replace.c_str(), mem.data(), 65536, 0x1000, 700);
    }
    // Whatever happened, the image still mounts or fails cleanly.
    D64 again;
    again.mount(path.c_str());
    if (again.is_mounted()) {
      ASSERT_LE(again.get_file_count(), kD64MaxEntries);
    }
  }
}
