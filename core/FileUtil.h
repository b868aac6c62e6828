// Whole-file reading shared by the document's asset loading and the host
// layer. Only regular files are sized; anything else that opens (a
// directory, a device) reads as empty, so a stray object never makes the
// program allocate from a bogus size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Largest file read whole; anything bigger is refused rather than held.
constexpr uint64_t kMaxWholeFileSize = 256ull * 1024 * 1024;

// Reads the file at `path` into `out`. False when it cannot be opened or is
// larger than kMaxWholeFileSize; `out` is then left untouched. A file that
// is not a regular file gives true with an empty `out`.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& out);
