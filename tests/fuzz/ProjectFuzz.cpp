// Project files: a failed load changes nothing; a file that loads saves
// and loads back to the same document.
#include "core/Machine.h"
#include "tests/fuzz/FuzzUtil.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  Machine m;
  m.reset();
  m.ram[0x1234] = 0x5A;
  const Machine before = m;
  std::string error;
  if (!m.loadProject(bytes, error)) {
    fuzz::check(!error.empty(), "a refused project names its reason");
    fuzz::check(m.ram == before.ram && m.vicRegs == before.vicRegs && m.pen == before.pen && m.bank == before.bank &&
                    m.monitorScreen == before.monitorScreen,
                "a refused project leaves the document unchanged");
    return 0;
  }
  fuzz::check(m.pen >= 0 && m.pen <= 15 && m.bank <= 3, "pen and bank in range");
  const std::vector<uint8_t> saved = m.saveProject();
  fuzz::check(saved.size() == kProjectFileSize, "saved size");
  Machine back;
  fuzz::check(back.loadProject(saved, error), "a saved project loads");
  fuzz::check(back.ram == m.ram && back.vicRegs == m.vicRegs && back.pen == m.pen && back.bank == m.bank &&
                  back.monitorScreen == m.monitorScreen,
              "a saved project reads back");
  return 0;
}
