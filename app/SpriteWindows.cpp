// The "Sprites" window, the "Sprite editor" window and the "Save sprites"
// modal. Each frame they render the sprites from the document; every
// change goes through App::change with its undo step, then a SpriteOps
// function.
#include "app/SpriteWindows.h"

#include "app/App.h"
#include "app/FileActions.h"
#include "app/Widgets.h"
#include "core/GlyphBits.h"
#include "core/Vic.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>

SpriteClip g_sprClip{};

namespace {

constexpr int kViewSpacing = 28;  // a sprite and a 4-pixel gap
constexpr int kViewWidth = kHardwareSprites * kViewSpacing - 4;  // 220
constexpr int kViewMaxScale = 4;
constexpr float kHexFieldWidth = 32;
constexpr float kPaletteCell = 16;
constexpr int kPaletteRow = 2;
const ImVec2 kSwatchSize(18, 14);
constexpr int kMinGridCell = 4;
constexpr int kLineAlpha = 60;
constexpr int kInnerLineAlpha = 20;  // inside a double-wide multicolour pixel
constexpr float kSaveButtonWidth = 90;

const char* const kPenNames[] = {"Color 1 ($D025)", "Color 2 (sprite)", "Color 3 ($D026)"};
const char* const kBankNames[] = {"$0000 - $3FFF", "$4000 - $7FFF", "$8000 - $BFFF", "$C000 - $FFFF"};

ImTextureRef textureRef(const Texture& t) { return ImTextureRef(static_cast<ImTextureID>(t.id)); }

uint32_t blockAddress(const App& app) { return app.machine.spriteBlockAddr(static_cast<uint8_t>(app.currentSprite)); }

// A change of the edited block's 64 bytes, as one undo step of that range.
void changeBlock(App& app, const char* label, const std::function<void()>& apply) {
  app.change(UndoStep::range(static_cast<int>(blockAddress(app)), kSpriteBlockSize, label), apply);
}

}  // namespace

void drawSpriteView(App& app) {
  static PixelCanvas canvas;
  ImGui::SetNextWindowSize(ImVec2(640, 160), ImGuiCond_FirstUseEver);
  if (!ImGui::Begin("Sprites", &app.showSprites)) {
    ImGui::End();
    return;
  }
  Machine& m = app.machine;
  const int k = std::clamp(static_cast<int>(ImGui::GetContentRegionAvail().x / (kViewSpacing * kHardwareSprites)), 1,
                           kViewMaxScale);

  canvas.width = kViewWidth;
  canvas.height = kSpriteHeight;
  canvas.pixels.assign(static_cast<size_t>(kViewWidth) * kSpriteHeight, 0);  // gaps stay transparent
  for (int n = 0; n < kHardwareSprites; ++n) {
    Vic::renderSprite(m, app.palette, SpriteOps::pointer(m, n), m.vicRegs[kRegSprite0Color + n], m.vicRegs[kRegBg0],
                      m.vicRegs[kRegSpriteMulti] & (1 << n), canvas.pixels.data() + n * kViewSpacing, kViewWidth);
  }
  canvas.texture.update(canvas.pixels, canvas.width, canvas.height);

  const ImVec2 origin = ImGui::GetCursorScreenPos();
  ImGui::Image(textureRef(canvas.texture), ImVec2(static_cast<float>(kViewWidth * k), static_cast<float>(kSpriteHeight * k)));
  if (ImGui::IsItemHovered()) {
    ImGui::SetTooltip("Click to edit the sprite");
    if (ImGui::IsMouseClicked(ImGuiMouseButton_Left)) {
      const int n = static_cast<int>((ImGui::GetIO().MousePos.x - origin.x) / k) / kViewSpacing;
      if (n >= 0 && n < kHardwareSprites) {
        app.currentSprite = SpriteOps::pointer(m, n);
        app.spriteColor = m.vicRegs[kRegSprite0Color + n] & 15;
        app.showSpriteEditor = true;
      }
    }
  }

  if (ImGui::BeginTable("ptrs", 4, ImGuiTableFlags_SizingStretchSame)) {
    for (int n = 0; n < kHardwareSprites; ++n) {
      ImGui::TableNextColumn();
      ImGui::PushID(n);
      ImGui::Text("%d:", n);
      ImGui::SameLine();
      int value = SpriteOps::pointer(m, n);
      if (Widgets::HexByteInput("##ptr", value, kHexFieldWidth) && value != SpriteOps::pointer(m, n)) {
        app.change(UndoStep::of(kUndoSprites, "Sprite pointer change"),
                   [&m, n, value] { SpriteOps::setPointer(m, n, value); });
      }
      ImGui::SameLine();
      ImGui::TextDisabled("$%04X", static_cast<unsigned>(m.spriteBlockAddr(static_cast<uint8_t>(SpriteOps::pointer(m, n)))));
      ImGui::PopID();
    }
    ImGui::EndTable();
  }
  ImGui::End();
}

namespace {

void spritesMenu(App& app) {
  if (!ImGui::BeginMenu("Sprites")) return;
  Machine& m = app.machine;
  if (ImGui::BeginMenu("Select VIC bank")) {
    for (int i = 0; i < 4; ++i)
      if (ImGui::MenuItem(kBankNames[i], nullptr, m.bank == i)) {
        // Choosing a bank takes no undo step.
        app.change(UndoStep::none(), [&m, i] { m.bank = static_cast<uint16_t>(i); });
      }
    ImGui::EndMenu();
  }
  ImGui::Separator();
  if (ImGui::MenuItem("Clear all sprites"))
    app.change(UndoStep::of(kUndoSprites, "clear all sprites"), [&m] { SpriteOps::clearPointed(m); });
  if (ImGui::MenuItem("Load sprites...")) Actions::loadSprites(app);
  if (ImGui::MenuItem("Save sprites...")) {
    app.saveSpritesFirst = app.saveSpritesLast = app.currentSprite;
    app.saveSpritesOpen = true;
  }
  ImGui::EndMenu();
}

void editMenu(App& app, bool multicolor) {
  if (!ImGui::BeginMenu("Edit")) return;
  Machine& m = app.machine;
  const int b = app.currentSprite;
  if (ImGui::MenuItem("Cut")) changeBlock(app, "cut sprite", [&m, b] { SpriteOps::cut(m, b, g_sprClip); });
  if (ImGui::MenuItem("Copy")) SpriteOps::copy(m, b, g_sprClip);
  if (ImGui::MenuItem("Paste")) changeBlock(app, "paste sprite", [&m, b] { SpriteOps::paste(m, b, g_sprClip); });
  ImGui::Separator();
  if (ImGui::MenuItem("Clear")) changeBlock(app, "clear sprite", [&m, b] { SpriteOps::clear(m, b); });
  ImGui::Separator();
  if (ImGui::MenuItem("Invert")) changeBlock(app, "invert sprite", [&m, b] { SpriteOps::invert(m, b); });
  if (ImGui::MenuItem("Flip")) changeBlock(app, "flip sprite", [&m, b] { SpriteOps::flip(m, b); });
  if (ImGui::MenuItem("Mirror"))
    changeBlock(app, "mirror sprite", [&m, b, multicolor] { SpriteOps::mirror(m, b, multicolor); });
  ImGui::EndMenu();
}

void selectMenu(App& app) {
  if (!ImGui::BeginMenu("Select")) return;
  const Machine& m = app.machine;
  for (int n = 0; n < kHardwareSprites; ++n) {
    char label[32];
    std::snprintf(label, sizeof label, "Sprite %d ($%02X)", n, SpriteOps::pointer(m, n));
    if (ImGui::MenuItem(label)) {
      app.currentSprite = SpriteOps::pointer(m, n);
      app.spriteColor = m.vicRegs[kRegSprite0Color + n] & 15;
    }
  }
  ImGui::EndMenu();
}

void assignMenu(App& app, bool multicolor) {
  if (!ImGui::BeginMenu("Assign to")) return;
  Machine& m = app.machine;
  for (int n = 0; n < kHardwareSprites; ++n) {
    char label[16];
    std::snprintf(label, sizeof label, "Sprite %d", n);
    if (ImGui::MenuItem(label)) {
      const int block = app.currentSprite, color = app.spriteColor;
      app.change(UndoStep::of(kUndoSprites, "Sprite pointer change"),
                 [&m, n, block, color, multicolor] { SpriteOps::assign(m, n, block, color, multicolor); });
    }
  }
  ImGui::EndMenu();
}

void arrowRow(App& app) {
  if (ImGui::ArrowButton("##prev", ImGuiDir_Left)) app.currentSprite = SpriteOps::stepBlock(app.currentSprite, -1);
  ImGui::SameLine();
  Widgets::HexByteInput("##nr", app.currentSprite, kHexFieldWidth);
  ImGui::SameLine();
  if (ImGui::ArrowButton("##next", ImGuiDir_Right)) app.currentSprite = SpriteOps::stepBlock(app.currentSprite, 1);
  ImGui::SameLine();
  ImGui::TextUnformatted(SpriteOps::blockLabel(app.machine, app.currentSprite).c_str());
}

// The palette, the pens in multicolour and a preview at twice the size.
void colorGroup(App& app, bool multicolor, const Texture& preview) {
  Machine& m = app.machine;
  ImGui::BeginGroup();
  int selected = app.spriteColor;
  if (multicolor && app.spritePen == kPenColor1) selected = m.vicRegs[kRegSpriteMc0] & 15;
  if (multicolor && app.spritePen == kPenColor3) selected = m.vicRegs[kRegSpriteMc1] & 15;
  int picked = 0;
  bool right = false;
  if (Widgets::PaletteGrid("sprpal", app, selected, m.vicRegs[kRegBg0] & 15, picked, right, kPaletteCell,
                           kPaletteRow)) {
    const int block = app.currentSprite, pen = app.spritePen;
    app.change(UndoStep::of(kUndoRegisters, "sprite color"), [&app, block, multicolor, pen, right, picked] {
      SpriteOps::pickColor(app.machine, block, app.spriteColor, multicolor, pen, right, picked);
    });
  }
  if (multicolor) {
    ImGui::Spacing();
    const int colours[] = {m.vicRegs[kRegSpriteMc0] & 15, app.spriteColor, m.vicRegs[kRegSpriteMc1] & 15};
    for (int i = 1; i <= 3; ++i) {
      ImGui::PushID(i);
      if (ImGui::RadioButton("##mc", app.spritePen == i)) app.spritePen = i;
      ImGui::SameLine();
      Widgets::ColorSwatch(app, colours[i - 1], kSwatchSize, false);
      ImGui::SameLine();
      ImGui::TextUnformatted(kPenNames[i - 1]);
      ImGui::PopID();
    }
  }
  ImGui::Spacing();
  ImGui::Image(textureRef(preview), ImVec2(kSpriteWidth * 2, kSpriteHeight * 2));
  ImGui::EndGroup();
}

// The 24 x 21 grid: its border frame, the image, grid lines and painting.
void editGrid(App& app, bool multicolor, const Texture& image) {
  static bool drawing = false;
  static bool erasing = false;
  const ImVec2 avail = ImGui::GetContentRegionAvail();
  const int s = std::max(kMinGridCell, static_cast<int>(std::min(avail.x / kSpriteWidth, avail.y / kSpriteHeight)));
  const ImVec2 o = ImGui::GetCursorScreenPos();
  const ImVec2 size(static_cast<float>(kSpriteWidth * s), static_cast<float>(kSpriteHeight * s));
  ImDrawList* dl = ImGui::GetWindowDrawList();
  dl->AddRectFilled(ImVec2(o.x - 2, o.y - 2), ImVec2(o.x + size.x + 2, o.y + size.y + 2),
                    Vic::paletteWord(app.palette, app.machine.vicRegs[kRegBorder]));
  dl->AddImage(textureRef(image), o, ImVec2(o.x + size.x, o.y + size.y));
  ImGui::InvisibleButton("##sprgrid", size, ImGuiButtonFlags_MouseButtonLeft | ImGuiButtonFlags_MouseButtonRight);
  const bool hovered = ImGui::IsItemHovered();
  for (int i = 1; i < kSpriteWidth; ++i) {
    const int alpha = multicolor && (i & 1) ? kInnerLineAlpha : kLineAlpha;
    dl->AddLine(ImVec2(o.x + i * s, o.y), ImVec2(o.x + i * s, o.y + size.y), IM_COL32(0, 0, 0, alpha));
  }
  for (int i = 1; i < kSpriteHeight; ++i)
    dl->AddLine(ImVec2(o.x, o.y + i * s), ImVec2(o.x + size.x, o.y + i * s), IM_COL32(0, 0, 0, kLineAlpha));

  const bool left = ImGui::IsMouseClicked(ImGuiMouseButton_Left);
  const bool right = ImGui::IsMouseClicked(ImGuiMouseButton_Right);
  if (hovered && (left || right)) {
    drawing = true;
    erasing = right && !left;
    changeBlock(app, "Edit sprite", nullptr);  // one step for the whole stroke
  }
  if (!drawing) return;
  if (!ImGui::IsMouseDown(ImGuiMouseButton_Left) && !ImGui::IsMouseDown(ImGuiMouseButton_Right)) {
    drawing = false;
    return;
  }
  const ImVec2 mouse = ImGui::IsMousePosValid() ? ImGui::GetIO().MousePos : o;
  // Outside the grid the nearest edge pixel is painted; frames are not
  // joined by lines.
  const int x = static_cast<int>((mouse.x - o.x) / s);
  const int y = static_cast<int>((mouse.y - o.y) / s);
  const int block = app.currentSprite, pen = app.spritePen;
  const bool erase = erasing;
  app.change(UndoStep::none(), [&app, block, x, y, erase, multicolor, pen] {
    SpriteOps::paintPixel(app.machine, block, x, y, erase, multicolor, pen);
  });
}

}  // namespace

void drawSpriteEditor(App& app) {
  static PixelCanvas canvas;
  ImGui::SetNextWindowSize(ImVec2(460, 420), ImGuiCond_FirstUseEver);
  if (!ImGui::Begin("Sprite editor", &app.showSpriteEditor, ImGuiWindowFlags_MenuBar)) {
    ImGui::End();
    return;
  }
  Machine& m = app.machine;
  bool multicolor = SpriteOps::editorMulticolor(m, app.currentSprite);

  if (ImGui::BeginMenuBar()) {
    spritesMenu(app);
    editMenu(app, multicolor);
    selectMenu(app);
    assignMenu(app, multicolor);
    ImGui::EndMenuBar();
  }

  arrowRow(app);
  ImGui::SameLine();
  bool box = multicolor;
  if (ImGui::Checkbox("Multicolor", &box)) {
    const int block = app.currentSprite;
    app.change(UndoStep::of(kUndoRegisters, "sprite multicolor"),
               [&m, block, box] { SpriteOps::setMulticolor(m, block, box); });
    // Used for the rest of this frame; with no hardware sprite on the block
    // it is off again from the next frame.
    multicolor = box;
  }
  const int user = SpriteOps::firstUser(m, app.currentSprite);
  if (user >= 0) app.spriteColor = m.vicRegs[kRegSprite0Color + user] & 15;

  canvas.width = kSpriteWidth;
  canvas.height = kSpriteHeight;
  canvas.pixels.resize(static_cast<size_t>(kSpriteWidth) * kSpriteHeight);
  Vic::renderSprite(m, app.palette, app.currentSprite, app.spriteColor, m.vicRegs[kRegBg0], multicolor,
                    canvas.pixels.data(), kSpriteWidth);
  canvas.texture.update(canvas.pixels, canvas.width, canvas.height);

  colorGroup(app, multicolor, canvas.texture);
  ImGui::SameLine();
  editGrid(app, multicolor, canvas.texture);
  ImGui::End();
}

void drawSaveSpritesDialog(App& app) {
  static int format = 0;  // 0 PRG file, 1 raw data
  constexpr const char* kId = "Save sprites";
  if (app.saveSpritesOpen) {
    ImGui::OpenPopup(kId);
    app.saveSpritesOpen = false;
  }
  ImGui::SetNextWindowPos(ImGui::GetMainViewport()->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
  if (!ImGui::BeginPopupModal(kId, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
  ImGui::AlignTextToFramePadding();
  ImGui::TextUnformatted("From sprite $");
  ImGui::SameLine();
  Widgets::HexByteInput("##first", app.saveSpritesFirst, kHexFieldWidth);
  ImGui::SameLine();
  ImGui::TextUnformatted("to $");
  ImGui::SameLine();
  Widgets::HexByteInput("##last", app.saveSpritesLast, kHexFieldWidth);
  SpriteOps::correctSaveRange(app.saveSpritesFirst, app.saveSpritesLast);
  ImGui::TextDisabled("%s", SpriteOps::saveRangeSummary(app.machine, app.saveSpritesFirst, app.saveSpritesLast).c_str());
  if (ImGui::SmallButton("Current")) app.saveSpritesFirst = app.saveSpritesLast = app.currentSprite;
  ImGui::SameLine();
  if (ImGui::SmallButton("The 8 sprites")) SpriteOps::pointerRange(app.machine, app.saveSpritesFirst, app.saveSpritesLast);
  ImGui::RadioButton("PRG file (with load address)", &format, 0);
  ImGui::RadioButton("Raw sprite data (.bin, 64 bytes per sprite)", &format, 1);
  if (ImGui::Button("Save...", ImVec2(kSaveButtonWidth, 0))) {
    Actions::saveSprites(app, app.saveSpritesFirst, app.saveSpritesLast, format == 0);
    ImGui::CloseCurrentPopup();
  }
  ImGui::SameLine();
  if (ImGui::Button("Cancel", ImVec2(kSaveButtonWidth, 0)) || ImGui::IsKeyPressed(ImGuiKey_Escape, false))
    ImGui::CloseCurrentPopup();
  ImGui::EndPopup();
}
