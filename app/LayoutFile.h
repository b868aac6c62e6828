// The saved window layout ("imgui.ini" in the configuration directory):
// which file the frame loop hands to Dear ImGui at start-up, and which it
// sets aside because loading it would stall the start. Free of any window
// so that it is tested headless; main reads the file through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Largest layout file loaded. A real layout (a few dozen windows, the dock
// tree and a few tables) takes a few kilobytes; a megabyte is hundreds of
// times that and still reads and parses in milliseconds.
constexpr uint64_t kMaxLayoutBytes = 1u << 20;
// Most sections ("[Window][Screen]", "[Table][...]", "[Docking][Data]") a
// loaded layout file holds. Dear ImGui finds the settings of a window or
// table by a linear search, also for each section it reads, so n sections
// load in time growing with n squared: 4096 in about 20 ms, 30000 in a
// second, 300000 in over a minute. A real layout holds a few dozen.
constexpr size_t kMaxLayoutSections = 4096;
// Added to the name of a layout file set aside, so that the next save of
// the layout does not overwrite what the user had.
constexpr const char* kSetAsideSuffix = ".bad";

// The lines of `text` that begin with '[', lines ending at '\n' or '\r' as
// Dear ImGui splits them: every section header it can read, and no fewer.
size_t countLayoutSections(const std::string& text);

// Reads the layout file at `path` into `text`; a missing or unreadable file
// leaves `text` empty and is no error. A file larger than kMaxLayoutBytes
// or with more than kMaxLayoutSections sections is not loaded (`text`
// empty) and is renamed to `path` + kSetAsideSuffix, replacing an earlier
// one there; the result is then the line to report, empty otherwise.
std::string readLayoutFile(const std::string& path, std::string& text);
