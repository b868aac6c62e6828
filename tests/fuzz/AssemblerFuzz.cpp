// The source assembler on any text: the message list stays bounded, and a
// run that fails in its first pass writes nothing.
#include "cpu/Assembler.h"
#include "tests/fuzz/FuzzUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Machine m;
  m.ram.fill(0xEE);
  Assembler as(m);
  const bool ok = as.assemble(std::string(reinterpret_cast<const char*>(data), size));
  fuzz::check(as.messages.size() <= kAsmMaxMessages + 1, "the message list is bounded");
  bool written = false;
  for (uint8_t b : m.ram) written = written || b != 0xEE;
  if (!ok && !as.finalPass) fuzz::check(!written, "a first pass that fails writes nothing");
  if (ok) fuzz::check(as.finalAddr <= kAsmMemoryEnd, "the final address lies in memory");
  return 0;
}
