// The host layer: directory choice, whole-file input and output, text
// storage and the path helpers.
#include "platform/Platform.h"
#include "tests/TestBytes.h"
#include "tests/SaveFaults.h"
#include "tests/SmallDisk.h"
#include "tests/fuzz/FuzzUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class TempDir {
public:
  TempDir() {
    path_ = fs::temp_directory_path() / ("tilvox_platform_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

private:
  fs::path path_;
  static inline int counter_ = 0;
};

// Restores an environment variable when the test ends.
class EnvGuard {
public:
  explicit EnvGuard(const char* name) : name_(name) {
    if (const char* v = std::getenv(name)) old_ = v;
  }
  ~EnvGuard() {
    if (old_) ::setenv(name_, old_->c_str(), 1);
    else ::unsetenv(name_);
  }

private:
  const char* name_;
  std::optional<std::string> old_;
};

class CwdGuard {
public:
  CwdGuard() : old_(fs::current_path()) {}
  ~CwdGuard() { fs::current_path(old_); }

private:
  fs::path old_;
};

using Bytes = std::vector<uint8_t>;

void touch(const fs::path& p, const std::string& bytes = "") { std::ofstream(p, std::ios::binary) << bytes; }

// The bytes of a file that has to be readable.
Bytes bytesAt(const fs::path& p) {
  Bytes out;
  EXPECT_TRUE(Platform::readFile(p.string(), out)) << p;
  return out;
}

struct stat statOf(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
  return st;
}

// Runs `body` in a child process, as the unprivileged user "nobody" when
// the tests run as root (who may write any file), and returns its exit
// code (-1 when the child did not exit normally).
int runAsNobody(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
    ::_exit(body());
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace

TEST(Platform, AssetDirectoryCandidatesInOrder) {
  EnvGuard env("TILVOX_ASSETS");
  CwdGuard cwd;
  TempDir a, b, base;
  touch(b.path() / "C64Chars.bin");
  fs::create_directories(base.path() / "assets");
  fs::create_directories(base.path() / "assets" / "C64Chars.bin");  // a directory counts too

  ::setenv("TILVOX_ASSETS", a.path().c_str(), 1);  // no marker: skipped
  EXPECT_EQ(Platform::chooseAssetDir(base.path().string() + "/", b.path().string()),
            base.path().string() + "/assets");
  EXPECT_EQ(Platform::chooseAssetDir("", b.path().string()), b.path().string());
  ::setenv("TILVOX_ASSETS", b.path().c_str(), 1);
  EXPECT_EQ(Platform::chooseAssetDir(base.path().string() + "/", ""), b.path().string());

  // An empty variable tests the working directory and yields "assets".
  fs::current_path(b.path());
  ::setenv("TILVOX_ASSETS", "", 1);
  EXPECT_EQ(Platform::chooseAssetDir("", ""), "assets");
  ::unsetenv("TILVOX_ASSETS");
  fs::current_path(a.path());
  EXPECT_EQ(Platform::chooseAssetDir("", ""), "assets");
}

TEST(Platform, ConfigDirectoryChoice) {
  EnvGuard xdg("XDG_CONFIG_HOME"), home("HOME");
  ::setenv("XDG_CONFIG_HOME", "/x/cfg", 1);
  EXPECT_EQ(Platform::chooseConfigDir(), "/x/cfg/tilvox");
  ::setenv("XDG_CONFIG_HOME", "", 1);
  ::setenv("HOME", "/home/u", 1);
  EXPECT_EQ(Platform::chooseConfigDir(), "/home/u/.config/tilvox");
  ::setenv("HOME", "", 1);
  EXPECT_EQ(Platform::chooseConfigDir(), "/.config/tilvox");
  ::unsetenv("HOME");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(Platform::chooseConfigDir(), ".");
}

TEST(Platform, InitCreatesConfigDirectory) {
  EnvGuard xdg("XDG_CONFIG_HOME");
  TempDir t;
  ::setenv("XDG_CONFIG_HOME", (t.path() / "deep" / "er").c_str(), 1);
  Platform::init("tilvox");
  EXPECT_TRUE(fs::is_directory(t.path() / "deep" / "er" / "tilvox"));
  EXPECT_FALSE(Platform::assetDir().empty());
  Platform::saveText("tilvox.ini", "zoom=3\n");
  EXPECT_EQ(Platform::loadText("tilvox.ini"), "zoom=3\n");
  EXPECT_EQ(Platform::loadText("missing.ini"), "");
}

TEST(Platform, ReadFileCases) {
  TempDir t;
  std::vector<uint8_t> out{1, 2, 3};
  EXPECT_FALSE(Platform::readFile((t.path() / "missing").string(), out));
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 3}));
  touch(t.path() / "empty");
  EXPECT_TRUE(Platform::readFile((t.path() / "empty").string(), out));
  EXPECT_TRUE(out.empty());
  touch(t.path() / "data", std::string("\x00\x01\xFF", 3));
  EXPECT_TRUE(Platform::readFile((t.path() / "data").string(), out));
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 1, 0xFF}));
  // A directory opens but holds no bytes.
  out = {9};
  EXPECT_TRUE(Platform::readFile(t.path().string(), out));
  EXPECT_TRUE(out.empty());
  // A named pipe without a writer reads as empty instead of waiting.
  const fs::path fifo = t.path() / "pipe.prg";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  out = {9};
  EXPECT_TRUE(Platform::readFile(fifo.string(), out));
  EXPECT_TRUE(out.empty());
}

TEST(Platform, WriteFileReplacesAtomically) {
  TempDir t;
  const std::string p = (t.path() / "out.bin").string();
  EXPECT_TRUE(Platform::writeFile(p, {1, 2, 3}));
  EXPECT_EQ(bytesAt(p), (Bytes{1, 2, 3}));
  EXPECT_TRUE(Platform::writeFile(p, {}));
  EXPECT_TRUE(bytesAt(p).empty());
  // An empty vector also creates a new, empty file.
  const std::string fresh = (t.path() / "fresh.bin").string();
  EXPECT_TRUE(Platform::writeFile(fresh, {}));
  EXPECT_TRUE(fs::is_regular_file(fresh));
  EXPECT_EQ(fs::file_size(fresh), 0u);
  fs::remove(fresh);
  // Unwritable destination: false, nothing left behind.
  EXPECT_FALSE(Platform::writeFile((t.path() / "no" / "such" / "dir.bin").string(), {1}));
  EXPECT_FALSE(Platform::writeFile(t.path().string(), {1}));
  EXPECT_EQ(fuzz::namesIn(t.path()).size(), 1u);
}

TEST(Platform, WriteFileFailureKeepsOldContents) {
  // A disk that fills up mid-write: a file-size limit makes the write of
  // the temporary file fail, even for root.
  TempDir t;
  const std::string p = (t.path() / "keep.bin").string();
  ASSERT_TRUE(Platform::writeFile(p, {7, 7}));
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 4;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool wrote = Platform::writeFile(p, Bytes(100000, 1));
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(wrote);
  EXPECT_EQ(bytesAt(p), (Bytes{7, 7}));
  EXPECT_EQ(fuzz::namesIn(t.path()).size(), 1u);  // no temporary file left behind
}

TEST(Platform, WriteFileRefusesAFileThatMayNotBeWritten) {
  TempDir t;
  fs::permissions(t.path(), fs::perms::all);
  const std::string locked = (t.path() / "locked.bin").string();
  const std::string open = (t.path() / "open.bin").string();
  touch(locked, "keep");
  touch(open, "old");
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(open, fs::perms::all);
  EXPECT_EQ(runAsNobody([&] {
              if (Platform::writeFile(locked, {1, 2})) return 1;
              return Platform::writeFile(open, {3}) ? 0 : 2;
            }),
            0);
  EXPECT_EQ(bytesAt(locked), (Bytes{'k', 'e', 'e', 'p'}));
  EXPECT_EQ(bytesAt(open), Bytes{3});
}

TEST(Platform, WriteFileKeepsWhatTheFileIs) {
  TempDir t;
  const Bytes fresh{'n', 'e', 'w'};

  // Two hard links: both show the new bytes afterwards.
  const fs::path a = t.path() / "a.prg", b = t.path() / "b.prg";
  touch(a, "old");
  fs::create_hard_link(a, b);
  ASSERT_TRUE(Platform::writeFile(a.string(), fresh));
  EXPECT_EQ(bytesAt(b), fresh);
  EXPECT_EQ(fs::hard_link_count(a), 2u);

  // A named pipe stays a pipe, and its reader gets the bytes.
  const fs::path fifo = t.path() / "pipe.koa";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_TRUE(Platform::writeFile(fifo.string(), fresh));
  char got[8] = {};
  EXPECT_EQ(::read(reader, got, sizeof got), 3);
  EXPECT_STREQ(got, "new");
  ::close(reader);
  EXPECT_TRUE(fs::is_fifo(fifo));
  // Nobody reading: the save fails rather than hangs or replaces the pipe.
  EXPECT_FALSE(Platform::writeFile(fifo.string(), fresh));
  EXPECT_TRUE(fs::is_fifo(fifo));

  // A character device (made where the process may) stays a device.
  const fs::path dev = t.path() / "null.bin";
  if (::mknod(dev.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    EXPECT_TRUE(Platform::writeFile(dev.string(), fresh));
    EXPECT_TRUE(fs::is_character_file(dev));
  }

  // A name at the length limit leaves no room for a longer temporary name.
  const fs::path longName = t.path() / (std::string(NAME_MAX - 4, 'x') + ".prg");
  touch(longName, "old");
  EXPECT_TRUE(Platform::writeFile(longName.string(), fresh));
  EXPECT_EQ(bytesAt(longName), fresh);

  // An ordinary file is still replaced (a new inode), keeping its mode.
  const fs::path plain = t.path() / "plain.prg";
  touch(plain, "old");
  fs::permissions(plain, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const ino_t inode = statOf(plain).st_ino;
  ASSERT_TRUE(Platform::writeFile(plain.string(), fresh));
  EXPECT_NE(statOf(plain).st_ino, inode);
  EXPECT_EQ(statOf(plain).st_mode & 07777, 0640u);
  EXPECT_EQ(bytesAt(plain), fresh);

  // Nothing but the files made above is left in the directory.
  for (const std::string& name : fuzz::namesIn(t.path())) EXPECT_NE(name[0], '.') << name;
}

TEST(Platform, WriteFileKeepsOwnerAndWorksForAnOrdinaryUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand files to another user";
  TempDir t;
  // Root saving another user's file keeps that user as its owner.
  const fs::path theirs = t.path() / "theirs.prg";
  touch(theirs, "old");
  ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(theirs.c_str(), 0604), 0);
  ASSERT_TRUE(Platform::writeFile(theirs.string(), {'n', 'e', 'w'}));
  const struct stat st = statOf(theirs);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
  EXPECT_EQ(bytesAt(theirs), (Bytes{'n', 'e', 'w'}));

  // An ordinary user saves a file they may write in a directory they may
  // not write (root's temporary directory, mode 0755).
  const fs::path shared = t.path() / "shared.prg";
  touch(shared, "old");
  ASSERT_EQ(::chmod(t.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 0666), 0);
  EXPECT_EQ(runAsNobody([&] { return Platform::writeFile(shared.string(), {'u', 's', 'e', 'r'}) ? 0 : 1; }), 0);
  EXPECT_EQ(bytesAt(shared), (Bytes{'u', 's', 'e', 'r'}));
  EXPECT_EQ(statOf(shared).st_uid, 0u);

  // The same user in a directory of their own gets the atomic replace.
  const fs::path own = t.path() / "own";
  fs::create_directory(own);
  ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
  const std::string mine = (own / "mine.prg").string();
  EXPECT_EQ(runAsNobody([&] {
              if (!Platform::writeFile(mine, {'1'}) || !Platform::writeFile(mine, {'2'})) return 1;
              return bytesAt(mine) == Bytes{'2'} ? 0 : 2;
            }),
            0);
}
TEST(FileIO, ExtensionAndBaseName) {
  EXPECT_EQ(FileIO::extension("PIC.KOA"), "koa");
  EXPECT_EQ(FileIO::extension("dir\\name.Prg"), "prg");
  EXPECT_EQ(FileIO::extension("archive.tar.gz"), "gz");
  EXPECT_EQ(FileIO::extension(".bashrc"), "bashrc");
  EXPECT_EQ(FileIO::extension("a.b/c"), "");
  EXPECT_EQ(FileIO::extension("x."), "");
  EXPECT_EQ(FileIO::extension("noext"), "");
  EXPECT_EQ(FileIO::baseName("/home/u/pic.koa"), "pic.koa");
  EXPECT_EQ(FileIO::baseName("C:\\x\\y.prg"), "y.prg");
  EXPECT_EQ(FileIO::baseName("dir/"), "");
  EXPECT_EQ(FileIO::baseName("plain"), "plain");
}

TEST(FileIO, StartDirFollowsLastDir) {
  FileIO::g_lastDir.clear();
  EXPECT_EQ(FileIO::startDir(), fs::current_path().string());
  FileIO::g_lastDir = "/tmp/x";
  EXPECT_EQ(FileIO::startDir(), "/tmp/x");
  FileIO::g_lastDir.clear();
}

namespace {

// `size` pseudo-random bytes; different seeds differ nearly everywhere, so
// a save that mixed old and new bytes shows.
Bytes pattern(size_t size, unsigned seed) {
  Bytes out(size);
  unsigned x = seed * 2654435761u + 1;
  for (uint8_t& b : out) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 16);
  }
  return out;
}

// A save of `newSize` bytes over a.prg of `oldSize` bytes, also named b.prg
// when `linked`, once `fill` has filled the disk and with the faults of
// `plan` in force (none: the real calls). After a success every name shows the new
// bytes, after a failure the old ones in the file that was there; links
// stay, nothing else is left in the directory and no descriptor stays
// open. Returns the result.
bool savedOver(const fs::path& dir, const std::string& what, bool linked, size_t oldSize, size_t newSize,
               const std::function<void()>& fill, const savefaults::Plan* plan = nullptr) {
  const fs::path a = dir / "a.prg", b = dir / "b.prg";
  const Bytes old = pattern(oldSize, 1), fresh = pattern(newSize, 2);
  EXPECT_TRUE(Platform::writeFile(a.string(), old)) << what;
  if (linked) fs::create_hard_link(a, b);
  fill();
  const std::vector<std::string> names = fuzz::namesIn(dir);
  const ino_t inode = statOf(a).st_ino;
  std::optional<savefaults::Injector> faults;
  if (plan) faults.emplace(*plan);
  const long descriptors = testbytes::openDescriptors();
  const bool ok = Platform::writeFile(a.string(), fresh);
  EXPECT_EQ(testbytes::openDescriptors(), descriptors) << what;
  for (const savefaults::Fault& f : plan ? plan->faults : std::vector<savefaults::Fault>{})
    EXPECT_GE(faults->uses(f.call), f.use) << what << ": fault not reached";
  const Bytes& want = ok ? fresh : old;
  EXPECT_EQ(bytesAt(a), want) << what;
  if (linked) {
    EXPECT_EQ(bytesAt(b), want) << what;
    EXPECT_EQ(fs::hard_link_count(a), 2u) << what;
  }
  if (linked || !ok) {
    EXPECT_EQ(statOf(a).st_ino, inode) << what;  // rewritten in place, or not at all
  }
  EXPECT_EQ(fuzz::namesIn(dir), names) << what;
  return ok;
}

}  // namespace

// Saves on a disk that is really full: a hard-linked file is rewritten in
// place only when the space is there, and an ordinary one never in place.
TEST(Platform, WriteFileOnAFullDisk) {
  const struct {
    const char* what;
    bool linked;
    size_t oldSize, newSize;
    bool noInodes;  // else no blocks
    bool written;
  } cases[] = {
      {"hard-linked, larger", true, 10000, 66611, false, false},
      {"hard-linked, smaller: no new space needed", true, 10000, 5000, false, true},
      {"ordinary, larger", false, 10000, 66611, false, false},
      {"ordinary, smaller: no room for the temporary file", false, 10000, 5000, false, false},
      {"ordinary, no inode for the temporary file", false, 10000, 5000, true, false},
  };
  for (const auto& c : cases) {
    TempDir t;
    smalldisk::SmallDisk disk(t.path().string(), c.noInodes ? 256 * 1024 : 64 * 1024, c.noInodes ? 16 : 64);
    if (!disk.mounted()) GTEST_SKIP() << disk.reason();
    const auto fill = [&] {
      if (c.noInodes) EXPECT_GT(disk.fillInodes("i"), 0) << c.what;
      else disk.fillBlocks("filler");
    };
    EXPECT_EQ(savedOver(t.path(), c.what, c.linked, c.oldSize, c.newSize, fill), c.written) << c.what;
  }
}

// Every failure point of both ways of saving, made to fail on purpose.
TEST(Platform, WriteFileFailuresKeepTheOldFile) {
  using namespace savefaults;
  const struct {
    const char* what;
    bool linked;
    size_t oldSize, newSize;
    Plan plan;
    bool written;
  } cases[] = {
      {"no space for the temporary file", false, 4000, 3000, {-1, 0, {{Mkostemp, 1, ENOSPC}}}, false},
      {"quota reached for the temporary file", false, 4000, 3000, {-1, 0, {{Mkostemp, 1, EDQUOT}}}, false},
      {"directory refuses new names: rewritten in place", false, 4000, 9000, {-1, 0, {{Mkostemp, 1, EACCES}}}, true},
      {"refused names: write fails", false, 9000, 4000, {-1, 1000, {{Mkostemp, 1, EACCES}, {Pwrite, 3, EIO}}}, false},
      {"refused names: tail not cut", false, 9000, 4000, {-1, 0, {{Mkostemp, 1, EACCES}, {Ftruncate, 1, EIO}}}, false},
      {"disk fills while writing the temporary file", false, 4000, 9000, {3000, 0, {}}, false},
      {"mode of the temporary file not set", false, 4000, 9000, {-1, 0, {{Fchmod, 1, EPERM}}}, false},
      {"temporary file not stored", false, 4000, 9000, {-1, 0, {{Fsync, 1, EIO}}}, false},
      {"temporary file not closed", false, 4000, 9000, {-1, 0, {{Close, 1, EIO}}}, false},
      {"rename fails", false, 4000, 9000, {-1, 0, {{Rename, 1, EIO}}}, false},
      {"directory not stored: still saved", false, 4000, 9000, {-1, 0, {{SyncDirectory, 1, EIO}}}, true},
      {"in place: no space to reserve", true, 4000, 9000, {4999, 0, {}}, false},
      {"in place: exactly the space needed", true, 4000, 9000, {5000, 0, {}}, true},
      {"in place: smaller needs no space", true, 9000, 4000, {0, 0, {}}, true},
      {"in place, no reservation: no room past the old end", true, 4000, 9000,
       {1000, 100, {{Fallocate, 1, EOPNOTSUPP}}}, false},
      {"in place, no reservation: room enough", true, 4000, 9000, {5000, 0, {{Fallocate, 1, EOPNOTSUPP}}}, true},
      {"in place: reservation fails otherwise", true, 4000, 9000, {-1, 0, {{Fallocate, 1, EIO}}}, false},
      {"in place: old bytes unreadable", true, 4000, 9000, {-1, 0, {{Pread, 1, EIO}}}, false},
      {"in place: file not opened", true, 4000, 9000, {-1, 0, {{Open, 1, EACCES}}}, false},
      {"in place: overwrite fails midway", true, 9000, 8000, {-1, 1000, {{Pwrite, 4, EIO}}}, false},
      {"in place: bytes not stored", true, 9000, 8000, {-1, 0, {{Fsync, 1, EIO}}}, false},
      {"in place: old tail not cut off", true, 9000, 4000, {-1, 0, {{Ftruncate, 1, EIO}}}, false},
      {"in place: close fails after the bytes are stored", true, 4000, 9000, {-1, 0, {{Close, 1, EIO}}}, true},
      {"interrupted, a few bytes at a time", true, 4000, 9000,
       {-1, 7, {{Pread, 2, EINTR}, {Fallocate, 1, EINTR}, {Pwrite, 1, EINTR}, {Pwrite, 700, EINTR}}}, true},
  };
  for (const auto& c : cases) {
    TempDir t;
    EXPECT_EQ(savedOver(t.path(), c.what, c.linked, c.oldSize, c.newSize, [] {}, &c.plan), c.written) << c.what;
  }
}

// A new file gets 0666 less the umask in force; its data is stored before
// the rename makes it the file, and the directory after.
TEST(Platform, WriteFileCreatesANewFile) {
  TempDir t;
  const std::string p = (t.path() / "new.prg").string();
  const mode_t saved = ::umask(027);
  savefaults::Injector faults(savefaults::Plan{});
  const bool written = Platform::writeFile(p, {1});
  ::umask(saved);
  ASSERT_TRUE(written);
  EXPECT_EQ(statOf(p).st_mode & 07777, 0640u);
  const std::vector<int>& c = faults.calls();
  EXPECT_LT(std::find(c.begin(), c.end(), savefaults::Fsync), std::find(c.begin(), c.end(), savefaults::Rename));
  EXPECT_EQ(c.back(), savefaults::SyncDirectory);
}

// A save through symbolic links writes, or creates, the file where the
// chain ends and leaves every link a link; a loop is refused untouched,
// with its own reason.
TEST(Platform, WriteFileFollowsSymbolicLinks) {
  using Links = std::vector<std::pair<std::string, std::string>>;  // name, target ('/': test directory)
  const auto chain = [](int n) {  // a.prg -> 1 -> 2 ... -> n
    Links links{{"a.prg", "1"}};
    for (int i = 1; i < n; ++i) links.emplace_back(std::to_string(i), std::to_string(i + 1));
    return links;
  };
  const struct {
    const char* what;
    Links links;
    bool exists;        // "real.prg" holds old bytes before the save
    std::string lands;  // where the bytes go; empty: refused
    std::string why = Platform::kLinkLoopError;  // the reason of a refusal
  } cases[] = {
      {"link to an existing file", {{"a.prg", "real.prg"}}, true, "real.prg"},
      {"link made before its file", {{"a.prg", "real.prg"}}, false, "real.prg"},
      {"chain to a missing file", {{"a.prg", "b.prg"}, {"b.prg", "c.prg"}}, false, "c.prg"},
      {"relative target from the link", {{"a.prg", "sub/b.prg"}, {"sub/b.prg", "../real.prg"}}, true, "real.prg"},
      {"absolute target", {{"a.prg", "/real.prg"}}, false, "real.prg"},
      {"as many links as the kernel follows", chain(40), false, "40"},
      {"one more", chain(41), false, ""},
      {"loop", {{"a.prg", "b.prg"}, {"b.prg", "a.prg"}}, false, ""},
      {"link to a directory", {{"a.prg", "sub"}}, false, "", Platform::kWriteFailedError},
  };
  for (const auto& c : cases) {
    TempDir t;
    fs::create_directory(t.path() / "sub");
    if (c.exists) touch(t.path() / "real.prg", "old");
    for (const auto& [name, to] : c.links)
      fs::create_symlink(to[0] == '/' ? t.path().string() + to : to, t.path() / name);
    std::vector<std::string> names = fuzz::namesIn(t.path());
    errno = 0;
    const long descriptors = testbytes::openDescriptors();
    const std::string why = Platform::writeFileError((t.path() / "a.prg").string(), {'n', 'e', 'w'});
    EXPECT_EQ(testbytes::openDescriptors(), descriptors) << c.what;
    EXPECT_EQ(why, c.lands.empty() ? c.why : "") << c.what;
    if (c.lands.empty()) {
      EXPECT_TRUE(c.why != Platform::kLinkLoopError || errno == ELOOP) << c.what << ": errno " << errno;
    } else {
      EXPECT_EQ(bytesAt(t.path() / c.lands), (Bytes{'n', 'e', 'w'})) << c.what;
      if (!c.exists) names.insert(std::upper_bound(names.begin(), names.end(), c.lands), c.lands);
    }
    EXPECT_EQ(fuzz::namesIn(t.path()), names) << c.what;
    for (const auto& [name, to] : c.links) EXPECT_TRUE(fs::is_symlink(fs::symlink_status(t.path() / name))) << name;
  }
}
