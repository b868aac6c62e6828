// Palette presets: exact names and colours, preset selection, the custom
// set and the nearest-colour lookup.
#include "core/Palette.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

namespace {

// The presets as users know them, colours 0-15 as RRGGBB text.
struct PresetRow {
  const char* name;
  const char* colors;
};
const PresetRow kPresets[kFixedPresetCount] = {
    {"Tilvox", "000000 FFFFFF 894036 7ABFC7 8A46AE 68A941 3E31A2 D0DC71 905F25 5C4700 BB776D 555555 808080 ACEA88 7C70DA ABABAB"},
    {"Median", "000000 FFFFFF A82124 70E6EE B43DB5 21B540 2121AA EEF66F B55F25 6A4200 FE736D 444544 808080 91FE84 6C70FE ABABAB"},
    {"Average", "050505 FEFEFE A82124 5FDBDF AF2EBD 2DB62E 211CA5 E4EB61 B06921 6F440C DF716E 4D4D4C 7D7D7D 89F279 6771EA AEAEAE"},
    {"Olk", "000000 FFFFFF 68372B 70A4B2 6F3D86 588D43 352879 B8C76F 6F4F25 6F420C 9A6759 4D4D4C 6C6C6C 9AD284 6C5EB5 AEAEAE"},
    {"C64S", "000000 FCFCFC A80000 54FCFC A800A8 00A800 0000A8 FCFC00 A85400 802C00 FC5454 545454 808080 54FC54 5454FC A8A8A8"},
    {"CCS64", "101010 FFFFFF E04040 60FFFF E060E0 40E040 4040E0 FFFFE0 E0A040 9C7448 FFA0A0 545454 888888 A0FFA0 A0A0FF C0C0C0"},
    {"Frodo", "000000 FFFFFF CC0000 00FFCC FF00FF 00CC00 0000CC FFFF00 FF8800 884400 FF8888 444444 888888 88FF88 8888FF CCCCCC"},
    {"Godot", "000000 FFFFFF 880000 AAFFEE CC44CC 00CC55 0000AA EEEE77 DD8855 664400 FE7777 333333 777777 AAFF66 0088FF BBBBBB"},
    {"PC64", "212121 FFFFFF B52121 73FFFF B521B5 21B521 2121B5 FFFF21 B57321 944221 FF7373 737373 949494 73FF73 7373FF B5B5B5"},
    {"Default VICE", "000000 FDFEFC BE1A24 30E6C6 B41AE2 1FD21E 211BAE DFF60A B84104 6A3304 FE4A57 424540 70746F 59FE59 5F53FE A4A7A2"},
};

std::string hexColors(const PaletteColors& c) {
  std::string s;
  char buf[8];
  for (int n = 0; n < kPaletteColors; ++n) {
    std::snprintf(buf, sizeof buf, "%02X%02X%02X", c[n][0], c[n][1], c[n][2]);
    if (n) s += ' ';
    s += buf;
  }
  return s;
}

}  // namespace

TEST(Palette, ConstructionIsPresetZeroWithCustomEqualToIt) {
  Palette p;
  EXPECT_EQ(p.index, 0);
  EXPECT_EQ(hexColors(p.rgb), kPresets[0].colors);
  EXPECT_EQ(hexColors(p.custom), kPresets[0].colors);
}

TEST(Palette, EveryPresetHasItsNameAndColours) {
  Palette p;
  for (int i = 0; i < kFixedPresetCount; ++i) {
    p.set(i);
    EXPECT_EQ(p.index, i);
    EXPECT_STREQ(Palette::name(i), kPresets[i].name);
    EXPECT_EQ(hexColors(p.rgb), kPresets[i].colors) << kPresets[i].name;
  }
  EXPECT_STREQ(Palette::name(10), "Custom");
  EXPECT_STREQ(Palette::name(9), "Default VICE");
  EXPECT_STREQ(Palette::name(11), "");
  EXPECT_STREQ(Palette::name(-1), "");
  EXPECT_STREQ(Palette::name(INT_MIN), "");
}

TEST(Palette, OutOfRangeSelectsPresetZero) {
  for (int bad : {11, -1, 1000, INT_MIN}) {
    Palette p;
    p.set(4);
    p.set(bad);
    EXPECT_EQ(p.index, 0) << bad;
    EXPECT_EQ(hexColors(p.rgb), kPresets[0].colors) << bad;
  }
}

TEST(Palette, CustomColoursShowOnlyWhenSelectedAgain) {
  Palette p;
  p.custom[2] = {1, 2, 3};
  EXPECT_EQ(p.rgb[2][0], 0x89);  // not yet
  p.set(kCustomPreset);
  EXPECT_EQ(p.index, 10);
  EXPECT_EQ(p.rgb[2][0], 1);
  EXPECT_EQ(p.rgb[2][1], 2);
  EXPECT_EQ(p.rgb[2][2], 3);
  p.custom[2] = {9, 9, 9};
  EXPECT_EQ(p.rgb[2][0], 1);  // a later change waits for set(10)
  p.set(kCustomPreset);
  EXPECT_EQ(p.rgb[2][0], 9);
  p.set(0);
  EXPECT_EQ(p.custom[2][0], 9);  // other presets leave the custom set alone
}

TEST(Palette, ClosestPicksLeastSquaredDistanceLowerNumberOnTie) {
  Palette p;
  EXPECT_EQ(p.closest(255, 255, 255), 1);
  EXPECT_EQ(p.closest(0, 0, 0), 0);
  EXPECT_EQ(p.closest(0x7C, 0x70, 0xDA), 14);
  EXPECT_EQ(p.closest(0x80, 0x80, 0x81), 12);
  // Between grey 11 ($55) and grey 12 ($80): $6A is 21 from 11 and 22 from 12.
  EXPECT_EQ(p.closest(0x6A, 0x6A, 0x6A), 11);
  EXPECT_EQ(p.closest(0x6B, 0x6B, 0x6B), 12);
  // Values beyond 0-255 (dithering overshoot) still find the nearest colour.
  EXPECT_EQ(p.closest(INT_MAX, INT_MAX, INT_MAX), 1);
  EXPECT_EQ(p.closest(INT_MIN, INT_MIN, INT_MIN), 0);
  EXPECT_EQ(p.closest(-40, -40, -40), 0);

  // Equal colours and equal distances: the lower number wins.
  p.custom[3] = {10, 20, 30};
  p.custom[9] = {10, 20, 30};
  p.custom[0] = {200, 200, 200};
  p.set(kCustomPreset);
  EXPECT_EQ(p.closest(10, 20, 30), 3);
  p.custom[9] = {0, 0, 0};
  p.custom[3] = {10, 20, 28};
  p.custom[4] = {10, 20, 32};
  p.set(kCustomPreset);
  EXPECT_EQ(p.closest(10, 20, 30), 3);  // 3 and 4 both at distance 4
}
