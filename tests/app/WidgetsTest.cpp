// Shared controls and the classic look: screen-code names, hex entry
// parsing, image fitting, glyph transparency and the style colours.
#include "app/Icons.h"
#include "app/Theme.h"
#include "app/Widgets.h"

#include "tests/app/ImGuiFrames.h"

#include <gtest/gtest.h>

#include <stb_image.h>

#include <fstream>
#include <iterator>
#include <vector>

TEST(WidgetsTest, CharDescriptionNamesScreenCodes) {
  EXPECT_EQ(Widgets::CharDescription(0), "@");
  EXPECT_EQ(Widgets::CharDescription(1), "a");
  EXPECT_EQ(Widgets::CharDescription(26), "z");
  EXPECT_EQ(Widgets::CharDescription(129), "rev. a");
  EXPECT_EQ(Widgets::CharDescription(160), "rev. space");
  EXPECT_EQ(Widgets::CharDescription(28), "\xC2\xA3");
  EXPECT_EQ(Widgets::CharDescription(27), "[");
  EXPECT_EQ(Widgets::CharDescription(29), "]");
  EXPECT_EQ(Widgets::CharDescription(30), "up arrow");
  EXPECT_EQ(Widgets::CharDescription(159), "rev. left arrow");
  EXPECT_EQ(Widgets::CharDescription(33), "!");
  EXPECT_EQ(Widgets::CharDescription(47), "/");
  EXPECT_EQ(Widgets::CharDescription(48), "0");
  EXPECT_EQ(Widgets::CharDescription(58), ":");
  EXPECT_EQ(Widgets::CharDescription(63), "?");
  EXPECT_EQ(Widgets::CharDescription(65), "A");
  EXPECT_EQ(Widgets::CharDescription(90 + 128), "rev. Z");
  EXPECT_EQ(Widgets::CharDescription(64), "");
  EXPECT_EQ(Widgets::CharDescription(100), "");
  EXPECT_EQ(Widgets::CharDescription(91 + 128), "");
  EXPECT_EQ(Widgets::CharDescription(255), "");
}

TEST(WidgetsTest, HexTextIsMaskedToTheFieldWidth) {
  EXPECT_EQ(Widgets::ParseHexMasked("1FF", 0xFF), 0xFF);
  EXPECT_EQ(Widgets::ParseHexMasked("", 0xFF), 0);
  EXPECT_EQ(Widgets::ParseHexMasked("3c", 0xFF), 0x3C);
  EXPECT_EQ(Widgets::ParseHexMasked("12345", 0xFFFF), 0x2345);
  EXPECT_EQ(Widgets::ParseHexMasked("D020", 0xFFFF), 0xD020);
}

TEST(WidgetsTest, FitRectCentresAndScales) {
  ImVec2 tl, br;
  int scale = 0;
  // 384x264 into 1000x600: scale 600/264 = 2.27.
  Widgets::FitRect(384, 264, ImVec2(1000, 600), ImVec2(10, 20), false, tl, br, scale);
  EXPECT_EQ(scale, 2);
  const float s = 600.0f / 264;
  EXPECT_FLOAT_EQ(tl.x, 10 + (1000 - 384 * s) / 2);
  EXPECT_FLOAT_EQ(tl.y, 20);
  EXPECT_FLOAT_EQ(br.y, 20 + 264 * s);
  Widgets::FitRect(384, 264, ImVec2(1000, 600), ImVec2(10, 20), true, tl, br, scale);
  EXPECT_EQ(scale, 2);
  EXPECT_FLOAT_EQ(tl.x, 10 + (1000 - 768) / 2.0f);
  EXPECT_FLOAT_EQ(tl.y, 20 + (600 - 528) / 2.0f);
  EXPECT_FLOAT_EQ(br.x, tl.x + 768);
  // Smaller than the texture with whole scales: scale 1 at the cursor.
  Widgets::FitRect(384, 264, ImVec2(100, 100), ImVec2(5, 6), true, tl, br, scale);
  EXPECT_EQ(scale, 1);
  EXPECT_FLOAT_EQ(tl.x, 5);
  EXPECT_FLOAT_EQ(tl.y, 6);
  EXPECT_FLOAT_EQ(br.x, 5 + 384);
}

TEST(IconsTest, KeyColourBecomesTransparent) {
  // 3x2 picture; bottom-left is black, so every black pixel goes.
  std::vector<uint32_t> px = {0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFF000000, 0xFF0000FF, 0x00000000};
  ApplyKeyColor(px, 3, 2);
  EXPECT_EQ(px, (std::vector<uint32_t>{0, 0xFFFFFFFF, 0, 0, 0xFF0000FF, 0}));
  // Equality is over all four bytes: another alpha stays.
  std::vector<uint32_t> px2 = {0xFF000000, 0x7F000000};
  ApplyKeyColor(px2, 2, 1);
  EXPECT_EQ(px2, (std::vector<uint32_t>{0, 0x7F000000}));
}

TEST(IconsTest, EveryGlyphIsASmallBmpWithAKeyedCorner) {
  for (const char* name : iconFiles) {
    const std::string path = std::string(TILVOX_TEST_ASSET_DIR) + "/glyphs/" + name;
    std::ifstream f(path, std::ios::binary);
    ASSERT_TRUE(f) << path;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(bytes[28], 24) << name;  // bits per pixel
    int w = 0, h = 0, n = 0;
    stbi_uc* px = stbi_load_from_memory(bytes.data(), (int)bytes.size(), &w, &h, &n, 4);
    ASSERT_NE(px, nullptr) << name;
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 16);
    std::vector<uint32_t> pixels(reinterpret_cast<uint32_t*>(px), reinterpret_cast<uint32_t*>(px) + w * h);
    stbi_image_free(px);
    const uint32_t key = pixels[(h - 1) * w];
    ApplyKeyColor(pixels, w, h);
    size_t opaque = 0;
    for (uint32_t p : pixels) opaque += p != 0;
    EXPECT_GT(opaque, 0u) << name;           // something is drawn
    EXPECT_LT(opaque, pixels.size()) << name; // and something is see-through
    EXPECT_EQ(key, 0xFFFF00FFu) << name;     // magenta key
  }
}

TEST(ThemeTest, ClassicLookSetsItsMetricsAndColoursOnly) {
  ImGuiFrames ui;
  const ImVec4 untouched = ImGui::GetStyle().Colors[ImGuiCol_PlotHistogram];
  const float alpha = ImGui::GetStyle().Alpha;
  Classic::ApplyStyle();
  const ImGuiStyle& s = ImGui::GetStyle();
  EXPECT_EQ(s.WindowRounding, 0);
  EXPECT_EQ(s.FramePadding.x, 4);
  EXPECT_EQ(s.FramePadding.y, 3);
  EXPECT_EQ(s.ItemSpacing.x, 6);
  EXPECT_EQ(s.ScrollbarSize, 16);
  EXPECT_EQ(s.WindowTitleAlign.y, 0.5f);
  EXPECT_EQ(s.Alpha, alpha);
  auto expectRgb = [&](ImGuiCol c, int r, int g, int b, float a) {
    EXPECT_FLOAT_EQ(s.Colors[c].x, r / 255.0f) << c;
    EXPECT_FLOAT_EQ(s.Colors[c].y, g / 255.0f) << c;
    EXPECT_FLOAT_EQ(s.Colors[c].z, b / 255.0f) << c;
    EXPECT_FLOAT_EQ(s.Colors[c].w, a) << c;
  };
  expectRgb(ImGuiCol_WindowBg, 240, 240, 240, 1);
  expectRgb(ImGuiCol_TitleBgActive, 153, 180, 209, 1);
  expectRgb(ImGuiCol_ResizeGrip, 160, 160, 160, 80 / 255.0f);
  expectRgb(ImGuiCol_DockingPreview, 0, 120, 215, 120 / 255.0f);
  expectRgb(ImGuiCol_ModalWindowDimBg, 0, 0, 0, 40 / 255.0f);
  expectRgb(ImGuiCol_TabDimmedSelectedOverline, 0, 0, 0, 0);
  EXPECT_EQ(s.Colors[ImGuiCol_PlotHistogram].x, untouched.x);
  EXPECT_EQ(s.Colors[ImGuiCol_PlotHistogram].w, untouched.w);
}

namespace {

// A window-less Dear ImGui context driving one hex field by mouse and keys.
class HexField {
public:
  using Field = bool (*)(const char*, int&, float);
  explicit HexField(Field field) : field_(field) {}
  // One frame; true when the field committed a value.
  bool frame() {
    ImGui::NewFrame();
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(ImVec2(400, 300));
    ImGui::Begin("w");
    const bool r = field_("##hex", value, 80);
    centre_ = ImVec2((ImGui::GetItemRectMin().x + ImGui::GetItemRectMax().x) / 2,
                     (ImGui::GetItemRectMin().y + ImGui::GetItemRectMax().y) / 2);
    ImGui::End();
    ImGui::EndFrame();
    return r;
  }
  bool clickAt(ImVec2 p) {
    ImGuiIO& io = ImGui::GetIO();
    io.AddMousePosEvent(p.x, p.y);
    io.AddMouseButtonEvent(0, true);
    bool r = frame();
    io.AddMouseButtonEvent(0, false);
    r |= frame();
    return r;
  }
  bool clickField() { return clickAt(centre_); }
  bool type(const char* text) {
    ImGui::GetIO().AddInputCharactersUTF8(text);
    return frame();
  }
  bool key(ImGuiKey k) {
    ImGuiIO& io = ImGui::GetIO();
    io.AddKeyEvent(k, true);
    bool r = frame();
    io.AddKeyEvent(k, false);
    r |= frame();
    return r;
  }
  int value = 0;

private:
  ImGuiFrames ui_{0, ImVec2(400, 300)};
  Field field_;
  ImVec2 centre_{0, 0};
};

}  // namespace

TEST(WidgetsTest, HexByteFieldCommitsOnEnterAndOnLeavingAfterAnEdit) {
  HexField f(Widgets::HexByteInput);
  f.value = 0x3C;
  EXPECT_FALSE(f.frame());
  EXPECT_FALSE(f.clickField());  // selects the whole text
  EXPECT_FALSE(f.type("1ff"));   // upper-cased hex digits, not yet committed
  EXPECT_EQ(f.value, 0x3C);
  EXPECT_TRUE(f.key(ImGuiKey_Enter));
  EXPECT_EQ(f.value, 0xFF);

  // Emptied and left by a click elsewhere: commits 0.
  EXPECT_FALSE(f.clickField());
  EXPECT_FALSE(f.key(ImGuiKey_Backspace));
  EXPECT_TRUE(f.clickAt(ImVec2(300, 250)));
  EXPECT_EQ(f.value, 0);

  // Entered and left without an edit: nothing is committed.
  f.value = 0x12;
  EXPECT_FALSE(f.clickField());
  EXPECT_FALSE(f.clickAt(ImVec2(300, 250)));
  EXPECT_EQ(f.value, 0x12);
}

TEST(WidgetsTest, HexWordFieldTakesHexDigitsOnly) {
  HexField w(Widgets::HexWordInput);
  w.value = 0x1D020;  // shown and kept as its low 16 bits
  w.frame();
  w.clickField();
  w.type("c0z00x");  // only hex digits are taken
  EXPECT_TRUE(w.key(ImGuiKey_Enter));
  EXPECT_EQ(w.value, 0xC000);
}

// An end address reaches the top of memory: $10000 shows in five digits
// and survives Enter on its text; typed, it is taken whole.
TEST(WidgetsTest, HexEndFieldReachesTheTopOfMemory) {
  const std::pair<const char*, int> cases[] = {{"10000", 0x10000}, {"F800", 0xF800}, {"0", 0},
                                               {"", 0}, {"10001", 0x10000}, {"FFFFFFF", 0x10000}};
  for (const auto& [text, value] : cases) EXPECT_EQ(Widgets::ParseHexEnd(text), value) << text;

  HexField e(Widgets::HexEndInput);
  e.value = 0x10000;
  e.frame();
  e.clickField();
  EXPECT_TRUE(e.key(ImGuiKey_Enter));
  EXPECT_EQ(e.value, 0x10000);
  e.value = 0x3F40;
  e.clickField();
  e.type("10000");
  EXPECT_TRUE(e.key(ImGuiKey_Enter));
  EXPECT_EQ(e.value, 0x10000);
}

namespace {

// The pixels of a w x h bevel as the rectangles it adds to a draw list
// cover them, as letters: W white, L light, M mid, D dark, . nothing.
std::vector<std::string> bevelPixels(void (*bevel)(ImDrawList*, ImVec2, ImVec2, bool), bool raised, int w, int h) {
  ImGuiFrames ui(0, ImVec2(200, 200));
  ImGui::NewFrame();
  ImGui::Begin("bevel");
  ImDrawList* dl = ImGui::GetWindowDrawList();
  const int firstVtx = dl->VtxBuffer.Size;
  const ImVec2 o(50, 60);
  bevel(dl, o, ImVec2(o.x + w, o.y + h), raised);
  std::vector<std::string> px(h, std::string(w, '.'));
  const int vtxEnd = dl->VtxBuffer.Size;
  for (int v = firstVtx; v + 3 < vtxEnd; v += 4) {
    const ImDrawVert* q = &dl->VtxBuffer[v];
    const char c = q[0].col == IM_COL32(255, 255, 255, 255) ? 'W'
                   : q[0].col == IM_COL32(227, 227, 227, 255) ? 'L'
                   : q[0].col == IM_COL32(160, 160, 160, 255) ? 'M'
                   : q[0].col == IM_COL32(105, 105, 105, 255) ? 'D'
                                                                : '?';
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const float cx = o.x + x + 0.5f, cy = o.y + y + 0.5f;
        if (cx > q[0].pos.x && cx < q[2].pos.x && cy > q[0].pos.y && cy < q[2].pos.y) px[y][x] = c;
      }
  }
  ImGui::End();
  ImGui::EndFrame();
  return px;
}

}  // namespace

TEST(ThemeTest, BevelsAreWholeOnePixelLinesMeetingLikeClassicEdges) {
  EXPECT_EQ(bevelPixels(Classic::Bevel, true, 6, 5),
            (std::vector<std::string>{"WWWWWD", "WLLLMD", "WL..MD", "WMMMMD", "DDDDDD"}));
  EXPECT_EQ(bevelPixels(Classic::Bevel, false, 6, 5),
            (std::vector<std::string>{"MMMMMW", "MDDDLW", "MD..LW", "MLLLLW", "WWWWWW"}));
  EXPECT_EQ(bevelPixels(Classic::ThinBevel, true, 4, 3), (std::vector<std::string>{"WWWM", "W..M", "MMMM"}));
  EXPECT_EQ(bevelPixels(Classic::ThinBevel, false, 4, 3), (std::vector<std::string>{"MMMW", "M..W", "WWWW"}));
}
