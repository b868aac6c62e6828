// Construction, reset, graphics-mode bits, the project file and the
// start-up assets of the document.
#include "core/Machine.h"

#include "core/FileUtil.h"

#include <algorithm>
#include <cstring>

const char* const gfxModeNames[kGfxModeCount] = {
    "Normal textmode",
    "Multicolor textmode",
    "Extended background textmode",
    "Bitmap graphic mode",
    "Multicolor bitmap mode",
};

namespace {

// Project file layout, little-endian throughout.
constexpr size_t kOffVersionA = 14;
constexpr size_t kOffVersionB = 18;
constexpr size_t kOffRam = 22;
constexpr size_t kOffMonitor = kOffRam + kRamSize;            // 65558
constexpr size_t kOffRegs = kOffMonitor + kMonitorScreenSize;  // 66558
constexpr size_t kOffPen = kOffRegs + kVicRegCount;            // 66605
constexpr size_t kOffBank = kOffPen + 4;                       // 66609
static_assert(kOffBank + 2 == kProjectFileSize);

void putLE32(std::vector<uint8_t>& v, size_t off, int32_t x) {
  uint32_t u = static_cast<uint32_t>(x);
  for (int i = 0; i < 4; ++i) v[off + i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t getLE32(const std::vector<uint8_t>& v, size_t off) {
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(v[off + i]) << (8 * i);
  return static_cast<int32_t>(u);
}

// Power-on register values of the video chip as this program sets them.
struct RegInit {
  int reg;
  uint8_t value;
};
constexpr RegInit kPowerOnRegs[] = {
    {kRegCtrl1, 0x1B}, {kRegCtrl2, 0x08}, {kRegMemPtr, 0x14}, {kRegBorder, 14},
    {kRegBg0, 6},      {kRegBg1, 1},      {kRegBg2, 2},      {kRegBg3, 3},
    {kRegSpriteMc0, 4}, {kRegSpriteMc1, 0},
    {0x27, 1}, {0x28, 2}, {0x29, 3}, {0x2A, 4}, {0x2B, 5}, {0x2C, 6}, {0x2D, 7}, {0x2E, 12},
};

}  // namespace

Machine::Machine() { monitorScreen.fill(32); }

void Machine::reset() {
  ram.fill(0);
  size_t n = std::min(powerOnImage.size(), ram.size());
  std::copy_n(powerOnImage.begin(), n, ram.begin());
  vicRegs.fill(0);
  for (const RegInit& r : kPowerOnRegs) vicRegs[r.reg] = r.value;
  bank = 0;
  pen = 0;
}

bool Machine::charsetIsRom() const {
  return slotIsRom(static_cast<int>(charsetOffset() / kCharsetSize));
}

const uint8_t* Machine::charData(uint8_t code) const {
  uint32_t off = charsetOffset();
  if (charsetIsRom()) return charRom.data() + (off - kRomCharsetSlot * kCharsetSize) + code * 8u;
  return ram.data() + ((bank * 16384u + off + code * 8u) & 0xFFF8u);
}

int Machine::gfxMode() const {
  if (isBitmap()) return isMulticolor() ? kModeMultiBitmap : kModeHires;
  if (isMulticolor()) return kModeMultiText;
  if (isExtBg()) return kModeExtBgText;
  return kModeText;
}

void Machine::setGfxMode(int mode) {
  if (mode < 0 || mode >= kGfxModeCount) return;
  uint8_t& d011 = vicRegs[kRegCtrl1];
  uint8_t& d016 = vicRegs[kRegCtrl2];
  uint8_t& d018 = vicRegs[kRegMemPtr];
  const bool bitmap = mode == kModeHires || mode == kModeMultiBitmap;
  const bool multi = mode == kModeMultiText || mode == kModeMultiBitmap;
  const bool ecm = mode == kModeExtBgText;
  d011 = static_cast<uint8_t>((d011 & ~(kBitBMM | kBitECM)) | (bitmap ? kBitBMM : 0) | (ecm ? kBitECM : 0));
  d016 = static_cast<uint8_t>((d016 & ~kBitMCM) | (multi ? kBitMCM : 0));
  d018 = static_cast<uint8_t>((d018 & ~8) | (bitmap ? 8 : 0));
}

bool Machine::loadProject(const std::vector<uint8_t>& data, std::string& error) {
  if (data.size() < kProjectMagicSize || std::memcmp(data.data(), kProjectMagic, kProjectMagicSize) != 0) {
    error = "Unknown file format (Not a Tilvox project)!";
    return false;
  }
  if (data.size() < kProjectFileSize) {
    error = "Project file is truncated!";
    return false;
  }
  auto known = [](int32_t v) { return v >= kProjectOldestVersion && v <= kProjectVersion; };
  if (!known(getLE32(data, kOffVersionA)) || !known(getLE32(data, kOffVersionB))) {
    error = "Unknown project version!";
    return false;
  }
  std::copy_n(data.begin() + kOffRam, kRamSize, ram.begin());
  std::copy_n(data.begin() + kOffMonitor, kMonitorScreenSize, monitorScreen.begin());
  std::copy_n(data.begin() + kOffRegs, kVicRegCount, vicRegs.begin());
  pen = getLE32(data, kOffPen) & 15;
  bank = static_cast<uint16_t>((data[kOffBank] | (data[kOffBank + 1] << 8)) & 3);
  return true;
}

std::vector<uint8_t> Machine::saveProject() const {
  std::vector<uint8_t> out(kProjectFileSize, 0);
  std::memcpy(out.data(), kProjectMagic, kProjectMagicSize);
  putLE32(out, kOffVersionA, kProjectVersion);
  putLE32(out, kOffVersionB, kProjectVersion);
  std::copy(ram.begin(), ram.end(), out.begin() + kOffRam);
  std::copy(monitorScreen.begin(), monitorScreen.end(), out.begin() + kOffMonitor);
  std::copy(vicRegs.begin(), vicRegs.end(), out.begin() + kOffRegs);
  putLE32(out, kOffPen, pen);
  out[kOffBank] = static_cast<uint8_t>(bank);
  out[kOffBank + 1] = static_cast<uint8_t>(bank >> 8);
  return out;
}

bool Machine::loadAssets(const std::string& dir) {
  std::vector<uint8_t> image;
  std::vector<uint8_t> chars;
  const bool haveImage = readWholeFile(dir + "/C64Raw.bin", image);
  const bool haveChars = readWholeFile(dir + "/C64Chars.bin", chars);
  if (haveImage) powerOnImage = std::move(image);
  if (haveChars) std::copy_n(chars.begin(), std::min(chars.size(), charRom.size()), charRom.begin());
  return haveImage && haveChars;
}
