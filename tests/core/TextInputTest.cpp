// Text codes: typed characters to screen codes and back, and PETSCII.
#include "core/TextInput.h"

#include <gtest/gtest.h>

TEST(TextInput, CharToScreenCode) {
  struct Case {
    uint32_t cp;
    int code;
  };
  const Case cases[] = {
      {' ', 32},    {'0', 48},    {'?', 63},    {'@', 0},     {'A', 65},    {'Z', 90},     {'a', 1},
      {'z', 26},    {'[', 27},    {']', 29},    {'^', 30},    {'_', 31},    {0x00A3, 28},  {0x2191, 30},
      {0x2190, 31}, {'\\', -1},   {'`', -1},    {'{', -1},    {'~', -1},    {127, -1},     {0, -1},
      {'\n', -1},   {31, -1},     {0xE9, -1},   {0x2192, -1}, {0x1F600, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(CharToScreenCode(c.cp), c.code) << c.cp;
}

TEST(TextInput, ScreenCodeToChar) {
  EXPECT_EQ(ScreenCodeToChar(0), uint32_t('@'));
  EXPECT_EQ(ScreenCodeToChar(1), uint32_t('a'));
  EXPECT_EQ(ScreenCodeToChar(26), uint32_t('z'));
  EXPECT_EQ(ScreenCodeToChar(27), uint32_t('['));
  EXPECT_EQ(ScreenCodeToChar(28), 0x00A3u);
  EXPECT_EQ(ScreenCodeToChar(29), uint32_t(']'));
  EXPECT_EQ(ScreenCodeToChar(30), 0x2191u);
  EXPECT_EQ(ScreenCodeToChar(31), 0x2190u);
  EXPECT_EQ(ScreenCodeToChar(32), uint32_t(' '));
  EXPECT_EQ(ScreenCodeToChar(63), uint32_t('?'));
  EXPECT_EQ(ScreenCodeToChar(64), uint32_t('.'));
  EXPECT_EQ(ScreenCodeToChar(65), uint32_t('A'));
  EXPECT_EQ(ScreenCodeToChar(90), uint32_t('Z'));
  EXPECT_EQ(ScreenCodeToChar(91), uint32_t('.'));
  EXPECT_EQ(ScreenCodeToChar(127), uint32_t('.'));
  EXPECT_EQ(ScreenCodeToChar(129), uint32_t('a'));  // reversed "a"
  // Every typeable screen code survives the round trip.
  for (int code = 0; code < 128; ++code) {
    const uint32_t cp = ScreenCodeToChar(code);
    if (cp != '.' || code == 46) {
      EXPECT_EQ(CharToScreenCode(cp), code) << code;
    }
  }
}

TEST(TextInput, PetsciiToScreenCode) {
  const int cases[][2] = {{0, 128},   {31, 159},  {32, 32},   {63, 63},  {64, 0},    {95, 31},
                          {96, 64},   {127, 95},  {128, 192}, {159, 223}, {160, 96}, {191, 127},
                          {192, 64},  {254, 126}, {255, 94},  {256 + 65, 1}, {-191, 1}};
  for (const auto& c : cases) EXPECT_EQ(PetsciiToScreenCode(c[0]), c[1]) << c[0];
}

TEST(TextInput, ScreenCodeToPetscii) {
  const int cases[][2] = {{0, 64},   {1, 65},   {31, 95},  {32, 32},  {63, 63}, {64, 192},
                          {95, 223}, {96, 160}, {127, 191}, {129, 65}, {255, 191}};
  for (const auto& c : cases) EXPECT_EQ(ScreenCodeToPetscii(c[0]), c[1]) << c[0];
  // Printable PETSCII letters and digits go there and back.
  for (int p = 32; p < 96; ++p) EXPECT_EQ(ScreenCodeToPetscii(PetsciiToScreenCode(p)), p) << p;
}
