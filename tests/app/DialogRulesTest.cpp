// The help text's lines and their kinds, and the colour editors' channels
// in the preferences.
#include "app/DialogRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(DialogRules, HelpTextSplitsAtLineFeeds) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"", {"Help text not found."}},      {"a\nb", {"a", "b"}},  // a last line without a line feed counts
      {"a\nb\n", {"a", "b"}},             // none follows a final line feed
      {"a\r\nb\r\n", {"a\r", "b\r"}},     // carriage returns stay
      {"\n", {""}},                        {"a\n\n\nb", {"a", "", "", "b"}},
  };
  for (const auto& [text, lines] : cases) EXPECT_EQ(SplitHelpLines(bytes(text)), lines) << text;
}

TEST(DialogRules, HelpLineKinds) {
  const struct {
    const char* line;
    HelpLine::Kind kind;
    const char* text;
  } cases[] = {
      {"## Keys", HelpLine::Kind::Heading, "Keys"},
      {"### Mouse", HelpLine::Kind::SubHeading, "Mouse"},
      {"plain", HelpLine::Kind::Plain, "plain"},
      {"##Keys", HelpLine::Kind::Plain, "##Keys"},  // the marker needs its blank
      {"#### Deep", HelpLine::Kind::Plain, "#### Deep"},
      {"  ## indented", HelpLine::Kind::Plain, "  ## indented"},
      {"## ", HelpLine::Kind::Heading, ""},
  };
  for (const auto& c : cases) {
    const HelpLine h = ClassifyHelpLine(c.line);
    EXPECT_EQ(std::make_pair(h.kind, h.text), std::make_pair(c.kind, std::string(c.text))) << c.line;
  }
}

TEST(DialogRules, ColourChannelsRoundToBytes) {
  const std::pair<float, int> cases[] = {{0.0f, 0}, {1.0f, 255}, {0.5f, 128}, {100 / 255.0f, 100},
                                         {-0.1f, 0}, {1.2f, 255}};
  for (const auto& [f, want] : cases) EXPECT_EQ(ChannelByte(f), want) << f;
  // Every byte survives the trip through the colour editor's float.
  for (int b = 0; b < 256; ++b) EXPECT_EQ(ChannelByte(b / 255.0f), b);
}

}  // namespace
