// The document: reset state, derived addresses, mode bits, project files
// and the start-up assets.
#include "core/Machine.h"

#include <gtest/gtest.h>

#include <cstdint>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

std::vector<uint8_t> projectWith(int32_t verA, int32_t verB) {
  Machine m;
  m.reset();
  auto bytes = m.saveProject();
  auto put = [&](size_t off, int32_t v) {
    for (int i = 0; i < 4; ++i) bytes[off + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
  };
  put(14, verA);
  put(18, verB);
  return bytes;
}

}  // namespace

TEST(Machine, ResetSetsPowerOnRegistersAndCopiesImage) {
  Machine m;
  EXPECT_EQ(m.pen, 14);
  EXPECT_EQ(m.monitorScreen[0], 32);
  m.powerOnImage.assign(70000, 0xAB);
  m.ram[5] = 1;
  m.reset();
  EXPECT_EQ(m.ram[5], 0xAB);
  EXPECT_EQ(m.ram[0xFFFF], 0xAB);
  EXPECT_EQ(m.vicRegs[0x11], 0x1B);
  EXPECT_EQ(m.vicRegs[0x16], 0x08);
  EXPECT_EQ(m.vicRegs[0x18], 0x14);
  EXPECT_EQ(m.vicRegs[0x20], 14);
  EXPECT_EQ(m.vicRegs[0x21], 6);
  const uint8_t spriteColors[8] = {1, 2, 3, 4, 5, 6, 7, 12};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(m.vicRegs[0x27 + i], spriteColors[i]);
  EXPECT_EQ(m.vicRegs[0x00], 0);
  EXPECT_EQ(m.pen, 0);
  EXPECT_EQ(m.bank, 0);

  m.powerOnImage.assign(3, 7);
  m.reset();
  EXPECT_EQ(m.ram[2], 7);
  EXPECT_EQ(m.ram[3], 0);
}

TEST(Machine, DerivedAddressesAndCharacterRom) {
  Machine m;
  m.reset();
  EXPECT_EQ(m.screenAddr(), 0x0400u);
  EXPECT_EQ(m.spritePtrAddr(), 0x07F8u);
  EXPECT_TRUE(m.charsetIsRom());
  m.charRom[1 * 8] = 0x55;
  EXPECT_EQ(m.charData(1)[0], 0x55);
  m.vicRegs[0x18] = 0x16;  // offset $1800: lower-case half
  m.charRom[2048 + 8] = 0x66;
  EXPECT_EQ(m.charData(1)[0], 0x66);
  m.vicRegs[0x18] = 0x14;
  m.bank = 1;
  EXPECT_FALSE(m.charsetIsRom());
  m.ram[0x5000 + 8] = 0x77;
  EXPECT_EQ(m.charData(1)[0], 0x77);
  m.bank = 2;
  EXPECT_TRUE(m.charsetIsRom());
  m.bank = 3;
  m.vicRegs[0x18] = 0xFF;
  EXPECT_EQ(m.screenAddr(), 0xFC00u);
  EXPECT_EQ(m.bitmapAddr(), 0xE000u);
  EXPECT_EQ(m.charsetAddr(), 0xF800u);
  EXPECT_EQ(m.spriteBlockAddr(255), 0xFFC0u);
}

TEST(Machine, GraphicsModesFromAndToRegisters) {
  Machine m;
  m.reset();
  EXPECT_EQ(m.gfxMode(), 0);
  m.setGfxMode(4);
  EXPECT_EQ(m.gfxMode(), 4);
  EXPECT_EQ(m.vicRegs[0x11], 0x3B);
  EXPECT_EQ(m.vicRegs[0x16], 0x18);
  EXPECT_EQ(m.vicRegs[0x18], 0x1C);
  m.setGfxMode(0);
  EXPECT_EQ(m.vicRegs[0x11], 0x1B);
  EXPECT_EQ(m.vicRegs[0x16], 0x08);
  EXPECT_EQ(m.vicRegs[0x18], 0x14);
  auto before = m.vicRegs;
  m.setGfxMode(5);
  m.setGfxMode(-1);
  EXPECT_EQ(m.vicRegs, before);
  m.setGfxMode(2);
  EXPECT_EQ(m.gfxMode(), 2);
  m.vicRegs[0x16] |= 0x10;  // MCM wins over ECM in text modes
  EXPECT_EQ(m.gfxMode(), 1);
  m.vicRegs[0x11] |= 0x20;  // BMM with ECM
  EXPECT_EQ(m.gfxMode(), 4);
  m.vicRegs[0x16] &= ~0x10;
  EXPECT_EQ(m.gfxMode(), 3);
  EXPECT_STREQ(gfxModeNames[2], "Extended background textmode");
}

TEST(Machine, ProjectFileRoundTripAndLayout) {
  Machine m;
  m.reset();
  for (int i = 0; i < kRamSize; ++i) m.ram[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  m.monitorScreen[999] = 0x41;
  m.vicRegs[46] = 0x99;
  m.pen = 9;
  m.bank = 2;
  auto bytes = m.saveProject();
  ASSERT_EQ(bytes.size(), 66611u);
  EXPECT_EQ(std::memcmp(bytes.data(), "TILVOX PROJECT", 14), 0);
  EXPECT_EQ(bytes[14], 1);
  EXPECT_EQ(bytes[18], 1);
  EXPECT_EQ(bytes[22 + 0x1234], m.ram[0x1234]);
  EXPECT_EQ(bytes[65558 + 999], 0x41);
  EXPECT_EQ(bytes[66558 + 46], 0x99);
  EXPECT_EQ(bytes[66605], 9);
  EXPECT_EQ(bytes[66609], 2);
  EXPECT_EQ(bytes[66610], 0);

  Machine n;
  std::string err;
  ASSERT_TRUE(n.loadProject(bytes, err));
  EXPECT_EQ(n.ram, m.ram);
  EXPECT_EQ(n.monitorScreen, m.monitorScreen);
  EXPECT_EQ(n.vicRegs, m.vicRegs);
  EXPECT_EQ(n.pen, 9);
  EXPECT_EQ(n.bank, 2);

  bytes[66605] = 24;
  bytes[66609] = 7;
  bytes.push_back(0xEE);  // longer files are accepted
  ASSERT_TRUE(n.loadProject(bytes, err));
  EXPECT_EQ(n.pen, 8);
  EXPECT_EQ(n.bank, 3);
}

TEST(Machine, ProjectFileErrorsLeaveDocumentUnchanged) {
  Machine m;
  m.reset();
  m.ram[100] = 42;
  std::string err;
  std::vector<uint8_t> shortFile(13, 'T');
  EXPECT_FALSE(m.loadProject(shortFile, err));
  EXPECT_EQ(err, "Unknown file format (Not a Tilvox project)!");

  auto truncated = projectWith(1, 1);
  truncated.resize(66610);
  EXPECT_FALSE(m.loadProject(truncated, err));
  EXPECT_EQ(err, "Project file is truncated!");

  EXPECT_FALSE(m.loadProject(projectWith(1, 2), err));
  EXPECT_EQ(err, "Unknown project version!");
  EXPECT_FALSE(m.loadProject(projectWith(2, 1), err));
  EXPECT_EQ(m.ram[100], 42);

  EXPECT_TRUE(m.loadProject(projectWith(0, 0), err));
  // Negative and huge version words are no version this program wrote.
  const int32_t refused[][2] = {{-5, 1}, {1, -1}, {INT32_MIN, 1}, {1, INT32_MAX}, {2, 0}};
  m.ram[100] = 42;
  for (const auto& v : refused) {
    err.clear();
    EXPECT_FALSE(m.loadProject(projectWith(v[0], v[1]), err)) << v[0] << " " << v[1];
    EXPECT_EQ(err, "Unknown project version!");
    EXPECT_EQ(m.ram[100], 42);
  }
}

TEST(Machine, LoadAssetsHandlesShortAndMissingFiles) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / "tilvox_machine_assets";
  fs::remove_all(dir);
  fs::create_directories(dir);
  Machine m;
  m.charRom.fill(0xCC);
  EXPECT_FALSE(m.loadAssets(dir.string()));
  EXPECT_EQ(m.charRom[0], 0xCC);
  {
    std::ofstream(dir / "C64Chars.bin", std::ios::binary) << std::string(2048, '\x11');
  }
  EXPECT_FALSE(m.loadAssets(dir.string()));  // power-on image still missing
  EXPECT_EQ(m.charRom[2047], 0x11);
  EXPECT_EQ(m.charRom[2048], 0xCC);
  {
    std::ofstream(dir / "C64Raw.bin", std::ios::binary) << std::string(10, '\x22');
  }
  EXPECT_TRUE(m.loadAssets(dir.string()));
  EXPECT_EQ(m.powerOnImage.size(), 10u);
  fs::remove_all(dir);
}

TEST(Machine, GeneratedAssetsHaveTheirPromisedProperties) {
  Machine m;
  ASSERT_TRUE(m.loadAssets(TILVOX_TEST_ASSET_DIR));
  ASSERT_EQ(m.powerOnImage.size(), 65536u);
  m.reset();
  EXPECT_EQ(m.ram[0x0400], 32);
  EXPECT_EQ(m.ram[0x07E7], 32);
  EXPECT_EQ(m.ram[0x07E8], 0);
  EXPECT_EQ(m.ram[0xD800], 14);
  EXPECT_EQ(m.ram[0xDBE7], 14);
  EXPECT_EQ(m.ram[0xDBE8], 0);
  for (int half = 0; half < 2; ++half) {
    const uint8_t* set = m.charRom.data() + half * 2048;
    for (int code = 0; code < 128; ++code) {
      bool blank = true;
      for (int r = 0; r < 8; ++r) {
        blank = blank && set[code * 8 + r] == 0;
        EXPECT_EQ(set[(code + 128) * 8 + r], static_cast<uint8_t>(~set[code * 8 + r]));
      }
      EXPECT_EQ(blank, code == 32) << "half " << half << " code " << code;
    }
    for (int code = 0; code < 160; ++code) {
      bool solid = true;
      for (int r = 0; r < 8; ++r) solid = solid && set[code * 8 + r] == 0xFF;
      EXPECT_FALSE(solid) << "half " << half << " code " << code;
    }
    for (int r = 0; r < 8; ++r) EXPECT_EQ(set[160 * 8 + r], 0xFF);
  }
}
