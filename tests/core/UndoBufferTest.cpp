// Undo history: what each capture kind saves, round trips through undo and
// redo, labels, merging, the step limit, redo clearing and the clipping of
// ranges at the end of memory.
#include "core/UndoBuffer.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

Machine freshMachine() {
  Machine m;
  m.reset();
  for (int i = 0; i < kRamSize; ++i) m.ram[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  return m;
}

std::vector<std::pair<int, size_t>> layout(const UndoBuffer::Item& item) {
  std::vector<std::pair<int, size_t>> out;
  for (const auto& r : item.regions) out.emplace_back(r.address, r.bytes.size());
  return out;
}

using Layout = std::vector<std::pair<int, size_t>>;

}  // namespace

TEST(UndoBuffer, KindsCaptureTheirRangesInOrder) {
  Machine m = freshMachine();
  m.bank = 1;
  m.vicRegs[kRegMemPtr] = 0x2C;  // screen $4800, charset $7000 (RAM), bitmap $6000
  UndoBuffer undo(m);
  undo.TakeUndo(UndoKind::TextScreen, "t");
  undo.TakeUndo(UndoKind::Hires, "h");
  undo.TakeUndo(UndoKind::Multicolor, "m");
  undo.TakeUndo(UndoKind::Charset, "c");
  undo.TakeUndo(UndoKind::Registers, "r");
  undo.TakeUndo(UndoKind::All, "e");
  ASSERT_EQ(undo.undoItems.size(), 6u);
  const auto& it = undo.undoItems;
  EXPECT_EQ(layout(it[0]), (Layout{{0x4800, 1000}, {0xD800, 1000}}));
  EXPECT_EQ(layout(it[1]), (Layout{{0x6000, 8192}, {0x4800, 1000}, {0xD800, 1000}}));
  EXPECT_EQ(layout(it[2]), layout(it[1]));
  EXPECT_EQ(layout(it[3]), (Layout{{0x7000, 2048}}));
  EXPECT_EQ(layout(it[4]), Layout{});
  EXPECT_EQ(layout(it[5]), (Layout{{0, 65536}}));
  const bool hasVic[6] = {false, false, false, false, true, true};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(it[i].hasVic, hasVic[i]) << i;
    EXPECT_EQ(it[i].bank, 1) << i;  // every item records the bank
  }
  EXPECT_EQ(it[1].regions[0].bytes[0], m.ram[0x6000]);
  EXPECT_EQ(it[4].vicRegs, m.vicRegs);
  EXPECT_EQ(it[0].description, "t");
}

TEST(UndoBuffer, HighestAreasEndAtTheTopOfMemory) {
  Machine m = freshMachine();
  m.bank = 3;
  m.vicRegs[kRegMemPtr] = 0xFE;  // screen $FC00, charset $F800, bitmap $E000
  m.setGfxMode(kModeHires);
  UndoBuffer undo(m);
  undo.TakeScreenUndo("drawing");
  undo.TakeUndo(UndoKind::Charset, "charset change");
  undo.TakeUndo(UndoKind::Sprites, "Edit sprite");
  EXPECT_EQ(layout(undo.undoItems[0]), (Layout{{0xE000, 8192}, {0xFC00, 1000}, {0xD800, 1000}}));
  EXPECT_EQ(layout(undo.undoItems[1]), (Layout{{0xF800, 2048}}));
  EXPECT_EQ(undo.undoItems[2].regions[0].address, 0xFFF8);
}

TEST(UndoBuffer, TextAndBitmapStepsRoundTrip) {
  for (int mode : {kModeText, kModeHires, kModeMultiBitmap}) {
    Machine m = freshMachine();
    m.setGfxMode(mode);
    UndoBuffer undo(m);
    auto before = m.ram;
    undo.TakeScreenUndo("drawing");
    m.ram[m.screenAddr() + 999] ^= 0xFF;
    m.ram[kColorRam] ^= 0xFF;
    if (mode != kModeText) m.ram[m.bitmapAddr() + 8191] ^= 0xFF;
    auto after = m.ram;
    undo.MakeUndo();
    EXPECT_EQ(m.ram, before) << mode;
    EXPECT_TRUE(undo.undoItems.empty());
    ASSERT_EQ(undo.redoItems.size(), 1u);
    undo.MakeRedo();
    EXPECT_EQ(m.ram, after) << mode;
    undo.MakeUndo();
    EXPECT_EQ(m.ram, before) << mode;
  }
}

TEST(UndoBuffer, ScreenStepsArePrefixedByTheRegisters) {
  struct Case {
    int mode;
    const char* label;
    size_t regions;
  };
  const Case cases[] = {
      {kModeText, "textmode drawing", 2},
      {kModeMultiText, "textmode drawing", 2},
      {kModeExtBgText, "textmode drawing", 2},
      {kModeHires, "hires drawing", 3},
      {kModeMultiBitmap, "multicolor drawing", 3},
  };
  for (const Case& c : cases) {
    Machine m = freshMachine();
    m.setGfxMode(c.mode);
    UndoBuffer undo(m);
    undo.TakeScreenUndo("drawing");
    ASSERT_EQ(undo.undoItems.size(), 1u);
    EXPECT_EQ(undo.undoItems[0].description, c.label);
    EXPECT_EQ(undo.undoItems[0].regions.size(), c.regions);
  }
}

TEST(UndoBuffer, SpriteStepRestoresTheBlocksNamedWhenTaken) {
  Machine m = freshMachine();
  m.bank = 2;
  UndoBuffer undo(m);
  uint32_t ptr = m.spritePtrAddr();  // $8400 + 1016
  ASSERT_EQ(ptr, 0x87F8u);
  for (int i = 0; i < 8; ++i) m.ram[ptr + i] = static_cast<uint8_t>(40 + i);
  m.vicRegs[kRegSpriteEnable] = 0x0F;
  auto before = m.ram;
  undo.TakeUndo(UndoKind::Sprites, "Edit sprite");
  const auto& item = undo.undoItems.back();
  ASSERT_EQ(item.regions.size(), 9u);
  EXPECT_EQ(item.regions[0].address, 0x87F8);
  EXPECT_EQ(item.regions[8].address, (2 * 256 + 47) * 64);
  EXPECT_TRUE(item.hasVic);

  // Change the pointers, the data of an old and a new block, the registers and bank.
  m.ram[ptr] = 60;
  uint32_t oldBlock = (2 * 256 + 40) * 64, newBlock = (2 * 256 + 60) * 64;
  m.ram[oldBlock + 5] ^= 0xFF;
  m.ram[newBlock + 5] ^= 0xFF;
  uint8_t changedNew = m.ram[newBlock + 5];
  m.vicRegs[kRegSpriteEnable] = 0xFF;
  m.bank = 0;
  undo.MakeUndo();
  EXPECT_EQ(m.ram[ptr], 40);
  EXPECT_EQ(m.ram[oldBlock + 5], before[oldBlock + 5]);
  EXPECT_EQ(m.ram[newBlock + 5], changedNew);  // never captured
  EXPECT_EQ(m.vicRegs[kRegSpriteEnable], 0x0F);
  EXPECT_EQ(m.bank, 2);
  // Redo brings back what the undo overwrote, bank included.
  undo.MakeRedo();
  EXPECT_EQ(m.ram[ptr], 60);
  EXPECT_EQ(m.vicRegs[kRegSpriteEnable], 0xFF);
  EXPECT_EQ(m.bank, 0);
}

TEST(UndoBuffer, RegisterAndEverythingStepsRoundTrip) {
  Machine m = freshMachine();
  UndoBuffer undo(m);
  undo.TakeUndo(UndoKind::Registers, "register change");
  m.vicRegs[kRegBorder] = 3;
  m.bank = 3;
  m.ram[100] = 1;  // not part of a register step
  undo.MakeUndo();
  EXPECT_EQ(m.vicRegs[kRegBorder], 14);
  EXPECT_EQ(m.bank, 0);
  EXPECT_EQ(m.ram[100], 1);

  auto ram = m.ram;
  auto regs = m.vicRegs;
  undo.TakeUndo(UndoKind::All, "load image");
  m.ram.fill(0x55);
  m.vicRegs.fill(9);
  m.bank = 1;
  undo.MakeUndo();
  EXPECT_EQ(m.ram, ram);
  EXPECT_EQ(m.vicRegs, regs);
  EXPECT_EQ(m.bank, 0);
  undo.MakeRedo();
  EXPECT_EQ(m.ram[0], 0x55);
  EXPECT_EQ(m.vicRegs[0], 9);
  EXPECT_EQ(m.bank, 1);
}

TEST(UndoBuffer, EmptyCapturesLeaveBothListsAlone) {
  Machine m = freshMachine();
  UndoBuffer undo(m);
  undo.TakeUndo(UndoKind::TextScreen, "text");
  undo.TakeUndo(UndoKind::TextScreen, "text");
  undo.MakeUndo();
  ASSERT_EQ(undo.redoItems.size(), 1u);
  int changes = undo.changeCount;
  ASSERT_TRUE(m.charsetIsRom());
  for (int kind : {int{UndoKind::Charset}, 0, -1, 8, 1000}) undo.TakeUndo(kind, "nothing");
  EXPECT_EQ(undo.undoItems.size(), 1u);
  EXPECT_EQ(undo.redoItems.size(), 1u);
  EXPECT_EQ(undo.changeCount, changes);
  // A real step empties the redo list, also one of registers only.
  undo.TakeUndo(UndoKind::Registers, "register change");
  EXPECT_EQ(undo.undoItems.size(), 2u);
  EXPECT_TRUE(undo.redoItems.empty());
}

TEST(UndoBuffer, RangesAreWrappedClippedAndNeverNegative) {
  Machine m = freshMachine();
  UndoBuffer undo(m);
  undo.TakeUndoRange(0xFFF0, 100, "a");
  undo.TakeUndoRange(0x1FFF0, 4, "b");
  undo.TakeUndoRange(-16, 4, "c");
  undo.TakeUndoRange(0x1000, 0, "d");
  undo.TakeUndoRange(0x1000, -5, "e");
  ASSERT_EQ(undo.undoItems.size(), 5u);
  EXPECT_EQ(layout(undo.undoItems[0]), (Layout{{0xFFF0, 16}}));
  EXPECT_EQ(layout(undo.undoItems[1]), (Layout{{0xFFF0, 4}}));
  EXPECT_EQ(layout(undo.undoItems[2]), (Layout{{0xFFF0, 4}}));
  EXPECT_EQ(layout(undo.undoItems[3]), (Layout{{0x1000, 0}}));
  EXPECT_EQ(layout(undo.undoItems[4]), (Layout{{0x1000, 0}}));
  EXPECT_FALSE(undo.undoItems[0].hasVic);
  EXPECT_EQ(undo.undoItems[0].regions[0].bytes[15], m.ram[0xFFFF]);

  // Empty ranges still undo as steps, changing nothing.
  auto ram = m.ram;
  undo.MakeUndo();
  undo.MakeUndo();
  EXPECT_EQ(m.ram, ram);
  // The clipped range restores its 16 bytes.
  undo.MakeUndo();
  undo.MakeUndo();
  m.ram[0xFFFF] ^= 1;
  m.ram[0] ^= 1;
  undo.MakeUndo();
  EXPECT_EQ(m.ram[0xFFFF], ram[0xFFFF]);
  EXPECT_NE(m.ram[0], ram[0]);
}

TEST(UndoBuffer, RestoreClipsRegionsThatWouldPassTheEndOfMemory) {
  Machine m = freshMachine();
  UndoBuffer undo(m);
  UndoBuffer::Item item;
  item.description = "odd";
  UndoBuffer::Region r;
  r.address = 0x1FFF8;  // taken as $FFF8
  r.bytes.assign(100, 0xAA);
  item.regions.push_back(r);
  undo.undoItems.push_back(item);
  uint8_t zero = m.ram[0];
  undo.MakeUndo();
  for (int a = 0xFFF8; a <= 0xFFFF; ++a) EXPECT_EQ(m.ram[a], 0xAA);
  EXPECT_EQ(m.ram[0], zero);
  ASSERT_EQ(undo.redoItems.size(), 1u);
  EXPECT_EQ(layout(undo.redoItems[0]), (Layout{{0xFFF8, 8}}));
}

TEST(UndoBuffer, KeepsTheNewest256Steps) {
  Machine m = freshMachine();
  UndoBuffer undo(m);
  for (int i = 0; i < 300; ++i) undo.TakeUndoRange(i, 1, "step " + std::to_string(i));
  ASSERT_EQ(undo.undoItems.size(), 256u);
  EXPECT_EQ(undo.undoItems.front().description, "step 44");
  EXPECT_EQ(undo.undoItems.back().description, "step 299");
  EXPECT_EQ(undo.changeCount, 300);
}

TEST(UndoBuffer, MergedStepsUndoAndRedoAsOne) {
  Machine m = freshMachine();
  UndoBuffer undo(m);
  auto before = m.ram;
  auto regs = m.vicRegs;
  undo.TakeUndoRange(0x1000, 4, "text");
  m.ram[0x1000] = 1;
  m.ram[0x1001] = 2;
  undo.TakeUndoRange(0x1001, 4, "other");
  m.ram[0x1001] = 3;
  m.ram[0x1004] = 4;
  undo.TakeUndo(UndoKind::Registers, "register change");
  m.vicRegs[kRegBg0] = 0;
  m.bank = 2;
  undo.MergeLast();
  undo.MergeLast();
  ASSERT_EQ(undo.undoItems.size(), 1u);
  const auto& item = undo.undoItems[0];
  EXPECT_EQ(item.description, "text");
  // Newer regions first, so the oldest bytes are written last.
  EXPECT_EQ(layout(item), (Layout{{0x1001, 4}, {0x1000, 4}}));
  EXPECT_TRUE(item.hasVic);
  EXPECT_EQ(item.bank, 0);
  auto after = m.ram;
  auto afterRegs = m.vicRegs;

  undo.MakeUndo();
  EXPECT_EQ(m.ram, before);
  EXPECT_EQ(m.vicRegs, regs);
  EXPECT_EQ(m.bank, 0);
  ASSERT_EQ(undo.redoItems.size(), 1u);
  EXPECT_EQ(undo.redoItems[0].description, "text");
  undo.MakeRedo();
  EXPECT_EQ(m.ram, after);
  EXPECT_EQ(m.vicRegs, afterRegs);
  EXPECT_EQ(m.bank, 2);

  // With one step there is nothing to merge into.
  int changes = undo.changeCount;
  undo.MergeLast();
  EXPECT_EQ(undo.undoItems.size(), 1u);
  EXPECT_EQ(undo.changeCount, changes);
}

TEST(UndoBuffer, MergeKeepsTheOlderRegisterSnapshot) {
  Machine m = freshMachine();
  UndoBuffer undo(m);
  undo.TakeUndo(UndoKind::Registers, "first");
  m.vicRegs[kRegBorder] = 1;
  undo.TakeUndo(UndoKind::Registers, "second");
  m.vicRegs[kRegBorder] = 2;
  undo.MergeLast();
  undo.MakeUndo();
  EXPECT_EQ(m.vicRegs[kRegBorder], 14);
}

TEST(UndoBuffer, NewStepAfterUndoEmptiesRedo) {
  Machine m = freshMachine();
  UndoBuffer undo(m);
  undo.TakeUndoRange(0, 1, "a");
  undo.TakeUndoRange(1, 1, "b");
  undo.MakeUndo();
  undo.MakeUndo();
  EXPECT_EQ(undo.redoItems.size(), 2u);
  EXPECT_EQ(undo.redoItems.back().description, "a");
  undo.MakeRedo();
  EXPECT_EQ(undo.undoItems.back().description, "a");
  EXPECT_EQ(undo.redoItems.back().description, "b");
  undo.TakeUndoRange(2, 1, "c");
  EXPECT_TRUE(undo.redoItems.empty());
  EXPECT_EQ(undo.undoItems.size(), 2u);
}

TEST(UndoBuffer, ChangeCountFollowsEveryChangeOfTheHistory) {
  Machine m = freshMachine();
  UndoBuffer undo(m);
  EXPECT_EQ(undo.changeCount, 0);
  undo.MakeUndo();
  undo.MakeRedo();
  EXPECT_EQ(undo.changeCount, 0);  // empty lists: nothing happened
  undo.TakeScreenUndo("drawing");
  EXPECT_EQ(undo.changeCount, 1);
  undo.MakeUndo();
  EXPECT_EQ(undo.changeCount, 2);
  undo.MakeRedo();
  EXPECT_EQ(undo.changeCount, 3);
  undo.TakeUndoRange(0, 1, "x");
  undo.MergeLast();
  EXPECT_EQ(undo.changeCount, 5);
  undo.Clear();
  EXPECT_EQ(undo.changeCount, 6);
  EXPECT_TRUE(undo.undoItems.empty());
  EXPECT_TRUE(undo.redoItems.empty());
}

TEST(UndoBuffer, KindNamesMatchTheirNumbers) {
  static_assert(UndoKind::TextScreen == 1 && UndoKind::Hires == 2 && UndoKind::Multicolor == 3 &&
                UndoKind::Sprites == 4 && UndoKind::Charset == 5 && UndoKind::Registers == 6 &&
                UndoKind::All == 7);
  Machine m;
  m.reset();
  UndoBuffer undo(m);
  undo.TakeUndo(UndoKind::All, "load image");
  ASSERT_EQ(undo.undoItems.size(), 1u);
  EXPECT_EQ(undo.undoItems.back().regions.at(0).bytes.size(), 65536u);
}
