// The host layer: directory choice, whole-file input and output, text
// storage and the path helpers.
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
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

void touch(const fs::path& p, const std::string& bytes = "") { std::ofstream(p, std::ios::binary) << bytes; }

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
  std::vector<uint8_t> back;
  ASSERT_TRUE(Platform::readFile(p, back));
  EXPECT_EQ(back, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_TRUE(Platform::writeFile(p, {}));
  ASSERT_TRUE(Platform::readFile(p, back));
  EXPECT_TRUE(back.empty());
  // An empty vector also creates a new, empty file.
  const std::string fresh = (t.path() / "fresh.bin").string();
  EXPECT_TRUE(Platform::writeFile(fresh, {}));
  EXPECT_TRUE(fs::is_regular_file(fresh));
  EXPECT_EQ(fs::file_size(fresh), 0u);
  fs::remove(fresh);
  // Unwritable destination: false, nothing left behind.
  EXPECT_FALSE(Platform::writeFile((t.path() / "no" / "such" / "dir.bin").string(), {1}));
  EXPECT_FALSE(Platform::writeFile(t.path().string(), {1}));
  int files = 0;
  for (auto& e : fs::directory_iterator(t.path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
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
  const bool wrote = Platform::writeFile(p, std::vector<uint8_t>(100000, 1));
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(wrote);
  std::vector<uint8_t> back;
  ASSERT_TRUE(Platform::readFile(p, back));
  EXPECT_EQ(back, (std::vector<uint8_t>{7, 7}));
  int files = 0;
  for (auto& e : fs::directory_iterator(t.path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);  // no temporary file left behind
}

TEST(Platform, WriteFileRefusesAFileThatMayNotBeWritten) {
  // Root may write any file, so the check runs as an ordinary user: in a
  // child process that drops to "nobody" when the tests run as root.
  TempDir t;
  fs::permissions(t.path(), fs::perms::all);
  const std::string locked = (t.path() / "locked.bin").string();
  const std::string open = (t.path() / "open.bin").string();
  touch(locked, "keep");
  touch(open, "old");
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(open, fs::perms::all);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::geteuid() == 0 && ::setuid(65534) != 0) ::_exit(3);
    const bool lockedWritten = Platform::writeFile(locked, {1, 2});
    const bool openWritten = Platform::writeFile(open, {3});
    ::_exit(lockedWritten ? 1 : openWritten ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::vector<uint8_t> back;
  ASSERT_TRUE(Platform::readFile(locked, back));
  EXPECT_EQ(back, (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  ASSERT_TRUE(Platform::readFile(open, back));
  EXPECT_EQ(back, std::vector<uint8_t>{3});
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
