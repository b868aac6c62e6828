// The host layer: where assets and per-user settings live, whole-file byte
// input and output, named text files in the configuration directory, and
// the path-string helpers that actions outside the file dialog use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Platform {

extern std::string g_assetDir;
extern std::string g_configDir;

// Chooses the asset and configuration directories and creates the latter.
void init(const char* argv0);
std::string assetDir();

bool readFile(const std::string& path, std::vector<uint8_t>& out);
// An ordinary file is written through a short-named temporary file in its
// directory, given the old file's mode, owner and group (a new file: 0666
// less the umask), stored, renamed over it, and the directory stored too.
// Where a replace would change what the file is (a file with several
// links, an owner that cannot be kept, a directory that refuses the
// temporary file for want of rights) the file is rewritten in place: the
// space is reserved first and the old bytes are kept to be written back,
// so a failed save leaves the old file as it was. A device or pipe is
// written as it is. A symbolic link is followed to where its chain ends,
// and the file is written (or created) there, keeping every link; a loop
// or a chain of more than 40 links fails the save with kLinkLoopError
// (and errno ELOOP). No space or inodes for the temporary file, an
// existing file the process may not write, or one to rewrite in place that
// it may not read, fail the save. Returns the reason, empty when written:
// errno after a failed save need not be the failure's own (some refusals
// make no system call, and clean-up calls come after the failing one).
std::string writeFileError(const std::string& path, const std::vector<uint8_t>& bytes);
// writeFileError for callers that only need to know whether it was written.
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// The reason of a save whose name, or a directory on its path, is a loop
// of symbolic links or a chain longer than the system follows: the one
// failure that the name itself causes.
constexpr const char* kLinkLoopError = "too many levels of symbolic links";
// The reason of every other failed save.
constexpr const char* kWriteFailedError = "the file could not be written";

std::string loadText(const std::string& name);
void saveText(const std::string& name, const std::string& text);

void openUrl(const std::string& url);

// The asset directory choice without side effects: `basePath` is what
// SDL_GetBasePath returned (empty when nothing), `buildDir` the build-time
// candidate. Exposed for tests.
std::string chooseAssetDir(const std::string& basePath, const std::string& buildDir);
std::string chooseConfigDir();

}  // namespace Platform

namespace FileIO {

extern std::string g_lastDir;

std::string extension(const std::string& path);
std::string baseName(const std::string& path);
std::string startDir();

}  // namespace FileIO
