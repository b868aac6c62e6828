// Whole-file input and output, text storage in the configuration directory
// and the path-string helpers. Independent of SDL.
#include "platform/Platform.h"

#include "core/Ascii.h"
#include "core/FileUtil.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

std::string g_assetDir;
std::string g_configDir;

std::string assetDir() { return g_assetDir; }

bool readFile(const std::string& path, std::vector<uint8_t>& out) { return readWholeFile(path, out); }

namespace {

// The file a write really replaces: a symbolic link is followed so the link
// itself survives the rename.
std::string writeTarget(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) {
    auto real = std::filesystem::weakly_canonical(path, ec);
    if (!ec) return real.string();
  }
  return path;
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

bool writeAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Truncates the existing object and writes into it: the object keeps its
// inode, its links, its owner and its kind (a device stays a device).
bool writeInPlace(const std::string& target, const std::vector<uint8_t>& bytes) {
  // Without blocking: a named pipe nobody reads fails instead of hanging.
  const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  bool ok = writeAll(fd, bytes);
  return (::close(fd) == 0) && ok;
}

enum class TempResult { Written, Failed, NoRoom };

// Writes the bytes to a new file beside the target, gives it the old file's
// mode, owner and group (`old` null: a new file's mode), and renames it over
// the target. NoRoom when the directory cannot take the temporary file, or
// when the old file's owner or group cannot be kept: the caller then writes
// in place.
TempResult writeReplacing(const std::string& target, const struct stat* old, const std::vector<uint8_t>& bytes) {
  std::string tmpl = directoryOf(target) + kTempPrefix;
  const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
  if (fd < 0) return TempResult::NoRoom;
  auto discard = [&](TempResult r) {
    ::close(fd);
    ::unlink(tmpl.c_str());
    return r;
  };
  mode_t mode;
  if (old) {
    // Owner first: changing it clears the set-id bits that fchmod restores.
    struct stat now {};
    if (::fstat(fd, &now) != 0) return discard(TempResult::Failed);
    if ((now.st_uid != old->st_uid || now.st_gid != old->st_gid) && ::fchown(fd, old->st_uid, old->st_gid) != 0)
      return discard(TempResult::NoRoom);
    mode = old->st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  bool ok = writeAll(fd, bytes);
  ok = ok && ::fchmod(fd, mode) == 0;
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && std::rename(tmpl.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(tmpl.c_str());
  return ok ? TempResult::Written : TempResult::Failed;
}

}  // namespace

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::string target = writeTarget(path);
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) {
    if (errno != ENOENT) return false;
    // A new file: written aside and renamed, so no half file ever shows.
    return writeReplacing(target, nullptr, bytes) == TempResult::Written;
  }
  if (S_ISDIR(st.st_mode)) return false;
  // A file the user may not write is refused, as opening it would be.
  if (::access(target.c_str(), W_OK) != 0) return false;
  // A replace would split a file with several links or turn a device or
  // pipe into a plain file: those are written where they are.
  if (!S_ISREG(st.st_mode) || st.st_nlink > 1) return writeInPlace(target, bytes);
  // An ordinary file is replaced whole, so a failed write keeps the old one.
  switch (writeReplacing(target, &st, bytes)) {
    case TempResult::Written: return true;
    case TempResult::Failed: return false;
    case TempResult::NoRoom: break;
  }
  return writeInPlace(target, bytes);
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
