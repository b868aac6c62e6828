// Sprite and character-set files through the load actions: the first byte
// picks the kind and the file name's extension, two more the bank and
// $D018. Every load takes its undo step first, so undoing it must bring
// the memory back exactly.
#include "app/FileCompletions.h"
#include "tests/fuzz/FuzzUtil.h"

namespace {
constexpr const char* kNames[] = {"s.prg", "s.bin", "s.spr", "s.raw", "c.chr", "c.64c", "c.PRG", "noext"};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t pick = in.byte();
  Machine m;
  m.reset();
  m.bank = in.byte() & 3;
  m.vicRegs[kRegMemPtr] = in.byte();
  int currentSprite = in.byte() - 16;  // a little outside 0-255 too
  UndoBuffer undo(m);
  const std::string name = kNames[pick % std::size(kNames)];
  const std::vector<uint8_t> file = in.rest();
  const Machine before = m;
  if (pick & 0x80) {
    Actions::completeLoadSprites(m, undo, currentSprite, name, file);
  } else {
    const bool refused = Actions::charsetLoadRefused(m, name);
    Actions::completeLoadCharset(m, undo, name, file);
    if (refused) {
      fuzz::check(m.ram == before.ram, "a refused character set changes nothing");
      return 0;
    }
  }
  undo.MakeUndo();
  fuzz::check(m.ram == before.ram, "undoing a load restores memory");
  return 0;
}
