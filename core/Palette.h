// The 16 C64 colour numbers as RGB. Eleven presets: ten fixed palettes and
// the user-defined "Custom" one. The application holds one Palette; every
// renderer and colour swatch reads Palette::rgb, the picture import matches
// against it.
#pragma once

#include <array>
#include <cstdint>

constexpr int kPaletteColors = 16;
constexpr int kPresetCount = 11;       // presets 0-10
constexpr int kFixedPresetCount = 10;  // presets 0-9 come from fixed tables
constexpr int kCustomPreset = 10;      // preset 10 is Palette::custom

// One colour per C64 colour number: red, green, blue.
using PaletteColors = std::array<std::array<uint8_t, 3>, kPaletteColors>;

class Palette {
public:
  PaletteColors rgb{};     // current colours
  PaletteColors custom{};  // the colours of the "Custom" preset
  int32_t index = 0;       // the preset last selected

  Palette();

  // Selects preset i; any value outside 0-10 selects preset 0. Later
  // changes to `custom` show only after set(10) runs again.
  void set(int i);

  // The preset's name; "" outside 0-10.
  static const char* name(int i);

  // The colour number 0-15 nearest to (r, g, b) by squared distance; on a
  // tie the lower number wins.
  int closest(int r, int g, int b) const;
};
