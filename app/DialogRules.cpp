// Help text lines and colour channels; see DialogRules.h.
#include "app/DialogRules.h"

#include <algorithm>

std::vector<std::string> SplitHelpLines(const std::vector<uint8_t>& bytes) {
  std::vector<std::string> lines;
  std::string cur;
  for (uint8_t b : bytes) {
    if (b == '\n') {
      lines.push_back(std::move(cur));
      cur.clear();
    } else {
      cur.push_back(static_cast<char>(b));
    }
  }
  if (!cur.empty()) lines.push_back(std::move(cur));
  if (lines.empty()) lines.emplace_back(kHelpMissing);
  return lines;
}

HelpLine ClassifyHelpLine(const std::string& line) {
  if (line.starts_with("## ")) return {HelpLine::Kind::Heading, line.substr(3)};
  if (line.starts_with("### ")) return {HelpLine::Kind::SubHeading, line.substr(4)};
  return {HelpLine::Kind::Plain, line};
}

uint8_t ChannelByte(float f) {
  return static_cast<uint8_t>(std::clamp(static_cast<int>(255 * f + 0.5f), 0, 255));
}
