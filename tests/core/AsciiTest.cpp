// ASCII case folding against the C library in its "C" locale, for every
// byte value.
#include "core/Ascii.h"

#include <gtest/gtest.h>

#include <cctype>

TEST(Ascii, FoldsLikeTheCLocale) {
  for (int v = 0; v < 256; ++v) {
    const char c = static_cast<char>(v);
    EXPECT_EQ(static_cast<unsigned char>(asciiLower(c)), std::tolower(v)) << v;
    EXPECT_EQ(static_cast<unsigned char>(asciiUpper(c)), std::toupper(v)) << v;
  }
  EXPECT_EQ(toLowerAscii("PRG.Koa\xC4"), "prg.koa\xC4");
  EXPECT_EQ(toUpperAscii("lda #$0f"), "LDA #$0F");
}
