// The settings file: whatever text is read, the values afterwards are in
// range, and the text written from them reads back to the same text.
#include "app/SettingsFile.h"
#include "tests/fuzz/FuzzUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SettingsValues v;
  readSettings(std::string(reinterpret_cast<const char*>(data), size), v);
  fuzz::check(v.gridColor >= 0 && v.gridColor <= 15, "grid colour in range");
  fuzz::check(v.paletteIndex >= 0 && v.paletteIndex < kPresetCount, "palette preset in range");
  fuzz::check(v.zoom >= kZoomMin && v.zoom <= kZoomMax, "zoom in range");
  fuzz::check(v.uiScale >= kUiScaleMin && v.uiScale <= kUiScaleMax, "UI scale in range");
  const std::string written = writeSettings(v);
  SettingsValues again;
  readSettings(written, again);
  fuzz::check(writeSettings(again) == written, "the settings written read back");
  return 0;
}
