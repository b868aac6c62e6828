// The document: one C64 address space of 64 KB, the character ROM, the 47
// video-chip registers and the video bank, the drawing colour and the
// monitor console's text screen. Every address the video chip uses (video
// matrix, bitmap, character set, sprites) is derived from the registers and
// the bank at the moment of use; nothing else is stored.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Sizes and register numbers named once for the whole program.
constexpr int kRamSize = 65536;
constexpr int kCharRomSize = 4096;
constexpr int kVicRegCount = 47;            // $D000-$D02E
constexpr int kMonitorScreenSize = 1000;    // 40x25 screen codes
constexpr int kScreenCols = 40;
constexpr int kScreenRows = 25;
constexpr int kScreenCells = kScreenCols * kScreenRows;
constexpr int kDisplayWidth = 320;
constexpr int kDisplayHeight = 200;
constexpr uint16_t kVicBase = 0xD000;
constexpr uint16_t kColorRam = 0xD800;
constexpr int kBitmapSize = 8000;      // bitmap bytes the display shows
constexpr int kBitmapSlotSize = 8192;  // the 8 KB slot a bitmap occupies
constexpr int kCharsetSize = 2048;
// In banks 0 and 2 the video chip reads the character ROM, not RAM, at
// charset slots 2 ($1000, upper case) and 3 ($1800, lower case).
constexpr int kRomCharsetSlot = 2;
constexpr int kSpriteBlockSize = 64;
constexpr int kSpritePointerOffset = 1016;  // from the video matrix

constexpr size_t kProjectFileSize = 66611;
constexpr char kProjectMagic[] = "TILVOX PROJECT";
constexpr size_t kProjectMagicSize = 14;
// The version words this program writes; files of 0 from before the
// version was counted load too, anything else is refused.
constexpr int32_t kProjectVersion = 1;
constexpr int32_t kProjectOldestVersion = 0;

// Register indices into Machine::vicRegs.
enum VicReg : int {
  kRegCtrl1 = 0x11,     // $D011: bit 5 BMM, bit 6 ECM
  kRegSpriteEnable = 0x15,
  kRegCtrl2 = 0x16,     // $D016: bit 4 MCM
  kRegSpriteYExpand = 0x17,
  kRegMemPtr = 0x18,    // $D018: video matrix and character set / bitmap slots
  kRegSpritePriority = 0x1B,
  kRegSpriteMulti = 0x1C,
  kRegSpriteXExpand = 0x1D,
  kRegBorder = 0x20,
  kRegBg0 = 0x21,
  kRegBg1 = 0x22,
  kRegBg2 = 0x23,
  kRegBg3 = 0x24,
  kRegSpriteMc0 = 0x25,
  kRegSpriteMc1 = 0x26,
  kRegSprite0Color = 0x27,
};

constexpr uint8_t kBitBMM = 0x20;
constexpr uint8_t kBitECM = 0x40;
constexpr uint8_t kBitMCM = 0x10;

enum GfxMode : int {
  kModeText = 0,
  kModeMultiText = 1,
  kModeExtBgText = 2,
  kModeHires = 3,
  kModeMultiBitmap = 4,
};
constexpr int kGfxModeCount = 5;
extern const char* const gfxModeNames[kGfxModeCount];

class Machine {
public:
  std::array<uint8_t, kRamSize> ram{};
  std::array<uint8_t, kCharRomSize> charRom{};
  std::array<uint8_t, kVicRegCount> vicRegs{};
  uint16_t bank = 0;
  int32_t pen = 14;
  std::array<uint8_t, kMonitorScreenSize> monitorScreen;
  std::vector<uint8_t> powerOnImage;

  Machine();

  void reset();

  // Derived addresses, always inside the 64 KB image.
  uint32_t screenAddr() const { return (bank * 16u + (vicRegs[kRegMemPtr] >> 4)) * 1024u; }
  uint32_t spritePtrAddr() const { return screenAddr() + kSpritePointerOffset; }
  uint32_t bitmapAddr() const { return (bank * 2u + ((vicRegs[kRegMemPtr] & 8) ? 1u : 0u)) * kBitmapSlotSize; }
  uint32_t charsetOffset() const { return ((vicRegs[kRegMemPtr] >> 1) & 7u) * 2048u; }
  uint32_t charsetAddr() const { return bank * 16384u + charsetOffset(); }
  uint32_t spriteBlockAddr(uint8_t p) const { return (bank * 256u + p) * 64u; }

  bool isBitmap() const { return vicRegs[kRegCtrl1] & kBitBMM; }
  bool isMulticolor() const { return vicRegs[kRegCtrl2] & kBitMCM; }
  bool isExtBg() const { return vicRegs[kRegCtrl1] & kBitECM; }

  // Whether charset slot 0-7 of the current bank shows the character ROM.
  bool slotIsRom(int slot) const {
    return (slot == kRomCharsetSlot || slot == kRomCharsetSlot + 1) && (bank == 0 || bank == 2);
  }
  bool charsetIsRom() const;
  const uint8_t* charData(uint8_t code) const;
  int gfxMode() const;
  void setGfxMode(int mode);

  bool loadProject(const std::vector<uint8_t>& data, std::string& error);
  std::vector<uint8_t> saveProject() const;
  bool loadAssets(const std::string& dir);
};
