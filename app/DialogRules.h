// The rules behind the preferences and help windows that are worth testing
// without a window: how the help text is split into lines and what each
// line is (section heading, sub-heading, plain text), and how a colour
// editor's channel maps to a palette byte. The windows (app/Dialogs.cpp)
// ask these functions and draw the answers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr const char* kHelpFile = "help.txt";
constexpr const char* kHelpMissing = "Help text not found.";

// The help text's lines: split at each line feed; a last line without a
// line feed counts, none follows a final line feed; carriage returns stay.
// No line at all gives the single line "Help text not found.".
std::vector<std::string> SplitHelpLines(const std::vector<uint8_t>& bytes);

// A line beginning with "## " is a section heading, one with "### " a
// sub-heading; `text` is the rest of the line after the marker.
struct HelpLine {
  enum class Kind { Plain, Heading, SubHeading };
  Kind kind = Kind::Plain;
  std::string text;
};
HelpLine ClassifyHelpLine(const std::string& line);

// A colour editor's channel 0.0-1.0 as a palette byte, rounded.
uint8_t ChannelByte(float f);
