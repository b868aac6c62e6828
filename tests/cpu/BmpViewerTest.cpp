// The picture viewer bmpview.prg on our own tools: the source assembler
// must turn its source into exactly the bytes 64tass built, and an exported
// executable (viewer with patched colours and mode, picture appended) must
// run on the interpreter: show the picture from bank 1, wait for a key, then
// restore the text screen and return to BASIC.
#include "core/FileUtil.h"
#include "core/Machine.h"
#include "cpu/Assembler.h"
#include "cpu/CPU6502.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr uint16_t kLoadAddress = 0x0801;
constexpr size_t kLoadAddressSize = 2;
constexpr size_t kSysDigitsOffset = 7;  // file offset after the SYS token
constexpr std::array<size_t, 4> kColourOffsets = {23, 28, 33, 38};  // $D020-$D023
constexpr std::array<uint8_t, 4> kColours = {2, 5, 7, 9};
constexpr size_t kModeOffset = 69;

constexpr int kPictureBitmapSize = 8192;
constexpr int kPictureScreenSize = 1024;
constexpr int kPictureColourSize = 1024;
constexpr int kPictureSize = kPictureBitmapSize + kPictureScreenSize + kPictureColourSize;
constexpr uint16_t kShownBitmap = 0x4000;  // VIC bank 1
constexpr uint16_t kShownScreen = 0x6000;

constexpr uint16_t kCia1PortA = 0xDC00;
constexpr uint16_t kCia1PortB = 0xDC01;
constexpr uint16_t kCia2PortA = 0xDD00;
constexpr uint16_t kCursorColour = 0x0286;
constexpr uint8_t kNoKey = 0xFF;
constexpr uint8_t kSomeKey = 0xEF;

constexpr int kStepLimit = 2000000;
constexpr int kSpinHistory = 8;  // a waiting loop repeats within this many steps

std::vector<uint8_t> viewer() {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(readWholeFile(TILVOX_TEST_ASSET_DIR "/bmpview.prg", bytes));
  return bytes;
}

std::string viewerSource() {
  std::ifstream in(std::string(TILVOX_TEST_SOURCE_DIR) + "/assets/src/bmpview.asm", std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A picture whose bytes differ from page to page and inside each page, so a
// copy that skips, repeats or shifts a page shows up.
std::vector<uint8_t> picture() {
  std::vector<uint8_t> data(kPictureSize);
  uint32_t v = 12345;
  for (uint8_t& b : data) {
    v = v * 1103515245u + 12345u;
    b = static_cast<uint8_t>(v >> 16);
  }
  return data;
}

// The executable as the export writes it: the viewer with its colour loads
// patched, the mode byte zeroed for hires, the picture appended.
std::vector<uint8_t> exported(bool hires, const std::vector<uint8_t>& pic) {
  std::vector<uint8_t> file = viewer();
  if (file.size() <= kModeOffset) return {};
  for (size_t i = 0; i < kColourOffsets.size(); ++i) file[kColourOffsets[i]] = kColours[i];
  if (hires) file[kModeOffset] = 0;
  file.insert(file.end(), pic.begin(), pic.end());
  return file;
}

// The register state that a loop waiting on memory input keeps unchanged.
struct CpuState {
  uint16_t pc;
  uint8_t a, x, y, sp, p;
  bool operator==(const CpuState&) const = default;
};

CpuState stateOf(const CPU6502& cpu) { return {cpu.pc, cpu.a, cpu.x, cpu.y, cpu.sp, cpu.p}; }

// Steps until the processor stops or spins: its registers repeat within a
// few steps, which only a loop polling memory that nothing changes does (a
// copy loop changes Y on every pass). Returns false at the step limit.
bool runUntilWaiting(CPU6502& cpu) {
  std::array<CpuState, kSpinHistory> recent{};
  for (int n = 0; n < kStepLimit; ++n) {
    cpu.step();
    if (cpu.stopped) return true;
    const CpuState now = stateOf(cpu);
    if (n >= kSpinHistory)
      for (const CpuState& s : recent)
        if (s == now) return true;
    recent[static_cast<size_t>(n) % kSpinHistory] = now;
  }
  return false;
}

// The address the BASIC line's SYS jumps to, read from memory.
uint16_t sysAddress(const Machine& m) {
  uint32_t sys = 0;
  for (uint32_t a = kLoadAddress + kSysDigitsOffset - kLoadAddressSize; m.ram[a] >= '0' && m.ram[a] <= '9'; ++a)
    sys = sys * 10 + (m.ram[a] - '0');
  return static_cast<uint16_t>(sys);
}

// Loads the exported file, starts it as RUN would, checks the picture it
// shows and that a key press and release returns to BASIC with the text
// screen back.
void runExported(bool hires) {
  const std::vector<uint8_t> pic = picture();
  const std::vector<uint8_t> file = exported(hires, pic);
  ASSERT_GT(file.size(), kModeOffset + pic.size());
  const uint16_t programEnd = static_cast<uint16_t>(kLoadAddress + file.size() - kLoadAddressSize - pic.size());

  Machine m;
  m.reset();
  std::copy(file.begin() + kLoadAddressSize, file.end(), m.ram.begin() + kLoadAddress);
  m.ram[kCia1PortB] = kNoKey;
  m.ram[kCursorColour] = 0x0E;
  CPU6502 cpu(m);
  cpu.reset();
  cpu.pc = sysAddress(m);
  EXPECT_EQ(cpu.pc, 0x080D);

  ASSERT_TRUE(runUntilWaiting(cpu)) << "no key-wait loop reached";
  ASSERT_FALSE(cpu.stopped) << cpu.stopReason << " at $" << std::hex << cpu.pc;
  EXPECT_GE(cpu.pc, kLoadAddress);
  EXPECT_LT(cpu.pc, programEnd);

  const auto& vic = m.vicRegs;
  EXPECT_EQ(vic[kRegCtrl1], 0x3B);
  EXPECT_EQ(vic[kRegCtrl2], hires ? 0xC8 : 0xD8);
  EXPECT_EQ(vic[kRegMemPtr], 0x80);
  EXPECT_EQ(vic[kRegSpriteEnable], 0);
  for (size_t i = 0; i < kColours.size(); ++i) EXPECT_EQ(vic[kRegBorder + i], kColours[i]) << i;
  EXPECT_EQ(m.ram[kCia2PortA] & 3, 2) << "bank 1 is selected by the inverted bits %10";
  EXPECT_EQ(m.ram[kCia2PortA + 2] & 3, 3) << "bank bits set as outputs";
  EXPECT_TRUE(cpu.p & kFlagI);

  const uint8_t* bitmap = pic.data();
  const uint8_t* screen = bitmap + kPictureBitmapSize;
  const uint8_t* colour = screen + kPictureScreenSize;
  for (int i = 0; i < kPictureBitmapSize; ++i) ASSERT_EQ(m.ram[kShownBitmap + i], bitmap[i]) << "bitmap " << i;
  for (int i = 0; i < kPictureScreenSize; ++i) ASSERT_EQ(m.ram[kShownScreen + i], screen[i]) << "screen " << i;
  for (int i = 0; i < kPictureColourSize; ++i) ASSERT_EQ(m.ram[kColorRam + i], colour[i]) << "colour " << i;
  EXPECT_EQ(m.ram[kShownScreen + kPictureScreenSize], 0) << "copy ran past the screen";

  // Still waiting a while later: nothing but a key ends the display.
  const uint16_t waitPc = cpu.pc;
  for (int n = 0; n < 1000; ++n) cpu.step();
  EXPECT_FALSE(cpu.stopped);
  EXPECT_NEAR(cpu.pc, waitPc, 8);

  // Key down: the picture stays until the key is let go.
  m.ram[kCia1PortB] = kSomeKey;
  ASSERT_TRUE(runUntilWaiting(cpu));
  ASSERT_FALSE(cpu.stopped) << "returned while the key is still down";
  EXPECT_EQ(vic[kRegCtrl1], 0x3B);

  m.ram[kCia1PortB] = kNoKey;
  ASSERT_TRUE(runUntilWaiting(cpu));
  ASSERT_TRUE(cpu.stopped) << "no return after the key was let go, pc $" << std::hex << cpu.pc;
  EXPECT_EQ(cpu.stopReason, kStopTopRts);
  EXPECT_EQ(cpu.sp, kCpuStartSp);

  EXPECT_EQ(vic[kRegCtrl1], 0x1B);
  EXPECT_EQ(vic[kRegCtrl2], 0xC8);
  EXPECT_EQ(vic[kRegMemPtr], 0x15);
  EXPECT_EQ(vic[kRegBorder], 0x0E);
  EXPECT_EQ(vic[kRegBg0], 0x06);
  EXPECT_EQ(m.ram[kCia2PortA] & 3, 3) << "bank 0";
  EXPECT_EQ(m.ram[kCia1PortA], 0x7F);
  EXPECT_FALSE(cpu.p & kFlagI);
  for (int i = 0; i < kPictureColourSize; ++i) ASSERT_EQ(m.ram[kColorRam + i], 0x0E) << "colour " << i;
}

}  // namespace

TEST(BmpViewer, SourceAssemblerBuildsTheSameBytesAs64tass) {
  const std::string source = viewerSource();
  ASSERT_FALSE(source.empty());
  const std::vector<uint8_t> tass = viewer();
  ASSERT_GT(tass.size(), kLoadAddressSize);
  ASSERT_EQ(tass[0] | tass[1] << 8, kLoadAddress);

  Machine m;
  Assembler assembler(m);
  ASSERT_TRUE(assembler.assemble(source)) << assembler.messages.front().line << ": "
                                          << assembler.messages.front().text;
  ASSERT_EQ(assembler.finalAddr, kLoadAddress + static_cast<int>(tass.size() - kLoadAddressSize));
  for (size_t i = kLoadAddressSize; i < tass.size(); ++i)
    ASSERT_EQ(m.ram[kLoadAddress + i - kLoadAddressSize], tass[i]) << "file offset " << i;
}

TEST(BmpViewer, HiresExecutableShowsThePictureAndReturnsOnAKey) { runExported(true); }

TEST(BmpViewer, MulticolourExecutableShowsThePictureAndReturnsOnAKey) { runExported(false); }
