// Palette presets and the nearest-colour lookup. The fixed presets are
// written as 16 RRGGBB values per row, in colour-number order, and turned
// into red, green, blue bytes at compile time.
#include "core/Palette.h"

#include <initializer_list>

namespace {

constexpr int kTableBytes = kPaletteColors * 3;
using ColorTable = std::array<uint8_t, kTableBytes>;

// 16 RRGGBB words to 48 bytes red, green, blue.
constexpr ColorTable rgbTable(std::initializer_list<uint32_t> words) {
  ColorTable t{};
  int i = 0;
  for (uint32_t w : words) {
    t[i * 3 + 0] = static_cast<uint8_t>(w >> 16);
    t[i * 3 + 1] = static_cast<uint8_t>(w >> 8);
    t[i * 3 + 2] = static_cast<uint8_t>(w);
    ++i;
  }
  return t;
}

// clang-format off
constexpr ColorTable colors_tilvox  = rgbTable({0x000000, 0xFFFFFF, 0x894036, 0x7ABFC7, 0x8A46AE, 0x68A941, 0x3E31A2, 0xD0DC71, 0x905F25, 0x5C4700, 0xBB776D, 0x555555, 0x808080, 0xACEA88, 0x7C70DA, 0xABABAB});
constexpr ColorTable colors_median  = rgbTable({0x000000, 0xFFFFFF, 0xA82124, 0x70E6EE, 0xB43DB5, 0x21B540, 0x2121AA, 0xEEF66F, 0xB55F25, 0x6A4200, 0xFE736D, 0x444544, 0x808080, 0x91FE84, 0x6C70FE, 0xABABAB});
constexpr ColorTable colors_average = rgbTable({0x050505, 0xFEFEFE, 0xA82124, 0x5FDBDF, 0xAF2EBD, 0x2DB62E, 0x211CA5, 0xE4EB61, 0xB06921, 0x6F440C, 0xDF716E, 0x4D4D4C, 0x7D7D7D, 0x89F279, 0x6771EA, 0xAEAEAE});
constexpr ColorTable colors_olk     = rgbTable({0x000000, 0xFFFFFF, 0x68372B, 0x70A4B2, 0x6F3D86, 0x588D43, 0x352879, 0xB8C76F, 0x6F4F25, 0x6F420C, 0x9A6759, 0x4D4D4C, 0x6C6C6C, 0x9AD284, 0x6C5EB5, 0xAEAEAE});
constexpr ColorTable colors_c64s    = rgbTable({0x000000, 0xFCFCFC, 0xA80000, 0x54FCFC, 0xA800A8, 0x00A800, 0x0000A8, 0xFCFC00, 0xA85400, 0x802C00, 0xFC5454, 0x545454, 0x808080, 0x54FC54, 0x5454FC, 0xA8A8A8});
constexpr ColorTable colors_ccs64   = rgbTable({0x101010, 0xFFFFFF, 0xE04040, 0x60FFFF, 0xE060E0, 0x40E040, 0x4040E0, 0xFFFFE0, 0xE0A040, 0x9C7448, 0xFFA0A0, 0x545454, 0x888888, 0xA0FFA0, 0xA0A0FF, 0xC0C0C0});
constexpr ColorTable colors_frodo   = rgbTable({0x000000, 0xFFFFFF, 0xCC0000, 0x00FFCC, 0xFF00FF, 0x00CC00, 0x0000CC, 0xFFFF00, 0xFF8800, 0x884400, 0xFF8888, 0x444444, 0x888888, 0x88FF88, 0x8888FF, 0xCCCCCC});
constexpr ColorTable colors_godot   = rgbTable({0x000000, 0xFFFFFF, 0x880000, 0xAAFFEE, 0xCC44CC, 0x00CC55, 0x0000AA, 0xEEEE77, 0xDD8855, 0x664400, 0xFE7777, 0x333333, 0x777777, 0xAAFF66, 0x0088FF, 0xBBBBBB});
constexpr ColorTable colors_pc64    = rgbTable({0x212121, 0xFFFFFF, 0xB52121, 0x73FFFF, 0xB521B5, 0x21B521, 0x2121B5, 0xFFFF21, 0xB57321, 0x944221, 0xFF7373, 0x737373, 0x949494, 0x73FF73, 0x7373FF, 0xB5B5B5});
constexpr ColorTable colors_default = rgbTable({0x000000, 0xFDFEFC, 0xBE1A24, 0x30E6C6, 0xB41AE2, 0x1FD21E, 0x211BAE, 0xDFF60A, 0xB84104, 0x6A3304, 0xFE4A57, 0x424540, 0x70746F, 0x59FE59, 0x5F53FE, 0xA4A7A2});
// clang-format on

// The "Custom" preset starts as a copy of preset 0.
constexpr ColorTable colors_custom_default = colors_tilvox;

// Indexed by preset number.
constexpr const char* names[kPresetCount] = {
    "Tilvox", "Median", "Average", "Olk", "C64S", "CCS64",
    "Frodo", "Godot", "PC64", "Default VICE", "Custom",
};

constexpr const ColorTable* tables[kFixedPresetCount] = {
    &colors_tilvox, &colors_median, &colors_average, &colors_olk,   &colors_c64s,
    &colors_ccs64,  &colors_frodo,  &colors_godot,   &colors_pc64,  &colors_default,
};

void copyTable(PaletteColors& dst, const ColorTable& src) {
  for (int n = 0; n < kPaletteColors; ++n)
    for (int c = 0; c < 3; ++c) dst[n][c] = src[n * 3 + c];
}

}  // namespace

Palette::Palette() {
  copyTable(rgb, colors_tilvox);
  copyTable(custom, colors_custom_default);
}

void Palette::set(int i) {
  if (i < 0 || i >= kPresetCount) i = 0;
  index = i;
  if (i == kCustomPreset)
    rgb = custom;
  else
    copyTable(rgb, *tables[i]);
}

const char* Palette::name(int i) {
  if (i < 0 || i >= kPresetCount) return "";
  return names[i];
}

int Palette::closest(int r, int g, int b) const {
  // Squares in 64 bits without sign: exact for any int input, so values
  // pushed outside 0-255 by dithering still find their nearest colour.
  auto sq = [](int a, int c) {
    long long d = static_cast<long long>(a) - c;
    return static_cast<unsigned long long>(d * d);
  };
  int best = 0;
  unsigned long long bestDist = 0;
  for (int n = 0; n < kPaletteColors; ++n) {
    unsigned long long d = sq(r, rgb[n][0]) + sq(g, rgb[n][1]) + sq(b, rgb[n][2]);
    // Strictly less: the lower colour number keeps a tie.
    if (n == 0 || d < bestDist) {
      bestDist = d;
      best = n;
    }
  }
  return best;
}
