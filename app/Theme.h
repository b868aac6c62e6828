// The light grey "classic" look of the whole program: the Dear ImGui style,
// the interface scale, 3D bevels, speed buttons and the monospace font.
#pragma once

#include "app/Texture.h"

#include <imgui.h>

// Texture reference for Dear ImGui's image calls.
inline ImTextureRef TextureRef(const Texture& t) { return ImTextureRef(static_cast<ImTextureID>(t.id)); }

namespace Classic {

// Width of the answer buttons of the modal pop-ups and dialogs.
constexpr float kPopupButtonWidth = 90;
constexpr ImU32 kBlack = IM_COL32(0, 0, 0, 255);
constexpr ImU32 kWhite = IM_COL32(255, 255, 255, 255);

// The monospace font added at start-up, or null when its file is missing.
extern ImFont* MonoFont;

// Current font size / 12: hand-placed sizes of the toolbar, status bar,
// tool palette and icons are given for the 12-pixel font.
float Scale();
// The size of a button `width` wide at the 12-pixel font, grown with the
// interface scale so that its label keeps fitting.
ImVec2 ButtonSize(float width);

void ApplyStyle();

// Two-pixel 3D frame inside [min, max).
void Bevel(ImDrawList* dl, ImVec2 min, ImVec2 max, bool raised);
// One-pixel 3D frame inside [min, max).
void ThinBevel(ImDrawList* dl, ImVec2 min, ImVec2 max, bool raised);

// A flat toolbar button; `down` shows it toggled on. Returns true in the
// frame it was clicked.
bool SpeedButton(const char* id, const Texture* icon, const char* label, bool down, ImVec2 size,
                 const char* tooltip);

}  // namespace Classic
