// The "Sprites" window, the "Sprite editor" window and the "Save sprites"
// modal. Each frame they render the sprites from the document; every
// change goes through App::change with its undo step, then a SpriteOps
// function.
#include "app/SpriteWindows.h"

#include "app/App.h"
#include "app/FileActions.h"
#include "app/PixelEditor.h"
#include "app/Theme.h"
#include "app/Widgets.h"
#include "core/GlyphBits.h"
#include "core/Vic.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <string_view>

SpriteClip g_sprClip{};

namespace {

// First window sizes at the 12-pixel font, grown with the interface scale.
constexpr float kViewWindowWidth = 640;
constexpr float kViewWindowHeight = 160;
constexpr float kEditorWindowWidth = 460;
constexpr float kEditorWindowHeight = 420;
constexpr int kViewSpacing = 28;  // a sprite and a 4-pixel gap
constexpr int kViewWidth = kHardwareSprites * kViewSpacing - 4;  // 220
constexpr int kViewMaxScale = 4;
constexpr float kHexFieldWidth = 32;  // at the 12-pixel font, as the palette's cells
constexpr int kPointerColumns = 4;  // pointer cells a row, halved while they do not fit
constexpr float kPaletteCell = 16;
constexpr int kPaletteRow = 2;
constexpr int kMinGridCell = 4;

const char* const kPenNames[] = {"Color 1 ($D025)", "Color 2 (sprite)", "Color 3 ($D026)"};
const char* const kBankNames[] = {"$0000 - $3FFF", "$4000 - $7FFF", "$8000 - $BFFF", "$C000 - $FFFF"};

uint32_t blockAddress(const App& app) { return app.machine.spriteBlockAddr(static_cast<uint8_t>(app.currentSprite)); }

// A change of the edited block's 64 bytes, as one undo step of that range.
void changeBlock(App& app, const char* label, const std::function<void()>& apply) {
  app.change(UndoStep::range(static_cast<int>(blockAddress(app)), kSpriteBlockSize, label), apply);
}

// Edits the block hardware sprite n shows, in that sprite's colour.
void selectHardwareSprite(App& app, int n) {
  const Machine& m = app.machine;
  app.currentSprite = SpriteOps::pointer(m, n);
  app.spriteColor = m.vicRegs[kRegSprite0Color + n] & 15;
}

// The widest "$%04X" block address in the current font: each hexadecimal
// digit repeated, as the digits need not be equally wide.
float addressTextWidth() {
  float widest = 0;
  for (const char d : std::string_view("0123456789ABCDEF")) {
    const char text[] = {'$', d, d, d, d, 0};
    widest = std::max(widest, ImGui::CalcTextSize(text).x);
  }
  return widest;
}

}  // namespace

void drawSpriteView(App& app) {
  static PixelCanvas canvas;
  Widgets::SetFirstUseSize(kViewWindowWidth, kViewWindowHeight);
  if (!ImGui::Begin("Sprites", &app.showSprites)) {
    ImGui::End();
    return;
  }
  Machine& m = app.machine;
  const int k = std::clamp(static_cast<int>(ImGui::GetContentRegionAvail().x / (kViewSpacing * kHardwareSprites)), 1,
                           kViewMaxScale);

  // Every sprite pixel is written each frame; the gaps stay transparent.
  if (SizeCanvas(canvas, kViewWidth, kSpriteHeight)) std::fill(canvas.pixels.begin(), canvas.pixels.end(), 0u);
  for (int n = 0; n < kHardwareSprites; ++n) {
    Vic::renderSprite(m, app.palette, SpriteOps::pointer(m, n), m.vicRegs[kRegSprite0Color + n], m.vicRegs[kRegBg0],
                      m.vicRegs[kRegSpriteMulti] & (1 << n), canvas.pixels.data() + n * kViewSpacing, kViewWidth);
  }
  canvas.texture.update(canvas.pixels, canvas.width, canvas.height);

  const ImVec2 origin = ImGui::GetCursorScreenPos();
  ImGui::Image(TextureRef(canvas.texture), ImVec2(static_cast<float>(kViewWidth * k), static_cast<float>(kSpriteHeight * k)));
  if (ImGui::IsItemHovered()) {
    ImGui::SetTooltip("Click to edit the sprite");
    if (ImGui::IsMouseClicked(ImGuiMouseButton_Left)) {
      const int n = static_cast<int>((ImGui::GetIO().MousePos.x - origin.x) / k) / kViewSpacing;
      if (n >= 0 && n < kHardwareSprites) {
        selectHardwareSprite(app, n);
        app.showSpriteEditor = true;
      }
    }
  }

  // A pointer cell holds its number, its field and the widest address; where
  // four cells a row would not fit (a large interface scale) the rows hold
  // two cells or one.
  const ImGuiStyle& style = ImGui::GetStyle();
  const float field = kHexFieldWidth * Classic::Scale();
  const float cell = ImGui::CalcTextSize("0:").x + field + addressTextWidth() + 2 * style.ItemSpacing.x +
                     2 * style.CellPadding.x;
  int columns = kPointerColumns;
  while (columns > 1 && columns * cell > ImGui::GetContentRegionAvail().x) columns /= 2;
  if (ImGui::BeginTable("ptrs", columns, ImGuiTableFlags_SizingStretchSame)) {
    for (int n = 0; n < kHardwareSprites; ++n) {
      ImGui::TableNextColumn();
      ImGui::PushID(n);
      ImGui::Text("%d:", n);
      ImGui::SameLine();
      int value = SpriteOps::pointer(m, n);
      if (Widgets::HexByteInput("##ptr", value, field) && value != SpriteOps::pointer(m, n)) {
        app.change(UndoStep::of(UndoKind::Sprites, "Sprite pointer change"),
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
    BankItems(app, kBankNames);
    ImGui::EndMenu();
  }
  ImGui::Separator();
  if (ImGui::MenuItem("Clear all sprites"))
    app.change(UndoStep::of(UndoKind::Sprites, "clear all sprites"), [&m] { SpriteOps::clearPointed(m); });
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
    if (ImGui::MenuItem(label)) selectHardwareSprite(app, n);
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
      app.change(UndoStep::of(UndoKind::Sprites, "Sprite pointer change"),
                 [&m, n, block, color, multicolor] { SpriteOps::assign(m, n, block, color, multicolor); });
    }
  }
  ImGui::EndMenu();
}

void arrowRow(App& app) {
  if (ImGui::ArrowButton("##prev", ImGuiDir_Left)) app.currentSprite = SpriteOps::stepBlock(app.currentSprite, -1);
  ImGui::SameLine();
  Widgets::HexByteInput("##nr", app.currentSprite, kHexFieldWidth * Classic::Scale());
  ImGui::SameLine();
  if (ImGui::ArrowButton("##next", ImGuiDir_Right)) app.currentSprite = SpriteOps::stepBlock(app.currentSprite, 1);
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
  if (Widgets::PaletteGrid("sprpal", app, selected, m.vicRegs[kRegBg0] & 15, picked, right,
                           kPaletteCell * Classic::Scale(), kPaletteRow)) {
    const int block = app.currentSprite, pen = app.spritePen;
    app.change(UndoStep::of(UndoKind::Registers, "sprite color"), [&app, block, multicolor, pen, right, picked] {
      SpriteOps::pickColor(app.machine, block, app.spriteColor, multicolor, pen, right, picked);
    });
  }
  if (multicolor) {
    ImGui::Spacing();
    const int colours[] = {m.vicRegs[kRegSpriteMc0] & 15, app.spriteColor, m.vicRegs[kRegSpriteMc1] & 15};
    PenRows(app, app.spritePen, colours, kPenNames);
  }
  ImGui::Spacing();
  ImGui::Image(TextureRef(preview), ImVec2(kSpriteWidth * 2, kSpriteHeight * 2));
  ImGui::EndGroup();
}

// The 24 x 21 grid, painting in its stroke.
void editGrid(App& app, bool multicolor, const Texture& image) {
  static PixelStroke stroke;
  const ImVec2 avail = ImGui::GetContentRegionAvail();
  const int s = std::max(kMinGridCell, static_cast<int>(std::min(avail.x / kSpriteWidth, avail.y / kSpriteHeight)));
  const GridPaint g = PixelGrid(app, "##sprgrid", image, kSpriteWidth, kSpriteHeight, s, multicolor, stroke);
  if (g.started) changeBlock(app, "Edit sprite", nullptr);  // one step for the whole stroke
  if (g.paint.empty()) return;
  const int block = app.currentSprite, pen = app.spritePen;
  const bool erase = stroke.erasing;
  app.change(UndoStep::none(), [&app, block, &g, erase, multicolor, pen] {
    for (const GridPoint& p : g.paint) SpriteOps::paintPixel(app.machine, block, p.x, p.y, erase, multicolor, pen);
  });
}

}  // namespace

void drawSpriteEditor(App& app) {
  static PixelCanvas canvas;
  Widgets::SetFirstUseSize(kEditorWindowWidth, kEditorWindowHeight);
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
    app.change(UndoStep::of(UndoKind::Registers, "sprite multicolor"),
               [&m, block, box] { SpriteOps::setMulticolor(m, block, box); });
    // Used for the rest of this frame; with no hardware sprite on the block
    // it is off again from the next frame.
    multicolor = box;
  }
  // The address and the hardware sprites showing the block get a line of
  // their own, wrapped: a block all eight sprites use makes a long text,
  // which must not push the controls out of the window.
  ImGui::TextWrapped("%s", SpriteOps::blockLabel(m, app.currentSprite).c_str());
  const int user = SpriteOps::firstUser(m, app.currentSprite);
  if (user >= 0) app.spriteColor = m.vicRegs[kRegSprite0Color + user] & 15;

  SizeCanvas(canvas, kSpriteWidth, kSpriteHeight);
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
  const float field = kHexFieldWidth * Classic::Scale();
  Widgets::HexByteInput("##first", app.saveSpritesFirst, field);
  ImGui::SameLine();
  ImGui::TextUnformatted("to $");
  ImGui::SameLine();
  Widgets::HexByteInput("##last", app.saveSpritesLast, field);
  SpriteOps::correctSaveRange(app.saveSpritesFirst, app.saveSpritesLast);
  ImGui::TextDisabled("%s", SpriteOps::saveRangeSummary(app.machine, app.saveSpritesFirst, app.saveSpritesLast).c_str());
  if (ImGui::SmallButton("Current")) app.saveSpritesFirst = app.saveSpritesLast = app.currentSprite;
  ImGui::SameLine();
  if (ImGui::SmallButton("The 8 sprites")) SpriteOps::pointerRange(app.machine, app.saveSpritesFirst, app.saveSpritesLast);
  ImGui::RadioButton("PRG file (with load address)", &format, 0);
  ImGui::RadioButton("Raw sprite data (.bin, 64 bytes per sprite)", &format, 1);
  if (ImGui::Button("Save...", Classic::ButtonSize(Classic::kPopupButtonWidth))) {
    Actions::saveSprites(app, app.saveSpritesFirst, app.saveSpritesLast, format == 0);
    ImGui::CloseCurrentPopup();
  }
  ImGui::SameLine();
  if (ImGui::Button("Cancel", Classic::ButtonSize(Classic::kPopupButtonWidth)) ||
      ImGui::IsKeyPressed(ImGuiKey_Escape, false))
    ImGui::CloseCurrentPopup();
  ImGui::EndPopup();
}
