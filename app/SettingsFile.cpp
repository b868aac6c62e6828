// Reading and writing the lines of the settings file.
#include "app/SettingsFile.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

const char* const kWindowSettingKeys[kPersistentWindowCount] = {
    "win.secondView", "win.sprites",   "win.spriteEditor", "win.registers", "win.monitor", "win.charset",
    "win.charEditor", "win.processor", "win.assembler",    "win.bitmapMem", "win.calc",    "win.mountDisk",
};

namespace {

const std::string kCustomPrefix = "Custom_";
constexpr char kChannels[] = {'R', 'G', 'B'};

// Decimal integer with leading blanks and a sign; stops at the first other
// character; no digits give 0.
int parseInt(const std::string& s) {
  long long v = std::strtoll(s.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

void addLine(std::string& out, const char* key, const std::string& value) {
  out += key;
  out += '=';
  out += value;
  out += '\n';
}

}  // namespace

void readSettings(const std::string& text, SettingsValues& v) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    const int iv = parseInt(value);
    if (key == "ShowGrid") v.showGrid = iv != 0;
    else if (key == "GridColor") v.gridColor = iv;
    else if (key == "ShowActiveChar") v.showActiveChar = iv != 0;
    else if (key == "DontReplaceColors") v.dontReplaceColors = iv != 0;
    else if (key == "Palette") v.paletteIndex = iv;
    else if (key == "Zoom") v.zoomSetting = iv;
    else if (key == "UiScale") v.uiScale = static_cast<float>(std::strtod(value.c_str(), nullptr));
    else if (key.compare(0, kCustomPrefix.size(), kCustomPrefix) == 0) {
      const int color = parseInt(key.substr(kCustomPrefix.size()));
      const char last = key.back();
      const int channel = last == 'R' ? 0 : last == 'G' ? 1 : 2;
      if (color >= 0 && color < kPaletteColors) v.custom[color][channel] = static_cast<uint8_t>(iv);
    } else {
      for (int w = 0; w < kPersistentWindowCount; ++w)
        if (key == kWindowSettingKeys[w]) v.windows[w] = iv != 0;
    }
  }
  v.gridColor &= 15;
  // The preset in force is the one written back: an unknown one shows
  // preset 0, so the file says 0 too.
  if (v.paletteIndex < 0 || v.paletteIndex >= kPresetCount) v.paletteIndex = 0;
  if (!(v.uiScale >= kUiScaleMin && v.uiScale <= kUiScaleMax)) v.uiScale = kDefaultUiScale;
  v.zoom = (v.zoomSetting >= kZoomMin && v.zoomSetting <= kZoomMax) ? v.zoomSetting : kDefaultZoom;
}

std::string writeSettings(const SettingsValues& v) {
  std::string out;
  char buf[32];
  addLine(out, "ShowGrid", v.showGrid ? "1" : "0");
  addLine(out, "GridColor", std::to_string(v.gridColor));
  addLine(out, "ShowActiveChar", v.showActiveChar ? "1" : "0");
  addLine(out, "DontReplaceColors", v.dontReplaceColors ? "1" : "0");
  addLine(out, "Palette", std::to_string(v.paletteIndex));
  addLine(out, "Zoom", std::to_string(v.zoom));
  std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v.uiScale));
  addLine(out, "UiScale", buf);
  for (int i = 0; i < kPaletteColors; ++i) {
    for (int c = 0; c < 3; ++c) {
      std::snprintf(buf, sizeof buf, "Custom_%d_%c", i, kChannels[c]);
      addLine(out, buf, std::to_string(v.custom[i][c]));
    }
  }
  for (int w = 0; w < kPersistentWindowCount; ++w) addLine(out, kWindowSettingKeys[w], v.windows[w] ? "1" : "0");
  return out;
}
