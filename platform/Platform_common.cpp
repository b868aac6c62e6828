// Whole-file input and output, text storage in the configuration directory
// and the path-string helpers. Independent of SDL.
#include "platform/Platform.h"
#include "platform/SaveCalls.h"

#include "core/Ascii.h"
#include "core/FileUtil.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

std::string g_assetDir;
std::string g_configDir;

std::string assetDir() { return g_assetDir; }

bool readFile(const std::string& path, std::vector<uint8_t>& out) { return readWholeFile(path, out); }

namespace detail {

SaveCalls g_saveCalls = {
    [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
    [](char* pathTemplate, int flags) { return ::mkostemp(pathTemplate, flags); },
    [](int fd, void* buf, size_t size, off_t at) { return ::pread(fd, buf, size, at); },
    [](int fd, const void* buf, size_t size, off_t at) { return ::pwrite(fd, buf, size, at); },
    [](int fd, const void* buf, size_t size) { return ::write(fd, buf, size); },
    [](int fd, int mode, off_t at, off_t size) { return ::fallocate(fd, mode, at, size); },
    [](int fd, off_t size) { return ::ftruncate(fd, size); },
    [](int fd, uid_t owner, gid_t group) { return ::fchown(fd, owner, group); },
    [](int fd, mode_t mode) { return ::fchmod(fd, mode); },
    [](int fd) { return ::fsync(fd); },
    [](int fd) { return ::close(fd); },
    [](const char* from, const char* to) { return std::rename(from, to); },
    [](const char* path) {
      const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (fd < 0) return -1;
      const int result = ::fsync(fd);
      ::close(fd);
      return result;
    },
};

}  // namespace detail

namespace {

const detail::SaveCalls& sys() { return detail::g_saveCalls; }

// Most symbolic links followed to find the file a save writes: as many as
// the kernel follows on one path.
constexpr int kMaxLinkHops = 40;

// The file a save really writes: where the chain of symbolic links at the
// last component of `path` ends, whether a file exists there yet or not.
// So every link survives the rename, and a link made before its file gets
// the file where it points. A relative link target counts from the
// directory of the link that holds it; links among the directory
// components are left to the kernel. Nothing, with errno set (ELOOP for a
// loop or a chain longer than the kernel would follow), when the chain
// cannot be followed.
std::optional<std::string> writeTarget(const std::string& path) {
  std::filesystem::path target = path;
  for (int hops = 0;; ++hops) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target.string();
    if (hops == kMaxLinkHops) {
      errno = ELOOP;
      return std::nullopt;
    }
    std::error_code ec;
    const std::filesystem::path next = std::filesystem::read_symlink(target, ec);
    if (ec) {
      errno = ec.value();
      return std::nullopt;
    }
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
}

// The umask as the process started, for a system without /proc. Read while
// static objects are set up, before main and so before any thread exists:
// reading the umask this way sets it for a moment.
const mode_t g_startUmask = [] {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}();

// The process's umask, read without setting it (which would give a file
// another thread creates meanwhile the wrong mode): the kernel shows it in
// /proc/self/status.
mode_t currentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  return g_startUmask;
}

// Calls `call` again while a signal interrupts it before it does anything.
template <class Call>
auto retryInterrupted(const Call& call) {
  for (;;) {
    const auto result = call();
    if (result >= 0 || errno != EINTR) return result;
  }
}

// Prefix of the temporary file beside the target. Kept short and apart
// from the target's name, so a name near the length limit still has room.
constexpr char kTempPrefix[] = "/.tilvox-XXXXXX";

std::string directoryOf(const std::string& target) {
  const size_t slash = target.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return target.substr(0, slash);
}

// Writes `size` bytes at offset `at` of a regular file; returns how many
// were written, fewer on an error or a write that makes no progress.
size_t writeAt(int fd, const uint8_t* data, size_t size, off_t at) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n =
        retryInterrupted([&] { return sys().pwrite(fd, data + done, size - done, at + static_cast<off_t>(done)); });
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

bool readAt(int fd, uint8_t* data, size_t size, off_t at) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n =
        retryInterrupted([&] { return sys().pread(fd, data + done, size - done, at + static_cast<off_t>(done)); });
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// A device or a named pipe holds no old content to keep: it is opened,
// truncated where that means anything, and written in sequence.
bool writeSpecial(const std::string& target, const std::vector<uint8_t>& bytes) {
  // Without blocking: a named pipe nobody reads fails instead of hanging.
  const int fd = sys().open(target.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0);
  if (fd < 0) return false;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  bool ok = true;
  for (size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n = retryInterrupted([&] { return sys().write(fd, bytes.data() + done, bytes.size() - done); });
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  return (sys().close(fd) == 0) && ok;
}

// Reasons a directory refuses the temporary file while the file itself may
// still be written where it is: no right to add names to the directory, or
// a path at the length limit. Any other reason (no space or inodes left, a
// quota, a read-only or failing file system) fails the save instead.
bool directoryRefusesNewNames(int error) { return error == EACCES || error == EPERM || error == ENAMETOOLONG; }

// Reservation errors that only say the file system cannot reserve.
bool reservationUnsupported(int error) { return error == EOPNOTSUPP || error == ENOSYS || error == EINVAL; }

// Rewrites a regular file where it is, so it keeps its inode, its links and
// its owner; `seen` is what stat found at the path. A failure leaves the
// old content as it was:
// 1. The old bytes the new ones will cover are read first, so that they
//    can be written back.
// 2. The space the new content needs is reserved (fallocate keeping the
//    size) before any old byte is touched; a refusal ends the save there.
//    Where the file system cannot reserve, the part past the old end is
//    written first instead: it takes the same new space, touches no old
//    byte, and is cut off again when it does not fit.
// 3. The covered old bytes are overwritten and the data made durable
//    (fsync); on a failure the bytes written so far get their old values
//    back and the file its old size.
// 4. Last the old tail is cut off, which needs no space.
// A file the process may write but not read cannot have its old bytes
// kept and is refused. A write that fails even over blocks the file
// already owns (a failing device, a copy-on-write file system out of
// space) can make the old bytes impossible to put back; that is reported
// like any other failure.
bool rewriteInPlace(const std::string& target, const struct stat& seen, const std::vector<uint8_t>& bytes) {
  const int fd = sys().open(target.c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_dev != seen.st_dev || st.st_ino != seen.st_ino) {
    sys().close(fd);
    return false;
  }
  const off_t oldSize = st.st_size;
  const off_t newSize = static_cast<off_t>(bytes.size());
  const size_t covered = static_cast<size_t>(std::min(oldSize, newSize));
  std::vector<uint8_t> old(covered);
  if (!readAt(fd, old.data(), covered, 0)) {
    sys().close(fd);
    return false;
  }
  bool ok = true;
  if (newSize > 0 && retryInterrupted([&] { return sys().fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, newSize); }) != 0)
    ok = reservationUnsupported(errno);
  const size_t tail = bytes.size() - covered;
  ok = ok && writeAt(fd, bytes.data() + covered, tail, oldSize) == tail;
  const size_t written = ok ? writeAt(fd, bytes.data(), covered, 0) : 0;  // old bytes overwritten
  ok = ok && written == covered;
  ok = ok && sys().fsync(fd) == 0;
  ok = ok && (newSize >= oldSize || sys().ftruncate(fd, newSize) == 0);
  if (!ok) {
    writeAt(fd, old.data(), written, 0);
    // Also gives back what a reservation or the tail took.
    sys().ftruncate(fd, oldSize);
  }
  // The bytes are stored or put back already: closing decides nothing.
  sys().close(fd);
  return ok;
}

enum class TempResult { Written, Failed, WriteInPlace };

// Writes the bytes to a new file beside the target, gives it the old file's
// mode, owner and group (`old` null: a new file's mode), and renames it over
// the target. WriteInPlace when the directory refuses the temporary file
// for want of rights (not of space), or when the old file's owner or group
// cannot be kept.
TempResult writeReplacing(const std::string& target, const struct stat* old, const std::vector<uint8_t>& bytes) {
  std::string tmpl = directoryOf(target) + kTempPrefix;
  const int fd = sys().mkostemp(tmpl.data(), O_CLOEXEC);
  if (fd < 0) return directoryRefusesNewNames(errno) ? TempResult::WriteInPlace : TempResult::Failed;
  auto discard = [&](TempResult r) {
    sys().close(fd);
    ::unlink(tmpl.c_str());
    return r;
  };
  mode_t mode;
  if (old) {
    // Owner first: changing it clears the set-id bits that fchmod restores.
    struct stat now {};
    if (::fstat(fd, &now) != 0) return discard(TempResult::Failed);
    if ((now.st_uid != old->st_uid || now.st_gid != old->st_gid) && sys().fchown(fd, old->st_uid, old->st_gid) != 0)
      return discard(TempResult::WriteInPlace);
    mode = old->st_mode & 07777;
  } else {
    mode = 0666 & ~currentUmask();
  }
  bool ok = writeAt(fd, bytes.data(), bytes.size(), 0) == bytes.size();
  ok = ok && sys().fchmod(fd, mode) == 0;
  ok = ok && sys().fsync(fd) == 0;
  ok = (sys().close(fd) == 0) && ok;
  ok = ok && sys().rename(tmpl.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(tmpl.c_str());
    return TempResult::Failed;
  }
  // The new name is durable only once the directory is: until then a crash
  // can bring the old file back or lose a new one. A failure here changes
  // nothing in the result: the rename has replaced the old file already, so
  // a failed save could no longer keep it, and some file systems cannot
  // sync a directory at all.
  sys().syncDirectory(directoryOf(target).c_str());
  return TempResult::Written;
}

// Saves over the file `target`, which is no symbolic link, or creates it;
// `st` is what stat found there (null: nothing).
bool writeResolved(const std::string& target, const struct stat* st, const std::vector<uint8_t>& bytes) {
  // A new file: written aside and renamed, so no half file ever shows.
  if (!st) return writeReplacing(target, nullptr, bytes) == TempResult::Written;
  if (S_ISDIR(st->st_mode)) return false;
  // A file the user may not write is refused, as opening it would be.
  if (::access(target.c_str(), W_OK) != 0) return false;
  // A replace would turn a device or pipe into a plain file, or split a
  // file with several links: those are written where they are.
  if (!S_ISREG(st->st_mode)) return writeSpecial(target, bytes);
  if (st->st_nlink > 1) return rewriteInPlace(target, *st, bytes);
  // An ordinary file is replaced whole, so a failed write keeps the old one.
  switch (writeReplacing(target, st, bytes)) {
    case TempResult::Written: return true;
    case TempResult::Failed: return false;
    case TempResult::WriteInPlace: break;
  }
  return rewriteInPlace(target, *st, bytes);
}

}  // namespace

std::string writeFileError(const std::string& path, const std::vector<uint8_t>& bytes) {
  // Only here is errno read, right after the call that set it: a loop
  // shows in following the links at the name, or in stat when a directory
  // on the path loops.
  const std::optional<std::string> followed = writeTarget(path);
  if (!followed) return errno == ELOOP ? kLinkLoopError : kWriteFailedError;
  const std::string& target = *followed;
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return errno == ELOOP ? kLinkLoopError : kWriteFailedError;
  return writeResolved(target, exists ? &st : nullptr, bytes) ? "" : kWriteFailedError;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  return writeFileError(path, bytes).empty();
}

std::string loadText(const std::string& name) {
  std::vector<uint8_t> bytes;
  if (!readFile(g_configDir + "/" + name, bytes)) return {};
  return std::string(bytes.begin(), bytes.end());
}

void saveText(const std::string& name, const std::string& text) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  writeFile(g_configDir + "/" + name, bytes);
}

namespace {

bool markerExists(const std::string& candidate) {
  std::error_code ec;
  auto st = std::filesystem::status(std::filesystem::path(candidate) / "C64Chars.bin", ec);
  return !ec && std::filesystem::exists(st);
}

}  // namespace

std::string chooseAssetDir(const std::string& basePath, const std::string& buildDir) {
  std::vector<std::string> candidates;
  if (const char* env = std::getenv("TILVOX_ASSETS")) candidates.emplace_back(env);
  if (!basePath.empty()) {
    candidates.push_back(basePath + "assets");
    candidates.push_back(basePath + "../share/tilvox/assets");
  }
  if (!buildDir.empty()) candidates.push_back(buildDir);
  candidates.emplace_back("assets");
  for (const std::string& c : candidates) {
    if (markerExists(c)) return c.empty() ? "assets" : c;
  }
  return "assets";
}

std::string chooseConfigDir() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) return std::string(xdg) + "/tilvox";
  if (const char* home = std::getenv("HOME")) return std::string(home) + "/.config/tilvox";
  return ".";
}

}  // namespace Platform

namespace FileIO {

std::string g_lastDir;

std::string extension(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos) return {};
  const size_t sep = path.find_last_of("/\\");
  if (sep != std::string::npos && sep > dot) return {};
  return toLowerAscii(path.substr(dot + 1));
}

std::string baseName(const std::string& path) {
  const size_t sep = path.find_last_of("/\\");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string startDir() {
  if (!g_lastDir.empty()) return g_lastDir;
  std::error_code ec;
  auto cwd = std::filesystem::current_path(ec);
  if (ec) return "/";
  return cwd.string();
}

}  // namespace FileIO
