// Glyph loading: 24-bit BMP files whose bottom-left pixel gives the colour
// that stands for "transparent".
#include "app/Icons.h"

#include "app/App.h"
#include "app/Theme.h"
#include "platform/Platform.h"

#include <stb_image.h>

#include <cstring>

const char* const iconFiles[kIconCount] = {
    "BtnCharset.bmp",     // 0
    "BtnEditCharset.bmp", // 1
    "SpeedButton1.bmp",   // 2
    "SpeedButton2.bmp",   // 3
    "DrawDotTool.bmp",    // 4
    "DrawTool.bmp",       // 5
    "BtnEditSprites.bmp", // 6
    "FloodFillTool.bmp",  // 7
    "BtnHelp.bmp",        // 8
    "LineTool.bmp",       // 9
    "BtnMonitor.bmp",     // 10
    "BtnSecondView.bmp",  // 11
    "BtnSprites.bmp",     // 12
    "TextTool.bmp",       // 13
    "Select.bmp",         // 14
    "Move.bmp",           // 15
    "brush1.bmp",         // 16
    "brush2.bmp",         // 17
    "brush3.bmp",         // 18
    "Brush4.bmp",         // 19
};

void ApplyKeyColor(std::vector<uint32_t>& pixels, int width, int height) {
  if (width <= 0 || height <= 0 || pixels.size() < static_cast<size_t>(width) * height) return;
  const uint32_t key = pixels[static_cast<size_t>(height - 1) * width];
  for (uint32_t& p : pixels)
    if (p == key) p = 0;
}

void LoadIcons(App& app) {
  if (app.iconsLoaded) return;
  app.iconsLoaded = true;
  for (int i = 0; i < kIconCount; ++i) {
    std::vector<uint8_t> bytes;
    const std::string path = Platform::assetDir() + "/glyphs/" + iconFiles[i];
    if (!Platform::readFile(path, bytes) || bytes.empty()) continue;
    int w = 0, h = 0, n = 0;
    stbi_uc* data = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &n, 4);
    if (!data) continue;
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    std::memcpy(pixels.data(), data, pixels.size() * 4);
    stbi_image_free(data);
    ApplyKeyColor(pixels, w, h);
    app.icons[i].update(pixels, w, h);
  }
}

bool IconButton(App& app, const char* id, int icon, const char* label, bool down, const char* tooltip,
                float width, float height) {
  const float s = Classic::Scale();
  // Below 100 per cent nearest filtering would drop some of the glyphs'
  // one-pixel lines; from 100 per cent up every pixel stays sharp.
  if (icon >= 0 && icon < kIconCount) app.icons[icon].setSmooth(s < 1);
  const Texture* tex = (icon >= 0 && icon < kIconCount && app.icons[icon].id != 0) ? &app.icons[icon] : nullptr;
  return Classic::SpeedButton(id, tex, label, down, ImVec2(width * s, height * s), tooltip);
}
