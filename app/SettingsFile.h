// The settings file "tilvox.ini" without the application around it: the
// values it keeps, the reading of a text into them (later lines win,
// out-of-range values mended so the file written back holds the values in
// force) and the text written. App copies its members in and out; this
// half stays free of any window so it is tested and fuzzed headless.
#pragma once

#include "core/Palette.h"

#include <array>
#include <string>

constexpr int kZoomMin = 1;
constexpr int kZoomMax = 24;
constexpr int kDefaultZoom = 2;
constexpr float kUiScaleMin = 0.5f;
constexpr float kUiScaleMax = 3.0f;
constexpr float kDefaultUiScale = 1.0f;
constexpr int kPersistentWindowCount = 12;

// The keys of the windows whose open state persists, in the file's order.
extern const char* const kWindowSettingKeys[kPersistentWindowCount];

struct SettingsValues {
  bool showGrid = false;
  int gridColor = 0;
  bool showActiveChar = true;
  bool dontReplaceColors = false;
  int paletteIndex = 0;
  int zoomSetting = kDefaultZoom;  // as read
  int zoom = kDefaultZoom;         // in force; the file holds this one
  float uiScale = kDefaultUiScale;
  PaletteColors custom{};
  std::array<bool, kPersistentWindowCount> windows{};
};

// Reads the lines of `text` over `v` (keys not in the text keep their
// values), then mends: grid colour masked to 0-15, a palette preset outside
// 0-10 to 0, a UI scale outside 0.5-3.0 to 1.0, a zoom outside 1-24 to 2.
void readSettings(const std::string& text, SettingsValues& v);
std::string writeSettings(const SettingsValues& v);
