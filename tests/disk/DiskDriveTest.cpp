// The virtual disk drive: blank images, image and host-directory media,
// their error texts, the safety of host file names, and interoperation
// with cc1541 as an independent D64 implementation.
#include "disk/DiskDrive.h"
#include "DiskTestUtil.h"
#include "tests/SmallDisk.h"

#include <gtest/gtest.h>

#include <functional>

#include <cstring>
#include <regex>
#include <sstream>
#include <sys/stat.h>

using namespace disktest;

namespace {

// A drive holding a fresh blank image.
struct ImageDrive {
  TempDir dir;
  std::string path;
  DiskDrive drive;
  ImageDrive() {
    path = dir.file("drive.d64");
    writeBytes(path, DiskDrive::blankD64("DRIVE", "01"));
    EXPECT_TRUE(drive.mountD64(path)) << drive.error;
  }
};

// The listing that cc1541 prints: blocks, name and type per file.
struct PeerEntry {
  int blocks;
  std::string name;
  std::string type;
  bool operator==(const PeerEntry&) const = default;
};

std::vector<PeerEntry> parseListing(const std::string& output) {
  std::vector<PeerEntry> out;
  std::regex line(R"re(^(\d+)\s+"([^"]*)"\s+(\w+))re");
  std::istringstream in(output);
  std::string l;
  while (std::getline(in, l)) {
    std::smatch m;
    if (std::regex_search(l, m, line)) out.push_back({std::stoi(m[1]), m[2], m[3]});
  }
  return out;
}

// cc1541 reads ASCII lower case as the PETSCII letters $41-$5A, the bytes
// the editor writes for upper-case names.
std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::vector<std::string> namesOf(DiskDrive& drive) {
  std::vector<std::string> names;
  for (const auto& e : drive.list()) names.push_back(e.name);
  return names;
}

// Marks sector (t, s) free or used in the BAM of an image held in memory,
// with the track's count of free sectors.
void setFree(std::vector<unsigned char>& img, int t, int s, bool free) {
  unsigned char* e = &img[sectorOffset(18, 0) + 4 + 4 * (t - 1)];
  unsigned char& map = e[1 + (s >> 3)];
  const int bit = 1 << (s & 7);
  map = static_cast<unsigned char>(free ? map | bit : map & ~bit);
  e[0] = static_cast<unsigned char>(e[0] + (free ? 1 : -1));
}

// Scratches a directory entry as the 1541 does: type 0, name kept, its
// blocks given back.
void scratch(std::vector<unsigned char>& img, unsigned char* entry) {
  for (auto [t, s] : chainOf(img, entry[3], entry[4])) setFree(img, t, s, true);
  entry[2] = 0;
}

}  // namespace

TEST(DiskDriveTest, TypeNames) {
  EXPECT_STREQ(DiskDrive::typeName(0), "DEL");
  EXPECT_STREQ(DiskDrive::typeName(2), "PRG");
  EXPECT_STREQ(DiskDrive::typeName(4), "REL");
  EXPECT_STREQ(DiskDrive::typeName(5), "???");
  EXPECT_STREQ(DiskDrive::typeName(-1), "???");
}

// Names and IDs as shown: the $A0 padding is a blank as in a C64 listing,
// as in the header of a new disk, "01" $A0 "2A".
TEST(DiskDriveTest, NamesAsShown) {
  const std::pair<std::string, std::string> cases[] = {{"PICTURE", "PICTURE"},
                                                       {"01\xA0" "2A", "01 2A"},
                                                       {"A\xA0\xA0" "B", "A  B"},
                                                       {std::string("\x1F \x7E\x7F\xA1\x00", 6), "? ~???"},
                                                       {"", ""}};
  for (const auto& [in, out] : cases) EXPECT_EQ(displayName(in), out);
  ImageDrive blank;
  EXPECT_EQ(displayName(blank.drive.diskId()), "01 2A");
}

TEST(DiskDriveTest, BlankImageLayout) {
  std::vector<unsigned char> img = DiskDrive::blankD64("test disk", "x");
  ASSERT_EQ(img.size(), static_cast<size_t>(kD64Size));
  const unsigned char* bam = sectorAt(img, 18, 0);
  EXPECT_EQ(bam[0], 18);
  EXPECT_EQ(bam[1], 1);
  EXPECT_EQ(bam[2], 0x41);
  EXPECT_EQ(bam[3], 0);
  const unsigned char track1[] = {21, 0xFF, 0xFF, 0x1F};
  EXPECT_EQ(std::memcmp(bam + 4, track1, 4), 0);
  const unsigned char track18[] = {17, 0xFC, 0xFF, 0x07};
  EXPECT_EQ(std::memcmp(bam + 72, track18, 4), 0);
  const unsigned char track35[] = {17, 0xFF, 0xFF, 0x01};
  EXPECT_EQ(std::memcmp(bam + 140, track35, 4), 0);
  const unsigned char header[] = {'T', 'E', 'S', 'T', ' ', 'D', 'I', 'S', 'K', 0xA0, 0xA0, 0xA0, 0xA0, 0xA0,
                                  0xA0, 0xA0, 0xA0, 0xA0, 'X', '0', 0xA0, '2', 'A', 0xA0, 0xA0, 0xA0, 0xA0};
  EXPECT_EQ(std::memcmp(bam + 144, header, sizeof header), 0);
  for (int k = 171; k < 256; ++k) EXPECT_EQ(bam[k], 0) << k;
  const unsigned char* dir = sectorAt(img, 18, 1);
  EXPECT_EQ(dir[0], 0);
  EXPECT_EQ(dir[1], 0xFF);
  size_t nonZero = 0;
  for (size_t i = 0; i < img.size(); ++i)
    if (img[i] && (i < sectorOffset(18, 0) || i >= sectorOffset(18, 2))) ++nonZero;
  EXPECT_EQ(nonZero, 0u);

  TempDir tmp;
  writeBytes(tmp.file("t.d64"), img);
  DiskDrive drive;
  ASSERT_TRUE(drive.mountD64(tmp.file("t.d64")));
  EXPECT_EQ(drive.mode, DriveMode::Image);
  EXPECT_EQ(drive.diskName(), "TEST DISK");
  EXPECT_EQ(drive.diskId(), "X0\xA0" "2A");
  EXPECT_TRUE(drive.list().empty());
  EXPECT_FALSE(drive.readOnly());

  // Names are cut to 16 characters; only a-z change case.
  img = DiskDrive::blankD64("abcdefghijklmnopqrstuvwxyz", "");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(sectorAt(img, 18, 0) + 144), 18), "ABCDEFGHIJKLMNOP\xA0\xA0");
  EXPECT_EQ(sectorAt(img, 18, 0)[162], '0');
  EXPECT_EQ(sectorAt(img, 18, 0)[163], '0');
}

TEST(DiskDriveTest, BlankImageMatchesCc1541) {
  if (!haveCc1541()) GTEST_SKIP() << "cc1541 is not installed";
  TempDir dir;
  struct Case {
    std::string name, id;
  } cases[] = {{"test disk", "x"}, {"TILVOX", "01"}, {"a-very-long-disk-name", "ab"}, {"", ""}, {"pics 2", "z9"}};
  for (const Case& c : cases) {
    std::string id = c.id;
    while (id.size() < 2) id += '0';
    std::string path = dir.file("peer.d64");
    std::filesystem::remove(path);
    std::string out;
    int rc = run(commandLine({"cc1541", "-q", "-n", lower(c.name), "-i", lower(id).append("#a02a"), path}), out);
    ASSERT_EQ(rc, 0) << out;
    EXPECT_EQ(readBytes(path), DiskDrive::blankD64(c.name, c.id)) << c.name;
  }
}

TEST(DiskDriveTest, ImageReadWrite) {
  ImageDrive d;
  std::vector<unsigned char> prg = makePrg(0x2000, 8000, 1);
  ASSERT_TRUE(d.drive.writeFile("PICTURE", prg)) << d.drive.error;
  std::vector<unsigned char> got;
  ASSERT_TRUE(d.drive.readFile(0, got));
  EXPECT_EQ(got, prg);
  ASSERT_TRUE(d.drive.readFile(std::string("PICTURE"), got));
  EXPECT_EQ(got, prg);
  EXPECT_FALSE(d.drive.readFile(std::string("PICTUR"), got));
  EXPECT_EQ(d.drive.error, "File not found");
  EXPECT_TRUE(got.empty());

  EXPECT_FALSE(d.drive.writeFile("PICTURE", prg));
  EXPECT_EQ(d.drive.error, "File already exists");
  std::vector<unsigned char> other = makePrg(0xC000, 10, 2);
  ASSERT_TRUE(d.drive.writeFile("@:PICTURE", other));
  ASSERT_TRUE(d.drive.readFile(std::string("PICTURE"), got));
  EXPECT_EQ(got, other);

  // Load address only: one block with last-byte offset 3, and it reads
  // back as a file of no data rather than as a failure.
  ASSERT_TRUE(d.drive.writeFile("EMPTY", {0x01, 0x08})) << d.drive.error;
  std::vector<unsigned char> img = readBytes(d.path);
  const unsigned char* entry = sectorAt(img, 18, 1) + 32;
  EXPECT_EQ(entry[30], 1);
  EXPECT_EQ(sectorAt(img, entry[3], entry[4])[1], 3);
  ASSERT_TRUE(d.drive.readFile(1, got)) << d.drive.error;
  EXPECT_EQ(got, (std::vector<unsigned char>{0x01, 0x08}));

  // Data past $FFFF is cut off.
  ASSERT_TRUE(d.drive.writeFile("TOP", makePrg(0xFFF0, 100, 3)));
  ASSERT_TRUE(d.drive.readFile(std::string("TOP"), got));
  std::vector<unsigned char> top = makePrg(0xFFF0, 100, 3);
  top.resize(2 + 16);
  EXPECT_EQ(got, top);
  // 64 KB from $0000 does not fit the 16-bit length: refused, not cut.
  EXPECT_FALSE(d.drive.writeFile("ALL", makePrg(0x0000, 65536, 4)));
  EXPECT_EQ(d.drive.error, "File too large");
  ASSERT_TRUE(d.drive.writeFile("ALMOST", makePrg(0x0001, 65535, 4)));
  ASSERT_TRUE(d.drive.readFile(std::string("ALMOST"), got));
  EXPECT_EQ(got, makePrg(0x0001, 65535, 4));

  EXPECT_FALSE(d.drive.writeFile("X", {0x01}));
  EXPECT_EQ(d.drive.error, "Nothing to save");

  std::vector<DiskDrive::Entry> list = d.drive.list();
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].name, "PICTURE");
  EXPECT_EQ(list[0].blocks, 1);
  EXPECT_EQ(list[0].type, 2);
  EXPECT_EQ(list[3].name, "ALMOST");
  EXPECT_EQ(list[3].blocks, 259);

  EXPECT_FALSE(d.drive.readFile(4, got));
  EXPECT_EQ(d.drive.error, "Invalid file number");
  EXPECT_FALSE(d.drive.readFile(-1, got));
  EXPECT_EQ(d.drive.error, "Invalid file number");
}

TEST(DiskDriveTest, ImageFileRunningPastTopOfMemory) {
  // Written through the image directly: $FF00 plus 600 bytes reaches past
  // $FFFF and is handed on unwrapped.
  ImageDrive d;
  std::vector<unsigned char> big(0x10300, 0);
  for (size_t i = 0; i < 600; ++i) big[0xFF00 + i] = static_cast<unsigned char>(i * 7);
  ASSERT_EQ(d.drive.d64.save_data("HIGH", big.data(), static_cast<int>(big.size()), 0xFF00, 600), 600);
  std::vector<unsigned char> got;
  ASSERT_TRUE(d.drive.readFile(0, got)) << d.drive.error;
  ASSERT_EQ(got.size(), 602u);
  EXPECT_EQ(got[0], 0x00);
  EXPECT_EQ(got[1], 0xFF);
  EXPECT_TRUE(std::equal(got.begin() + 2, got.end(), big.begin() + 0xFF00));
}

TEST(DiskDriveTest, NothingMountedAndFailedMounts) {
  DiskDrive drive;
  std::vector<unsigned char> got{1, 2, 3};
  EXPECT_FALSE(drive.readFile(0, got));
  EXPECT_EQ(drive.error, "Disk is not mounted");
  EXPECT_TRUE(got.empty());
  EXPECT_FALSE(drive.readFile(std::string("X"), got));
  EXPECT_EQ(drive.error, "Disk is not mounted");
  EXPECT_FALSE(drive.writeFile("X", {1, 2, 3}));
  EXPECT_EQ(drive.error, "Disk is not mounted");
  // An empty vector is refused for itself before the medium is asked for.
  EXPECT_FALSE(drive.writeFile("X", {1}));
  EXPECT_EQ(drive.error, "Nothing to save");
  EXPECT_TRUE(drive.list().empty());
  EXPECT_EQ(drive.diskName(), "");
  EXPECT_EQ(drive.diskId(), "");
  EXPECT_FALSE(drive.readOnly());

  TempDir dir;
  ASSERT_TRUE(drive.mountDirectory(dir.path().string()));
  EXPECT_FALSE(drive.mountD64(dir.file("missing.d64")));
  EXPECT_EQ(drive.error, "Unable to open file");
  EXPECT_EQ(drive.mode, DriveMode::None);
  EXPECT_EQ(drive.path, "");
  writeBytes(dir.file("short.d64"), std::vector<unsigned char>(1000));
  EXPECT_FALSE(drive.mountD64(dir.file("short.d64")));
  EXPECT_EQ(drive.error, "Unknown D64-disk format");
  EXPECT_FALSE(drive.mountDirectory(dir.file("nowhere")));
  EXPECT_EQ(drive.error, "Directory not found");
  EXPECT_FALSE(drive.mountDirectory(dir.file("short.d64")));
  EXPECT_EQ(drive.error, "Directory not found");
  EXPECT_EQ(drive.mode, DriveMode::None);

  // A read-only image reports so and refuses writes with the image's text.
  std::vector<unsigned char> img = DiskDrive::blankD64("RO", "01");
  img.resize(kD64SizeErrorBytes, 0);
  writeBytes(dir.file("ro.d64"), img);
  ASSERT_TRUE(drive.mountD64(dir.file("ro.d64")));
  EXPECT_TRUE(drive.readOnly());
  EXPECT_FALSE(drive.writeFile("X", {1, 2, 3}));
  EXPECT_EQ(drive.error, "Disk is mounted as read only");
  drive.unmount();
  EXPECT_EQ(drive.mode, DriveMode::None);
  EXPECT_EQ(drive.error, "Disk is mounted as read only");
}

TEST(DiskDriveTest, DirectoryListingAndNames) {
  TempDir dir;
  writeBytes(dir.file("a.PRG"), {0x00, 0x10, 1, 2, 3});
  writeBytes(dir.file("B.prg"), std::vector<unsigned char>(254, 9));
  writeBytes(dir.file("c.txt"), {1, 2, 3});
  writeBytes(dir.file(".prg"), {1, 2, 3});
  writeBytes(dir.file("..prg"), {1, 2, 3});
  writeBytes(dir.file("big.Prg"), std::vector<unsigned char>(255, 1));
  writeBytes(dir.file("zero.prg"), {});
  std::filesystem::create_directory(dir.path() / "sub.prg");

  DiskDrive drive;
  ASSERT_TRUE(drive.mountDirectory(dir.path().string()));
  EXPECT_EQ(drive.mode, DriveMode::Directory);
  std::vector<DiskDrive::Entry> list = drive.list();
  // The folder "sub.prg" is no file.
  EXPECT_EQ(namesOf(drive), (std::vector<std::string>{"B", "a", "big", "zero"}));
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].blocks, 1);
  EXPECT_EQ(list[1].blocks, 1);
  EXPECT_EQ(list[2].blocks, 2);
  EXPECT_EQ(list[3].blocks, 0);
  for (const auto& e : list) EXPECT_EQ(e.type, 2);

  std::vector<unsigned char> got;
  ASSERT_TRUE(drive.readFile(std::string("a"), got)) << drive.error;
  EXPECT_EQ(got, (std::vector<unsigned char>{0x00, 0x10, 1, 2, 3}));
  ASSERT_TRUE(drive.readFile(2, got));
  EXPECT_EQ(got.size(), 255u);
  EXPECT_FALSE(drive.readFile(3, got));
  EXPECT_EQ(drive.error, "Cannot read file");
  EXPECT_FALSE(drive.readFile(std::string("sub"), got));
  EXPECT_EQ(drive.error, "File not found");
  EXPECT_FALSE(drive.readFile(4, got));
  EXPECT_EQ(drive.error, "Invalid file number");
  EXPECT_FALSE(drive.readFile(std::string("nope"), got));
  EXPECT_EQ(drive.error, "File not found");
  EXPECT_FALSE(drive.readFile(std::string("A"), got));  // case is kept
  EXPECT_EQ(drive.error, "File not found");

  EXPECT_EQ(drive.diskName(), dir.path().filename().string());
  ASSERT_TRUE(drive.mountDirectory(dir.path().string() + "/"));
  EXPECT_EQ(drive.diskName(), "");
  EXPECT_EQ(drive.diskId(), "");
}

TEST(DiskDriveTest, DirectoryWrites) {
  TempDir dir;
  DiskDrive drive;
  ASSERT_TRUE(drive.mountDirectory(dir.path().string()));
  std::vector<unsigned char> prg = makePrg(0x0801, 500, 1);
  ASSERT_TRUE(drive.writeFile("PIC", prg)) << drive.error;
  EXPECT_EQ(readBytes(dir.file("PIC.prg")), prg);
  ASSERT_EQ(drive.list().size(), 1u);
  EXPECT_EQ(drive.list()[0].blocks, 2);
  EXPECT_FALSE(drive.writeFile("PIC", prg));
  EXPECT_EQ(drive.error, "File already exists");
  // The replace prefix means nothing here: it becomes part of the name.
  ASSERT_TRUE(drive.writeFile("@:PIC", prg));
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "@:PIC.prg"));
  EXPECT_EQ(drive.list().size(), 2u);
  EXPECT_FALSE(drive.writeFile("ONE", {7}));
  EXPECT_EQ(drive.error, "Nothing to save");
  ASSERT_TRUE(drive.writeFile("TWO", {7, 8}));
  std::vector<unsigned char> got;
  ASSERT_TRUE(drive.readFile(std::string("TWO"), got));
  EXPECT_EQ(got, (std::vector<unsigned char>{7, 8}));

  // A dangling link is something that exists: never followed by a write.
  std::filesystem::create_symlink(dir.path() / "target-outside", dir.path() / "LINK.prg");
  EXPECT_FALSE(drive.writeFile("LINK", prg));
  EXPECT_EQ(drive.error, "File already exists");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "target-outside"));
}

TEST(DiskDriveTest, HostNamesStayInsideTheDirectory) {
  TempDir outer;
  std::filesystem::create_directory(outer.path() / "disk");
  writeBytes(outer.file("secret.prg"), {1, 2, 3, 4});
  DiskDrive drive;
  ASSERT_TRUE(drive.mountDirectory((outer.path() / "disk").string()));
  std::vector<unsigned char> prg = {0x00, 0x10, 0xAA};
  const std::string bad[] = {"../secret", "../evil", "/tmp/evil", "a/b", ".", "..", std::string("x\0y", 3), ""};
  for (const std::string& name : bad) {
    std::vector<unsigned char> got{9};
    EXPECT_FALSE(drive.readFile(name, got)) << name;
    EXPECT_EQ(drive.error, "Invalid file name") << name;
    EXPECT_TRUE(got.empty());
    EXPECT_FALSE(drive.writeFile(name, prg)) << name;
    EXPECT_EQ(drive.error, "Invalid file name") << name;
  }
  EXPECT_FALSE(std::filesystem::exists(outer.path() / "evil.prg"));
  EXPECT_TRUE(std::filesystem::is_empty(outer.path() / "disk"));
  EXPECT_EQ(readBytes(outer.file("secret.prg")), (std::vector<unsigned char>{1, 2, 3, 4}));
  // Names that are harmless on a host disk stay allowed.
  ASSERT_TRUE(drive.writeFile("..X", prg)) << drive.error;
  ASSERT_TRUE(drive.writeFile("A B*C", prg)) << drive.error;
  EXPECT_EQ(drive.list().size(), 2u);
}

TEST(DiskDriveTest, HostFilesAreCappedAtPrgSize) {
  TempDir dir;
  writeBytes(dir.file("max.prg"), std::vector<unsigned char>(kMaxPrgFileSize, 3));
  writeBytes(dir.file("over.prg"), std::vector<unsigned char>(kMaxPrgFileSize + 1, 3));
  writeBytes(dir.file("one.prg"), {1});
  DiskDrive drive;
  ASSERT_TRUE(drive.mountDirectory(dir.path().string()));
  std::vector<unsigned char> got;
  ASSERT_TRUE(drive.readFile(std::string("max"), got));
  EXPECT_EQ(got.size(), kMaxPrgFileSize);
  EXPECT_FALSE(drive.readFile(std::string("over"), got));
  EXPECT_EQ(drive.error, "File too large");
  EXPECT_TRUE(got.empty());
  EXPECT_FALSE(drive.readFile(std::string("one"), got));
  EXPECT_EQ(drive.error, "Cannot read file");
  // An endless source or a named pipe behind a ".prg" name is no file of
  // the drive: it is neither read forever nor waited on.
  std::filesystem::create_symlink("/dev/zero", dir.path() / "zero.prg");
  EXPECT_FALSE(drive.readFile(std::string("zero"), got));
  EXPECT_EQ(drive.error, "File not found");
  ASSERT_EQ(::mkfifo(dir.file("pipe.prg").c_str(), 0600), 0);
  EXPECT_FALSE(drive.readFile(std::string("pipe"), got));
  EXPECT_EQ(drive.error, "File not found");
}

TEST(DiskDriveTest, FilesWrittenHereReadInCc1541) {
  if (!haveCc1541()) GTEST_SKIP() << "cc1541 is not installed";
  ImageDrive d;
  struct File {
    std::string name;
    size_t size;
    int blocks;
  } files[] = {{"PICTURE", 8000, 32}, {"EMPTY", 0, 1},   {"EXACT", 252, 1},     {"OVER", 253, 2},
               {"CHARSET 2", 2048, 9}, {"SPRITES-1", 30000, 119}, {"BIG", 65535, 259}, {"LONG NAME IS CUT HERE", 10, 1}};
  for (size_t i = 0; i < std::size(files); ++i)
    ASSERT_TRUE(d.drive.writeFile(files[i].name, makePrg(0, files[i].size, static_cast<unsigned>(i)))) << d.drive.error;
  // Replace one, so the peer also sees a released and reused chain.
  ASSERT_TRUE(d.drive.writeFile("@:CHARSET 2", makePrg(0x3000, 2048, 99)));

  std::string copy = d.dir.file("copy.d64");
  std::filesystem::copy_file(d.path, copy);
  std::string out;
  int rc = run(commandLine({"cc1541", "-V", copy}), out);
  EXPECT_EQ(rc, 0) << out;
  EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
  std::vector<PeerEntry> expected;
  int used = 0;
  for (const File& f : files) {
    expected.push_back({f.blocks, lower(f.name.substr(0, 16)), "prg"});
    used += f.blocks;
  }
  EXPECT_EQ(parseListing(out), expected) << out;
  EXPECT_NE(out.find(std::to_string(664 - used) + " blocks free"), std::string::npos) << out;
}

TEST(DiskDriveTest, FilesWrittenByCc1541LoadByteExact) {
  if (!haveCc1541()) GTEST_SKIP() << "cc1541 is not installed";
  TempDir dir;
  struct File {
    std::string name;
    std::vector<unsigned char> prg;
  };
  std::vector<File> files = {{"loader", makePrg(0x0801, 300, 1)},   {"bitmap", makePrg(0x2000, 8000, 2)},
                             {"tiny", makePrg(0xC000, 0, 3)},       {"edge", makePrg(0x4000, 252, 4)},
                             {"huge", makePrg(0x0100, 60000, 5)},   {"font 2", makePrg(0x3800, 2048, 6)}};
  std::vector<std::string> cmd = {"cc1541", "-q", "-n", "disk", "-i", "01#a02a"};
  for (size_t i = 0; i < files.size(); ++i) {
    std::string host = dir.file(numbered("in", static_cast<int>(i)).append(".prg"));
    writeBytes(host, files[i].prg);
    cmd.insert(cmd.end(), {"-f", files[i].name, "-w", host});
  }
  std::string image = dir.file("peer.d64");
  cmd.push_back(image);
  std::string out;
  ASSERT_EQ(run(commandLine(cmd), out), 0) << out;

  DiskDrive drive;
  ASSERT_TRUE(drive.mountD64(image)) << drive.error;
  EXPECT_EQ(drive.diskName(), "DISK");
  std::vector<DiskDrive::Entry> list = drive.list();
  ASSERT_EQ(list.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    std::string upper = files[i].name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(list[i].name, upper);
    EXPECT_EQ(list[i].blocks, static_cast<int>((files[i].prg.size() + 253) / 254));
    std::vector<unsigned char> got;
    ASSERT_TRUE(drive.readFile(upper, got)) << upper << ": " << drive.error;
    EXPECT_EQ(got, files[i].prg) << upper;
  }
  // And the image stays valid for the peer after a save here.
  ASSERT_TRUE(drive.writeFile("ADDED", makePrg(0x1000, 1000, 7)));
  std::string copy = dir.file("copy.d64");
  std::filesystem::copy_file(image, copy);
  EXPECT_EQ(run(commandLine({"cc1541", "-V", copy}), out), 0) << out;
  EXPECT_NE(out.find("\"added\""), std::string::npos) << out;
}

TEST(DiskDriveTest, PeerImageWithUnusualDirectoryContent) {
  if (!haveCc1541()) GTEST_SKIP() << "cc1541 is not installed";
  TempDir dir;
  std::vector<std::string> cmd = {"cc1541", "-q", "-n", "odd disk", "-i", "ab#a02a"};
  auto add = [&](const std::string& name, const std::vector<unsigned char>& prg, std::vector<std::string> opts) {
    std::string host = dir.file(name + ".in");
    writeBytes(host, prg);
    cmd.insert(cmd.end(), opts.begin(), opts.end());
    cmd.insert(cmd.end(), {"-f", name, "-w", host});
  };
  add("locked", makePrg(0x0801, 700, 1), {"-P"});
  add("text", makePrg(0x0000, 1500, 2), {"-T", "SEQ"});
  cmd.insert(cmd.end(), {"-f", "----------------", "-T", "DEL", "-L"});
  for (int i = 0; i < 8; ++i) add(numbered("n", i), makePrg(0x1000, 600 + 300 * i, 10 + i), {});
  std::string image = dir.file("odd.d64");
  cmd.push_back(image);
  std::string out;
  ASSERT_EQ(run(commandLine(cmd), out), 0) << out;

  // Move the second directory sector to 18/10 and scratch "N1".
  std::vector<unsigned char> img = readBytes(image);
  ASSERT_EQ(sectorAt(img, 18, 1)[0], 18);
  int second = sectorAt(img, 18, 1)[1];
  ASSERT_NE(second, 10);
  std::copy_n(sectorAt(img, 18, second), 256, img.begin() + static_cast<long>(sectorOffset(18, 10)));
  std::fill_n(img.begin() + static_cast<long>(sectorOffset(18, second)), 256, 0);
  img[sectorOffset(18, 1) + 1] = 10;
  setFree(img, 18, second, true);
  setFree(img, 18, 10, false);
  unsigned char* n1 = &img[sectorOffset(18, 1) + 32 * 4];
  ASSERT_EQ(n1[5], 'N');
  ASSERT_EQ(n1[6], '1');
  scratch(img, n1);
  writeBytes(image, img);
  ASSERT_EQ(run(commandLine({"cc1541", "-V", image}), out), 0) << out;

  DiskDrive drive;
  ASSERT_TRUE(drive.mountD64(image)) << drive.error;
  EXPECT_EQ(drive.diskName(), "ODD DISK");
  EXPECT_EQ(drive.diskId(), "AB\xA0" "2A");
  std::vector<DiskDrive::Entry> list = drive.list();
  ASSERT_EQ(list.size(), 11u);
  EXPECT_EQ(list[0].name, "LOCKED");
  EXPECT_EQ(list[0].type, 2);
  EXPECT_EQ(list[1].type, 1);
  EXPECT_EQ(list[2].name, "----------------");
  EXPECT_EQ(list[2].type, 0);
  EXPECT_EQ(list[2].blocks, 0);
  EXPECT_EQ(list[4].name, "N1");
  EXPECT_EQ(list[4].type, 0);
  EXPECT_EQ(list[10].name, "N7");
  // The cached directory is the entries byte for byte, then their count.
  unsigned char const* cache = drive.d64.get_directory();
  ASSERT_NE(cache, nullptr);
  EXPECT_EQ(cache[2], 0xC2);
  EXPECT_EQ(cache[32 + 2], 0x81);
  int count = 0;
  std::memcpy(&count, cache + kD64MaxEntries * kD64EntrySize, sizeof count);
  EXPECT_EQ(count, 11);

  std::vector<unsigned char> got;
  ASSERT_TRUE(drive.readFile(std::string("LOCKED"), got)) << drive.error;
  EXPECT_EQ(got, makePrg(0x0801, 700, 1));
  ASSERT_TRUE(drive.readFile(std::string("N7"), got)) << drive.error;
  EXPECT_EQ(got, makePrg(0x1000, 600 + 300 * 7, 17));
  for (const char* name : {"TEXT", "----------------"}) {
    EXPECT_FALSE(drive.readFile(std::string(name), got)) << name;
    EXPECT_EQ(drive.error, "Filetype is not loadable");
  }
  // A scratched entry is a free slot, not a file of that name.
  EXPECT_FALSE(drive.readFile(std::string("N1"), got));
  EXPECT_EQ(drive.error, "File not found");

  // Save and replace: the directory is laid out again from 18/1 and the
  // peer still finds a valid disk.
  ASSERT_TRUE(drive.writeFile("ADDED", makePrg(0x2000, 5000, 3))) << drive.error;
  ASSERT_TRUE(drive.writeFile("@:LOCKED", makePrg(0x0801, 9000, 4))) << drive.error;
  img = readBytes(image);
  EXPECT_EQ(sectorAt(img, 18, 1)[0], 18);
  EXPECT_EQ(sectorAt(img, 18, 1)[1], 4);
  EXPECT_EQ(sectorAt(img, 18, 4)[0], 0);
  EXPECT_EQ(sectorAt(img, 18, 4)[1], 0xFF);
  EXPECT_EQ(sectorAt(img, 18, 1)[2], 0xC2);  // the replaced entry keeps its type
  ASSERT_EQ(run(commandLine({"cc1541", "-V", image}), out), 0) << out;
  ASSERT_TRUE(drive.mountD64(image)) << drive.error;
  ASSERT_TRUE(drive.readFile(std::string("LOCKED"), got)) << drive.error;
  EXPECT_EQ(got, makePrg(0x0801, 9000, 4));
  ASSERT_TRUE(drive.readFile(std::string("ADDED"), got)) << drive.error;
  EXPECT_EQ(got, makePrg(0x2000, 5000, 3));
}

// Directory entries a 1541 leaves behind, each changed on a peer-made image
// and then written through the drive: the peer must list the result and
// the file written must read back.
TEST(DiskDriveTest, ReplacedScratchedAndHiddenEntries) {
  if (!haveCc1541()) GTEST_SKIP() << "cc1541 is not installed";
  // Slot j of the first directory sector.
  auto slot = [](std::vector<unsigned char>& img, int j) { return &img[sectorOffset(18, 1) + 32 * j]; };
  struct Case {
    const char* what;
    std::function<void(std::vector<unsigned char>&)> change;
    const char* save;  // the name written
    const char* read;  // the name read back
    std::vector<PeerEntry> listing;
  };
  const std::vector<PeerEntry> allPrg = {{1, "one", "prg"}, {1, "two", "prg"}, {1, "three", "prg"}};
  const Case cases[] = {
      {"@: over a SEQ file makes a PRG", [](auto&) {}, "@:TWO", "TWO", allPrg},
      {"a scratched entry is a free slot", [&](auto& img) { scratch(img, slot(img, 1)); }, "TWO", "TWO", allPrg},
      {"entries after an empty slot stay",
       [&](auto& img) {
         scratch(img, slot(img, 1));
         std::fill_n(slot(img, 1) + 2, 30, 0);
       },
       "FOUR", "FOUR", {{1, "one", "prg"}, {1, "three", "prg"}, {1, "four", "prg"}}},
      {"a name is all its stored bytes",
       [&](auto& img) {
         unsigned char* e = slot(img, 1);
         e[2] = kD64TypeClosedPrg;
         e[5 + 1] = 0;  // "T\0O": the bytes after a NUL are part of the name
       },
       "T", "T", {}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string image = dir.file("peer.d64"), host = dir.file("in.prg");
    writeBytes(host, makePrg(0x0801, 100, 1));
    std::string out;
    ASSERT_EQ(run(commandLine({"cc1541", "-q", "-n", "peer", "-f", "one", "-w", host, "-f", "two", "-T", "SEQ", "-w",
                               host, "-f", "three", "-w", host, image}),
                  out),
              0)
        << out;
    std::vector<unsigned char> img = readBytes(image);
    c.change(img);
    writeBytes(image, img);

    DiskDrive drive;
    ASSERT_TRUE(drive.mountD64(image)) << c.what << ": " << drive.error;
    const std::vector<unsigned char> prg = makePrg(0x2000, 50, 7);
    ASSERT_TRUE(drive.writeFile(c.save, prg)) << c.what << ": " << drive.error;
    std::vector<unsigned char> got;
    ASSERT_TRUE(drive.readFile(std::string(c.read), got)) << c.what << ": " << drive.error;
    EXPECT_EQ(got, prg) << c.what;
    if (c.listing.empty()) continue;
    ASSERT_EQ(run(commandLine({"cc1541", image}), out), 0) << out;
    EXPECT_EQ(parseListing(out), c.listing) << c.what << "\n" << out;
  }
}

// Every name the listing shows reads back, and nothing else does: other
// cases of ".prg", folders, and links that leave the directory.
TEST(DiskDriveTest, HostListingAndReadingAgree) {
  TempDir outside, dir;
  const std::vector<unsigned char> prg = {0x01, 0x08, 0x60};
  writeBytes(outside.file("secret.prg"), {0x00, 0x10, 0xEE});
  writeBytes(dir.file("mixed.pRG"), prg);
  writeBytes(dir.file("upper.PRG"), prg);
  writeBytes(dir.file("target.bin"), prg);
  std::filesystem::create_directory(dir.path() / "folder.prg");
  std::filesystem::create_symlink(outside.file("secret.prg"), dir.path() / "away.prg");
  std::filesystem::create_symlink("../" + outside.path().filename().string() + "/secret.prg",
                                  dir.path() / "relative.prg");
  std::filesystem::create_symlink("target.bin", dir.path() / "inside.prg");

  DiskDrive drive;
  ASSERT_TRUE(drive.mountDirectory(dir.path().string()));
  const std::vector<std::string> names = namesOf(drive);
  EXPECT_EQ(names, (std::vector<std::string>{"inside", "mixed", "upper"}));
  std::vector<unsigned char> got;
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_TRUE(drive.readFile(static_cast<int>(i), got)) << names[i] << ": " << drive.error;
    EXPECT_EQ(got, prg) << names[i];
  }
  for (const char* name : {"folder", "away", "relative", "secret", "target"}) {
    EXPECT_FALSE(drive.readFile(std::string(name), got)) << name;
    EXPECT_EQ(drive.error, "File not found") << name;
  }
}

// A host-directory save that runs out of blocks or inodes leaves no part of
// a file: the listing stays as it was, and once there is room again the
// same name saves.
TEST(DiskDriveTest, HostSaveOnAFullDisk) {
  for (const bool noInodes : {false, true}) {
    TempDir dir;
    smalldisk::SmallDisk disk(dir.path().string(), 64 * 1024, 64);
    if (!disk.mounted()) GTEST_SKIP() << disk.reason();
    DiskDrive drive;
    ASSERT_TRUE(drive.mountDirectory(dir.path().string()));
    ASSERT_TRUE(drive.writeFile("FIRST", makePrg(0x0801, 1000, 1))) << drive.error;
    if (noInodes) {
      disk.fillInodes("i");
    } else {
      // Room for part of the file only.
      disk.fillBlocks("filler");
      fs::resize_file(dir.path() / "filler", fs::file_size(dir.path() / "filler") - 16384);
    }
    drive.rescanDirectory();
    const std::vector<std::string> before = namesOf(drive);
    const std::vector<unsigned char> prg = makePrg(0x2000, 30000, 2);
    EXPECT_FALSE(drive.writeFile("PIC", prg)) << noInodes;
    EXPECT_EQ(drive.error, "Cannot create file");
    EXPECT_FALSE(fs::exists(dir.path() / "PIC.prg")) << noInodes;
    drive.rescanDirectory();
    EXPECT_EQ(namesOf(drive), before) << noInodes;
    std::vector<unsigned char> got;
    EXPECT_FALSE(drive.readFile(std::string("PIC"), got));
    EXPECT_EQ(drive.error, "File not found");

    fs::remove(dir.path() / "filler");
    fs::remove(dir.path() / "i0");
    ASSERT_TRUE(drive.writeFile("PIC", prg)) << noInodes << ": " << drive.error;
    ASSERT_TRUE(drive.readFile(std::string("PIC"), got));
    EXPECT_EQ(got, prg);
  }
}
