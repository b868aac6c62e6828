// Whole-file input and output, text storage in the configuration directory
// and the path-string helpers. Independent of SDL.
#include "platform/Platform.h"

#include "core/Ascii.h"
#include "core/FileUtil.h"

#include <cstdio>
#include <cstdlib>
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

mode_t newFileMode(const std::string& target) {
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::string target = writeTarget(path);
  std::error_code ec;
  if (std::filesystem::is_directory(target, ec)) return false;
  // The rename would replace a file the user may not write; refuse it as
  // opening that file for writing would.
  if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) return false;
  std::string tmpl = target + ".tmpXXXXXX";
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return false;
  FILE* f = ::fdopen(fd, "wb");
  if (!f) {
    ::close(fd);
    ::unlink(tmpl.c_str());
    return false;
  }
  bool ok = true;
  if (!bytes.empty()) ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = ok && std::fflush(f) == 0;
  ok = ok && ::fchmod(fileno(f), newFileMode(target)) == 0;
  ok = ok && ::fsync(fileno(f)) == 0;
  ok = (std::fclose(f) == 0) && ok;
  ok = ok && std::rename(tmpl.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(tmpl.c_str());
  return ok;
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
