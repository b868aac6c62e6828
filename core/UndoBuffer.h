// Undo and redo history of the document as saved copies of memory ranges
// and, where needed, of the video-chip registers and bank. Every change made
// from the user interface first takes a step naming what it is about to
// change; undo and redo each save what they overwrite, so they can be
// repeated back and forth. The application holds one UndoBuffer bound to
// its Machine.
#pragma once

#include "core/Machine.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Capture kinds of UndoBuffer::TakeUndo (a plain int; other values capture
// nothing), named UndoKind::All and so on.
namespace UndoKind {
enum : int {
  TextScreen = 1,  // video matrix and colour memory
  Hires = 2,       // bitmap, video matrix and colour memory
  Multicolor = 3,  // same ranges as hires
  Sprites = 4,     // sprite pointers, the 8 blocks they name, registers
  Charset = 5,     // the character set in RAM (nothing when it is the ROM)
  Registers = 6,   // registers and bank only
  All = 7,         // all 64 KB and the registers
};
}  // namespace UndoKind

constexpr int kUndoLimit = 256;  // undo steps kept; older ones are dropped

class UndoBuffer {
public:
  struct Region {
    int32_t address = 0;         // 0-65535
    std::vector<uint8_t> bytes;  // saved contents from address on
  };

  struct Item {
    std::string description;      // shown after "Undo " / "Redo "
    std::vector<Region> regions;  // restored in order
    bool hasVic = false;          // holds a register snapshot
    std::array<uint8_t, kVicRegCount> vicRegs{};
    uint16_t bank = 0;            // restored only together with the registers
  };

  Machine* machine;
  std::vector<Item> undoItems;  // oldest first
  std::vector<Item> redoItems;  // oldest first
  // Grows on every change of the history (step taken, undo, redo, merge,
  // clear), so callers can tell when it changed behind their back.
  int changeCount = 0;

  explicit UndoBuffer(Machine* m) : machine(m) {}
  explicit UndoBuffer(Machine& m) : machine(&m) {}

  void TakeUndo(int kind, const std::string& description);
  void TakeUndoRange(int address, int length, const std::string& description);
  // Kind and label prefix by the registers: "textmode ", "hires " or "multicolor ".
  void TakeScreenUndo(const std::string& description);
  void MakeUndo();
  void MakeRedo();
  // Folds the newest step into the one before it (keeping the older label).
  void MergeLast();
  void Clear();

private:
  void push(Item&& item);
  Item snapshot(const Item& item) const;
  void restore(const Item& item);
};
