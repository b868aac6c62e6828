// Capture, restore, merge and trimming of undo and redo steps.
#include "core/UndoBuffer.h"

#include <algorithm>
#include <utility>

namespace {

constexpr uint32_t kAddrMask = 0xFFFF;
constexpr uint32_t kSpriteCount = 8;

// Bytes from address on that stay inside the 64 KB image.
size_t clippedLength(uint32_t address, size_t length) {
  return std::min<size_t>(length, static_cast<size_t>(kRamSize) - address);
}

UndoBuffer::Region captureRegion(const Machine& m, uint32_t address, size_t length) {
  address &= kAddrMask;
  length = clippedLength(address, length);
  UndoBuffer::Region r;
  r.address = static_cast<int32_t>(address);
  r.bytes.assign(m.ram.begin() + address, m.ram.begin() + address + length);
  return r;
}

}  // namespace

void UndoBuffer::TakeUndo(int kind, const std::string& description) {
  const Machine& m = *machine;
  Item item;
  item.description = description;
  item.bank = m.bank;
  switch (kind) {
    case UndoKind::TextScreen:
      item.regions.push_back(captureRegion(m, m.screenAddr(), kScreenCells));
      item.regions.push_back(captureRegion(m, kColorRam, kScreenCells));
      break;
    case UndoKind::Hires:
    case UndoKind::Multicolor:
      // The whole reserved 8 KB, so the unused tail of the bitmap is kept too.
      item.regions.push_back(captureRegion(m, m.bitmapAddr(), kBitmapSlotSize));
      item.regions.push_back(captureRegion(m, m.screenAddr(), kScreenCells));
      item.regions.push_back(captureRegion(m, kColorRam, kScreenCells));
      break;
    case UndoKind::Sprites: {
      uint32_t pointers = m.spritePtrAddr();
      item.regions.push_back(captureRegion(m, pointers, kSpriteCount));
      // The blocks named now; undo restores them even if the pointers change.
      for (uint32_t i = 0; i < kSpriteCount; ++i)
        item.regions.push_back(captureRegion(m, m.spriteBlockAddr(m.ram[(pointers + i) & kAddrMask]), kSpriteBlockSize));
      item.hasVic = true;
      break;
    }
    case UndoKind::Charset:
      if (!m.charsetIsRom()) item.regions.push_back(captureRegion(m, m.charsetAddr(), kCharsetSize));
      break;
    case UndoKind::Registers:
      item.hasVic = true;
      break;
    case UndoKind::All:
      item.regions.push_back(captureRegion(m, 0, kRamSize));
      item.hasVic = true;
      break;
    default:
      break;
  }
  if (item.hasVic) std::copy(m.vicRegs.begin(), m.vicRegs.end(), item.vicRegs.begin());
  // A step that would restore nothing is not a step.
  if (item.regions.empty() && !item.hasVic) return;
  push(std::move(item));
}

void UndoBuffer::TakeUndoRange(int address, int length, const std::string& description) {
  Item item;
  item.description = description;
  item.bank = machine->bank;
  // A negative length saves nothing rather than a huge range.
  size_t n = length > 0 ? static_cast<size_t>(length) : 0;
  item.regions.push_back(captureRegion(*machine, static_cast<uint32_t>(address), n));
  push(std::move(item));
}

void UndoBuffer::TakeScreenUndo(const std::string& description) {
  const Machine& m = *machine;
  if (!m.isBitmap())
    TakeUndo(UndoKind::TextScreen, "textmode " + description);
  else if (m.isMulticolor())
    TakeUndo(UndoKind::Multicolor, "multicolor " + description);
  else
    TakeUndo(UndoKind::Hires, "hires " + description);
}

void UndoBuffer::push(Item&& item) {
  undoItems.push_back(std::move(item));
  if (undoItems.size() > static_cast<size_t>(kUndoLimit))
    undoItems.erase(undoItems.begin(), undoItems.end() - kUndoLimit);
  redoItems.clear();
  ++changeCount;
}

void UndoBuffer::MakeUndo() {
  if (undoItems.empty()) return;
  Item item = std::move(undoItems.back());
  undoItems.pop_back();
  redoItems.push_back(snapshot(item));
  restore(item);
  ++changeCount;
}

void UndoBuffer::MakeRedo() {
  if (redoItems.empty()) return;
  Item item = std::move(redoItems.back());
  redoItems.pop_back();
  undoItems.push_back(snapshot(item));
  restore(item);
  ++changeCount;
}

void UndoBuffer::MergeLast() {
  if (undoItems.size() < 2) return;
  Item newest = std::move(undoItems.back());
  undoItems.pop_back();
  Item& older = undoItems.back();
  // Newer regions first: on restore the older bytes, taken before both
  // changes, are written last and win.
  for (Region& r : older.regions) newest.regions.push_back(std::move(r));
  older.regions = std::move(newest.regions);
  if (!older.hasVic && newest.hasVic) {
    older.hasVic = true;
    older.vicRegs = newest.vicRegs;
    older.bank = newest.bank;
  }
  ++changeCount;
}

void UndoBuffer::Clear() {
  undoItems.clear();
  redoItems.clear();
  ++changeCount;
}

UndoBuffer::Item UndoBuffer::snapshot(const Item& item) const {
  const Machine& m = *machine;
  Item s;
  s.description = item.description;
  s.regions.reserve(item.regions.size());
  for (const Region& r : item.regions)
    s.regions.push_back(captureRegion(m, static_cast<uint32_t>(r.address), r.bytes.size()));
  s.hasVic = item.hasVic;
  if (s.hasVic) s.vicRegs = m.vicRegs;
  s.bank = m.bank;
  return s;
}

void UndoBuffer::restore(const Item& item) {
  Machine& m = *machine;
  for (const Region& r : item.regions) {
    uint32_t address = static_cast<uint32_t>(r.address) & kAddrMask;
    size_t n = clippedLength(address, r.bytes.size());
    std::copy_n(r.bytes.begin(), n, m.ram.begin() + address);
  }
  if (item.hasVic) {
    m.vicRegs = item.vicRegs;
    m.bank = item.bank;
  }
}
