// Text-code conversions between typed characters, screen codes and PETSCII.
#include "core/TextInput.h"

namespace {

constexpr uint32_t kPoundSign = 0x00A3;
constexpr uint32_t kUpArrow = 0x2191;
constexpr uint32_t kLeftArrow = 0x2190;
constexpr uint32_t kDot = '.';

// Code points of screen codes 27-31, the punctuation the C64 places after
// the letters: [ pound ] up-arrow left-arrow.
constexpr uint32_t kScreenPunct[5] = {'[', kPoundSign, ']', kUpArrow, kLeftArrow};

}  // namespace

int CharToScreenCode(uint32_t cp) {
  if (cp >= 32 && cp <= 63) return static_cast<int>(cp);
  if (cp == '@') return 0;
  if (cp >= 'A' && cp <= 'Z') return static_cast<int>(cp);
  if (cp >= 'a' && cp <= 'z') return static_cast<int>(cp - 'a' + 1);
  // '^' and '_' stand for the arrows, which have no key of their own.
  switch (cp) {
    case '[': return 27;
    case ']': return 29;
    case '^': return 30;
    case '_': return 31;
    case kPoundSign: return 28;
    case kUpArrow: return 30;
    case kLeftArrow: return 31;
    default: return -1;
  }
}

uint32_t ScreenCodeToChar(int code) {
  const int c = code & 127;
  if (c == 0) return '@';
  if (c >= 1 && c <= 26) return static_cast<uint32_t>('a' + c - 1);
  if (c >= 27 && c <= 31) return kScreenPunct[c - 27];
  if ((c >= 32 && c <= 63) || (c >= 65 && c <= 90)) return static_cast<uint32_t>(c);
  return kDot;
}

uint8_t PetsciiToScreenCode(int p) {
  const int c = p & 255;
  int s;
  if (c < 32) s = c + 128;
  else if (c < 64) s = c;
  else if (c < 96) s = c - 64;
  else if (c < 128) s = c - 32;
  else if (c < 160) s = c + 64;
  else if (c < 192) s = c - 64;
  else if (c < 255) s = c - 128;
  else s = 94;  // pi
  return static_cast<uint8_t>(s);
}

uint8_t ScreenCodeToPetscii(int s) {
  const int c = s & 127;
  int p;
  if (c < 32) p = c + 64;
  else if (c < 64) p = c;
  else if (c < 96) p = c + 128;
  else p = c + 64;
  return static_cast<uint8_t>(p);
}
