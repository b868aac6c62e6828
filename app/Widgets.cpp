// Shared controls. Each draws at the cursor of the current window.
#include "app/Widgets.h"

#include "app/App.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Widgets {

namespace {

constexpr size_t kHexBufSize = 8;
constexpr const char* kReversePrefix = "rev. ";

// The single hex field being edited: its text survives the frame in which
// focus moves away, so that frame can still commit it.
ImGuiID g_hexEditId = 0;
char g_hexEditBuf[kHexBufSize] = {};

bool hexInput(const char* label, int& value, float width, int mask, const char* fmt) {
  const ImGuiID id = ImGui::GetID(label);
  char buf[kHexBufSize];
  if (g_hexEditId == id) std::memcpy(buf, g_hexEditBuf, sizeof buf);
  else std::snprintf(buf, sizeof buf, fmt, value & mask);
  ImGui::SetNextItemWidth(width);
  const bool enter = ImGui::InputText(label, buf, sizeof buf,
                                      ImGuiInputTextFlags_CharsHexadecimal | ImGuiInputTextFlags_CharsUppercase |
                                          ImGuiInputTextFlags_AutoSelectAll | ImGuiInputTextFlags_EnterReturnsTrue);
  const bool active = ImGui::IsItemActive();
  if (active) {
    g_hexEditId = id;
    std::memcpy(g_hexEditBuf, buf, sizeof buf);
  }
  const bool commit = enter || ImGui::IsItemDeactivatedAfterEdit();
  if (!active && g_hexEditId == id) g_hexEditId = 0;
  if (!commit) return false;
  value = ParseHexMasked(buf, mask);
  return true;
}

}  // namespace

int ParseHexMasked(const char* text, int mask) {
  return static_cast<int>(std::strtoul(text, nullptr, 16) & static_cast<unsigned long>(mask));
}

bool HexByteInput(const char* label, int& value, float width) { return hexInput(label, value, width, 0xFF, "%02X"); }

bool HexWordInput(const char* label, int& value, float width) { return hexInput(label, value, width, 0xFFFF, "%04X"); }

void FitRect(int texWidth, int texHeight, ImVec2 avail, ImVec2 cursor, bool integerScale, ImVec2& topLeft,
             ImVec2& bottomRight, int& scale) {
  if (texWidth <= 0 || texHeight <= 0) {
    topLeft = bottomRight = cursor;
    scale = 0;
    return;
  }
  float s = std::min(avail.x / texWidth, avail.y / texHeight);
  if (integerScale) s = std::max(1.0f, static_cast<float>(static_cast<int>(s)));
  scale = static_cast<int>(s);
  const ImVec2 size(texWidth * s, texHeight * s);
  topLeft = ImVec2(cursor.x + std::max(0.0f, (avail.x - size.x) * 0.5f),
                   cursor.y + std::max(0.0f, (avail.y - size.y) * 0.5f));
  bottomRight = ImVec2(topLeft.x + size.x, topLeft.y + size.y);
}

void ImageFit(const Texture& tex, ImVec2 avail, ImVec2& topLeft, ImVec2& bottomRight, int& scale,
              bool integerScale) {
  FitRect(tex.width, tex.height, avail, ImGui::GetCursorScreenPos(), integerScale, topLeft, bottomRight, scale);
  if (tex.id != 0)
    ImGui::GetWindowDrawList()->AddImage(ImTextureRef(static_cast<ImTextureID>(tex.id)), topLeft, bottomRight,
                                         ImVec2(0, 0), ImVec2(1, 1));
}

std::string CharDescription(int code) {
  std::string prefix;
  code &= 0xFF;
  if (code >= 128) {
    prefix = kReversePrefix;
    code -= 128;
  }
  std::string name;
  if (code >= 1 && code <= 26) name = std::string(1, static_cast<char>('a' + code - 1));
  else if (code >= 65 && code <= 90) name = std::string(1, static_cast<char>('A' + code - 65));
  else if (code >= 48 && code <= 57) name = std::string(1, static_cast<char>('0' + code - 48));
  else if (code == 0) name = "@";
  else if (code == 27) name = "[";
  else if (code == 28) name = "\xC2\xA3";  // pound sign
  else if (code == 29) name = "]";
  else if (code == 30) name = "up arrow";
  else if (code == 31) name = "left arrow";
  else if (code == 32) name = "space";
  else if ((code >= 33 && code <= 47) || (code >= 58 && code <= 63)) name = std::string(1, static_cast<char>(code));
  else return {};
  return prefix + name;
}

}  // namespace Widgets
