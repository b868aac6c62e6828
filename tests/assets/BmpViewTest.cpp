// The picture viewer bmpview.prg that exported executables start with:
// its BASIC start line, the five bytes the export patches and the address
// its copy reads the appended picture from. The program is decoded
// instruction by instruction, so a patch offset that drifted into the
// middle of another instruction, or a copy pointed one byte off, fails.
#include "core/FileUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr size_t kMinViewerSize = 70;
constexpr uint16_t kLoadAddress = 0x0801;
constexpr size_t kModeOffset = 69;
constexpr uint8_t kSysToken = 0x9E;
constexpr uint8_t kLdaImmediate = 0xA9;
constexpr uint8_t kStaAbsolute = 0x8D;
constexpr uint8_t kStaZeroPage = 0x85;
constexpr uint8_t kLdaIndirectY = 0xB1;
constexpr uint8_t kStaIndirectY = 0x91;

std::vector<uint8_t> viewer() {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(readWholeFile(TILVOX_TEST_ASSET_DIR "/bmpview.prg", bytes));
  return bytes;
}

uint16_t word(const std::vector<uint8_t>& b, size_t off) {
  return static_cast<uint16_t>(b[off] | b[off + 1] << 8);
}

// Length of a documented 6502 instruction from its opcode's addressing-mode
// bits (aaabbbcc); 0 for the cc = 11 column, which holds none.
int instructionLength(uint8_t op) {
  const int aaa = op >> 5, bbb = (op >> 2) & 7, cc = op & 3;
  if (cc == 3) return 0;
  if (cc == 0 && bbb == 0) return op == 0x20 ? 3 : (aaa >= 5 ? 2 : 1);  // JSR, LDY/CPY/CPX #, BRK/RTI/RTS
  if (cc == 1) return (bbb == 3 || bbb == 6 || bbb == 7) ? 3 : 2;
  if (cc == 2 && bbb == 0) return 2;  // LDX #
  static constexpr std::array<int, 8> byMode = {0, 2, 1, 3, 2, 2, 1, 3};
  return byMode[bbb];
}

// Start offsets of the instructions from `entry` to the end of the file;
// fails when an opcode is not decodable or the last one overruns the file.
std::vector<size_t> decode(const std::vector<uint8_t>& b, size_t entry) {
  std::vector<size_t> starts;
  size_t off = entry;
  while (off < b.size()) {
    const int len = instructionLength(b[off]);
    EXPECT_GT(len, 0) << "undecodable opcode at file offset " << off;
    if (len == 0) break;
    starts.push_back(off);
    off += static_cast<size_t>(len);
  }
  EXPECT_EQ(off, b.size()) << "the last instruction overruns the file";
  return starts;
}

// The BASIC line's SYS address; checks the line's structure on the way.
size_t entryOffset(const std::vector<uint8_t>& b) {
  EXPECT_EQ(b[6], kSysToken);
  size_t off = 7;
  uint32_t sys = 0;
  while (off < b.size() && b[off] >= '0' && b[off] <= '9') sys = sys * 10 + (b[off++] - '0');
  EXPECT_GT(off, 7u) << "no digits after SYS";
  EXPECT_EQ(b[off], 0) << "the line does not end after the digits";
  const size_t endMarker = off + 1;
  EXPECT_EQ(word(b, 2), kLoadAddress + endMarker - 2) << "link does not point to the next line";
  EXPECT_EQ(word(b, endMarker), 0) << "no end-of-program marker";
  EXPECT_EQ(sys, kLoadAddress + endMarker) << "SYS does not start right after the BASIC line";
  return endMarker + 2;
}

}  // namespace

TEST(BmpView, IsAPrgStartedByABasicSysLine) {
  const auto b = viewer();
  ASSERT_GE(b.size(), kMinViewerSize);
  EXPECT_EQ(word(b, 0), kLoadAddress);
  // The colour loads at offsets 22-41 leave room for this much start-up.
  EXPECT_LE(entryOffset(b), 22u);
}

TEST(BmpView, PatchedBytesAreOperandsOfTheColourAndModeLoads) {
  const auto b = viewer();
  ASSERT_GE(b.size(), kMinViewerSize);
  const auto starts = decode(b, entryOffset(b));
  const std::set<size_t> at(starts.begin(), starts.end());

  // Offsets 23, 28, 33, 38: LDA #value; STA $D020..$D023.
  for (int i = 0; i < 4; ++i) {
    const size_t lda = 22 + 5 * static_cast<size_t>(i);
    SCOPED_TRACE(lda);
    EXPECT_TRUE(at.count(lda));
    EXPECT_EQ(b[lda], kLdaImmediate);
    EXPECT_TRUE(at.count(lda + 2));
    EXPECT_EQ(b[lda + 2], kStaAbsolute);
    EXPECT_EQ(word(b, lda + 3), 0xD020 + i);
  }

  // Offset 69 is the operand of a load, non-zero in the asset (multicolour).
  EXPECT_TRUE(at.count(kModeOffset - 1));
  EXPECT_EQ(b[kModeOffset - 1], kLdaImmediate);
  EXPECT_NE(b[kModeOffset], 0);
}

TEST(BmpView, CopyReadsThePictureRightAfterTheProgram) {
  const auto b = viewer();
  ASSERT_GE(b.size(), kMinViewerSize);
  const uint16_t dataStart = static_cast<uint16_t>(kLoadAddress + b.size() - 2);

  // Follow the immediates stored into zero page, then read the pointer the
  // indirect copy loads from.
  std::array<int, 256> zeroPage;
  zeroPage.fill(-1);
  int lastImmediate = -1, sourcePointer = -1, indirectLoads = 0, indirectStores = 0;
  for (size_t off : decode(b, entryOffset(b))) {
    const uint8_t op = b[off];
    if (op == kLdaImmediate) lastImmediate = b[off + 1];
    if (op == kStaZeroPage) zeroPage[b[off + 1]] = lastImmediate;
    if (op == kLdaIndirectY) {
      ++indirectLoads;
      sourcePointer = b[off + 1];
    }
    if (op == kStaIndirectY) ++indirectStores;
  }
  ASSERT_EQ(indirectLoads, 1) << "one copy loop";
  EXPECT_EQ(indirectStores, 1);
  ASSERT_GE(sourcePointer, 0);
  ASSERT_LT(sourcePointer, 255);
  const int lo = zeroPage[static_cast<size_t>(sourcePointer)];
  const int hi = zeroPage[static_cast<size_t>(sourcePointer) + 1];
  ASSERT_GE(lo, 0) << "source pointer low byte not set from an immediate";
  ASSERT_GE(hi, 0) << "source pointer high byte not set from an immediate";
  EXPECT_EQ(lo | hi << 8, dataStart);
}
