// Every picture format: the first input byte picks the row, the rest is the
// file. A refused file changes nothing but (for a too-short chunk file) the
// graphics mode; Koala and Doodle files of full size save back to the same
// bytes, and PRG loads copy exactly what the file holds.
#include "core/FileFormats.h"
#include "tests/fuzz/FuzzUtil.h"

#include <algorithm>

namespace {

void pictureFormats(fuzz::Input& in) {
  const int row = in.byte() % (FileFormats::count() + 2) - 1;  // -1..29: the table and just outside it
  Machine m;
  m.reset();
  m.bank = in.byte() & 3;
  m.vicRegs[kRegMemPtr] = in.byte();
  const std::vector<uint8_t> file = in.rest();
  const Machine before = m;
  const bool ok = FileFormats::load(m, row, file);
  if (!ok) {
    fuzz::check(m.ram == before.ram, "a refused picture leaves memory unchanged");
    return;
  }
  const int koala = FileFormats::findByExtension("koa"), doodle = FileFormats::findByExtension("dd");
  // Where the registers put bitmap, screen and colour memory on top of each
  // other, a later part overwrites an earlier one and no save can match.
  const uint32_t bitmap = m.bitmapAddr(), screen = m.screenAddr();
  const bool koalaApart = fuzz::apart(bitmap, kBitmapSize, screen, kScreenCells) &&
                          fuzz::apart(bitmap, kBitmapSize, kColorRam, kScreenCells) &&
                          fuzz::apart(screen, kScreenCells, kColorRam, kScreenCells);
  if (row == koala && file.size() >= FileFormats::kKoalaFileSize && koalaApart) {
    const std::vector<uint8_t> saved = FileFormats::saveKoala(m);
    fuzz::check(std::equal(saved.begin() + 2, saved.end(), file.begin() + 2), "a Koala file saves back unchanged");
  }
  if (row == doodle && file.size() >= FileFormats::kDoodleFileSize &&
      fuzz::apart(bitmap, kBitmapSize, screen, FileFormats::kDoodleScreenBlock)) {
    // The 24 bytes after the screen are not part of the picture: the file's
    // are not loaded, the document's are saved.
    const std::vector<uint8_t> saved = FileFormats::saveDoodle(m);
    const size_t screenEnd = 2 + kScreenCells, bitmapStart = 2 + FileFormats::kDoodleScreenBlock;
    fuzz::check(std::equal(saved.begin() + 2, saved.begin() + screenEnd, file.begin() + 2) &&
                    std::equal(saved.begin() + bitmapStart, saved.end(), file.begin() + bitmapStart),
                "a Doodle file saves back unchanged");
  }
}

void prgFiles(fuzz::Input& in) {
  Machine m;
  const std::vector<uint8_t> file = in.rest();
  int address = -1;
  const int n = FileFormats::loadPrg(m, file, address);
  if (file.size() < 2) {
    fuzz::check(n == 0 && address == -1, "a PRG without its address loads nothing");
    return;
  }
  fuzz::check(address == (file[0] | file[1] << 8), "load address");
  fuzz::check(n == static_cast<int>(std::min<size_t>(file.size() - 2, 0x10000 - address)), "PRG clipped at $FFFF");
  const std::vector<uint8_t> saved = FileFormats::savePrg(m, address, n);
  fuzz::check(std::equal(saved.begin(), saved.end(), file.begin()), "a PRG saves back to the bytes loaded");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  if (in.byte() & 1)
    prgFiles(in);
  else
    pictureFormats(in);
  return 0;
}
