// Writes the seed corpus of every harness from the program's own writers:
// `fuzz_seeds DIR` fills DIR/<harness>/ with a few small inputs in each
// harness's input layout. Run once when a harness or a writer changes; the
// output is committed under tests/fuzz/corpus/.
#include "app/SettingsFile.h"
#include "convert/PictureFile.h"
#include "core/FileFormats.h"
#include "disk/DiskDrive.h"
#include "tests/SaveFaults.h"
#include "tests/TestFonts.h"
#include "tests/TestPictures.h"
#include "tests/convert/ConvertTestUtil.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;
using testfonts::join;

fs::path g_root;

void seed(const std::string& harness, const std::string& name, const Bytes& bytes) {
  fs::create_directories(g_root / harness);
  std::ofstream(g_root / harness / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void seed(const std::string& harness, const std::string& name, const std::string& text) {
  seed(harness, name, Bytes(text.begin(), text.end()));
}

// The document part of the conversion harnesses' inputs: bank, $D011,
// $D016, $D018, $D021-$D023, the address mix and the memory run.
Bytes documentBytes(uint8_t bank, uint8_t d011, uint8_t d016, uint8_t d018, uint8_t mix, const Bytes& run) {
  const auto size = static_cast<uint16_t>(run.size());
  return join({{bank, d011, d016, d018, 6, 1, 2, mix, static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8)}, run});
}

// A smooth picture of w x h words, red across, green down.
Bytes gradient(int w, int h) {
  Bytes out;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      out.insert(out.end(), {static_cast<uint8_t>(x * 255 / w), static_cast<uint8_t>(y * 255 / h), 96, 255});
  return out;
}

// A document with something in every part a picture file holds.
Machine drawnDocument(int mode) {
  Machine m;
  m.reset();
  m.setGfxMode(mode);
  for (int i = 0; i < 0x10000; ++i) m.ram[i] = static_cast<uint8_t>(i * 37 + (i >> 8));
  m.vicRegs[kRegBg0] = 11;
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  g_root = argv[1];

  Machine reset;
  reset.reset();
  seed("project", "reset.tpr", reset.saveProject());
  Bytes cut = drawnDocument(kModeHires).saveProject();
  cut.resize(100);
  seed("project", "truncated.tpr", cut);

  // Picture harness: 0 (picture), row + 1, bank, $D018, file.
  const Machine multi = drawnDocument(kModeMultiBitmap), hires = drawnDocument(kModeHires);
  seed("picture", "koala", join({{0, 1, 0, 0x18}, FileFormats::saveKoala(multi)}));
  seed("picture", "doodle", join({{0, 9, 0, 0x18}, FileFormats::saveDoodle(hires)}));
  seed("picture", "raw1", join({{0, 7, 0, 0x18}, Bytes(800, 0x55)}));
  seed("picture", "drazlace-packed", join({{0, 28, 0, 0x18, 0x00, 0x58}, Bytes{'D', 'R', 'A', 'Z', 'L', 'A', 'C', 'E', '!', ' ', '1', '.', '0'}}));
  // PRG: 1, then the file.
  seed("picture", "prg", join({{1}, FileFormats::savePrg(hires, 0xFFF0, 100)}));

  // Sprites and character sets: kind and name, bank, $D018, sprite, file.
  seed("spritecharset", "sprites.prg", join({{0x80, 0, 0x14, 16}, FileFormats::savePrg(hires, 0x2000, 128)}));
  seed("spritecharset", "sprite.spr", join({{0x81, 1, 0x14, 255}, Bytes(64, 0x3C)}));
  seed("spritecharset", "charset.chr", join({{4, 0, 0x1C, 0}, Bytes(2048, 0x81)}));
  seed("spritecharset", "charset.64c", join({{5, 3, 0x1C, 0}, FileFormats::savePrg(hires, 0x3000, 2048)}));

  SettingsValues settings;
  seed("settings", "defaults.ini", writeSettings(settings));
  seed("settings", "odd.ini", "Palette=99\nZoom=30\nUiScale=0.4\nCustom_3_X=77\nwin.calc=1\nGridColor=-2x\n");

  // D64: flags, then patches (where, offset, bytes).
  seed("d64", "plain", Bytes{0});
  seed("d64", "replace", Bytes{0x10});
  seed("d64", "gap", Bytes{0, 0x9F, 0x22, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  seed("d64", "scratched", Bytes{0, 0x80, 0x22, 0x01, 0x00});

  // Host directories: kind, name length, name, extension flag, contents.
  seed("hostdir", "files", Bytes{0, 1, 'a', 1, 3, 0x01, 0x08, 0x60, 2, 3, 's', 'u', 'b', 1, 4, 3, 'o', 'u', 't', 1,
                                  5, 1, 'l', 1, 1, 'a', 1, 3, 'n', 'e', 'w', 0});

  seed("assembler", "program.asm",
       "; a program\n*=$C000\nstart   LDA #<table\n        STA $FB\nloop    LDA (ptr),Y\n        BNE loop\n"
       "        JMP start\nptr = $FB\ntable   .BYTE 1,2,$FF,'a'\n        .WORD start, *\n        .TEXT \"HI;THERE\"\n"
       "        .WORDHL table\n");
  seed("assembler", "top.asm", "*=$FFFE\n.byte 1,2,3\n");

  for (const char* line : {"LDA #$01", "JMP ($1234)", "BNE $C010", "STA $D020,X", "ASL A", "LDX ($20),Y"})
    seed("lineassembler", std::string(line).substr(0, 3), join({{0x00, 0xC0}, Bytes(line, line + std::string(line).size())}));

  // Saves: kind (0 ordinary, 1 linked, 2 absent, 3 refusing directory), old
  // size, new size, seed, space (bit 15: no limit), chunk (bit 7: limited),
  // then faults: call, use - 1, error (index in the harness's table:
  // 3 EIO, 8 EOPNOTSUPP).
  using namespace savefaults;
  seed("writefile", "full-disk", Bytes{0, 0x10, 0x27, 0x30, 0x75, 1, 0xB8, 0x0B, 0});
  seed("writefile", "linked-no-reservation", Bytes{1, 0x10, 0x27, 0x60, 0xEA, 2, 0x00, 0x04, 0x81, Fallocate, 0, 8});
  seed("writefile", "linked-shrink-fails", Bytes{1, 0x28, 0x23, 0xA0, 0x0F, 3, 0xFF, 0xFF, 0, Ftruncate, 0, 3});
  seed("writefile", "refused-fsync-fails", Bytes{3, 0xA0, 0x0F, 0x28, 0x23, 4, 0xFF, 0xFF, 0, Fsync, 0, 3});
  seed("writefile", "new-rename-fails", Bytes{2, 0, 0, 0x88, 0x13, 5, 0xFF, 0xFF, 0, Rename, 0, 3});

  // Picture import: the file. Beside the pictures another program wrote
  // (committed as they are), files the full decoder would read by their
  // content and the import must refuse: a 16-bit PGM header, a Radiance
  // picture cut inside its first run-length scan line, and the header of a
  // Softimage PIC picture.
  seed("importpicture", "pgm16-header.pgm", "P5\n4096 4096\n65535\n");
  const std::string hdr = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 8 +X 8\n";
  seed("importpicture", "cut-rle.hdr", join({Bytes(hdr.begin(), hdr.end()), {2, 2, 0, 8, 0x81, 0x10, 0}}));
  Bytes pic = {0x53, 0x80, 0xF6, 0x34, 0x40, 0x6D, 0x70, 0xA4};  // magic, version 3.71
  pic.resize(88);                                                 // empty comment
  seed("importpicture", "header.pic",
       join({pic, {'P', 'I', 'C', 'T', 0, 2, 0, 1, 0x3F, 0x80, 0, 0, 0, 3, 0, 0, 0, 8, 0, 0xF0}}));
  // Files that reach the bounds on the decoder's work: a progressive JPEG
  // of one scan more than allowed, behind data and fill bytes; a GIF whose
  // data stands for one pixel more than its screen; a PNG of 1 x 1 whose
  // data inflates to 1 MiB.
  namespace tp = testpictures;
  std::vector<Bytes> scans = {tp::jpegScan({1}, 0, 0)};
  while (scans.size() <= kJpegMaxScans) scans.push_back(join({{0, 0, 0xFF, 0xFF}, tp::jpegScan({1}, 1, 63)}));
  seed("importpicture", "many-scans.jpg", tp::jpegFile(tp::jpegFrame(true, 16, 16, {0x11}), scans));
  tp::LzwWriter lzw;
  lzw.clear();
  for (int i = 0; i < 65; ++i) lzw.code(i & 3);
  seed("importpicture", "excess.gif", lzw.gif(8, 8));
  tp::Deflater zeros(true);
  zeros.feed(Bytes(1 << 20, 0));
  seed("importpicture", "excess.png", tp::pngFile(1, 1, 8, 0, false, zeros.finish()));
  // A JPEG of one Huffman table more than allowed, one whose scan names a
  // DC table no segment defined, and a PNG whose data begins with empty
  // deflate blocks (the decoder's process bounds the time of many).
  Bytes emptyTables;
  for (int i = 0; i < 999; ++i) emptyTables.insert(emptyTables.end(), {0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  seed("importpicture", "many-tables.jpg",
       tp::jpegFile(join({tp::jpegFrame(false, 16, 16, {0x11}), tp::jpegSegment(0xC4, emptyTables)}), {tp::jpegScan({1})}));
  seed("importpicture", "undefined-table.jpg",
       tp::jpegFile(tp::jpegFrame(false, 16, 16, {0x11}), {tp::jpegScan({1}, 0, 63, 0, 0, 0x10)}));
  tp::Deflater emptyBlocks(false, 1000);
  emptyBlocks.feed(Bytes(2, 0));
  seed("importpicture", "empty-blocks.png", tp::pngFile(1, 1, 8, 0, false, emptyBlocks.finish()));

  // Fonts made here; run.sh adds the Liberation fonts at run time. A square
  // on digits and letters, composites within and far past the budgets, an
  // outline far outside the cell, CFF charstrings with subroutines and hint
  // masks, subroutines calling subroutines a thousand times each, and fonts
  // with a family name FreeType hints regardless: one whose glyph program
  // walks 3000 points until FreeType's limit of a million instructions
  // (seconds per load if it ran), one with a moving glyph program and an
  // endless prep.
  namespace tf = testfonts;
  using tf::cs;
  const std::vector<std::pair<uint32_t, uint16_t>> letters = {{'0', 1}, {'A', 1}, {'a', 1}};
  seed("font", "truetype-square.ttf", tf::trueTypeFont({{}, tf::squareGlyph()}, letters));
  seed("font", "truetype-composite.ttf", tf::trueTypeFont(tf::nested(2, 3), letters));
  seed("font", "truetype-nested-50x4.ttf", tf::trueTypeFont(tf::nested(4, 50), {}));
  tf::Glyph zigzag;
  zigzag.contours.resize(1);
  for (int i = 0; i < 300; ++i) zigzag.contours[0].push_back({(i % 2) ? 30000 : -30000, (i % 4) < 2 ? -20000 : 20000});
  seed("font", "truetype-far.ttf", tf::trueTypeFont({tf::squareGlyph(), zigzag}, letters, 1, 0));
  const Bytes ret = cs({}, 11), end = cs({}, 14);
  const Bytes hinted = tf::join({cs({0, 20, 500, 20, 100, 20}, 18), cs({}, 19), {0xA0}, tf::calls(0, 1), end});
  seed("font", "cff-square.otf", tf::cffFont({end, hinted}, {{tf::join({tf::squarePath(), ret})}}, {ret}, letters));
  seed("font", "cff-subroutines.otf",
       tf::cffFont({end, tf::join({tf::squarePath(), tf::calls(0, 1000), end})},
                   {{tf::join({tf::calls(1, 1000), ret}), tf::join({tf::calls(2, 1000), ret}), ret}}, {}, letters));
  seed("font", "truetype-tricky-loop.ttf", tf::hintedFont(tf::kTrickyFamily, 3000, tf::forever(Bytes(10000, tf::kIupY))));
  seed("font", "truetype-tricky-prep.ttf", tf::hintedFont(tf::kTrickyFamily, 4, tf::shiftRight(4, 400), tf::forever({})));

  // Processor: pc, a, x, y, sp, p, program.
  seed("cpu", "loop", Bytes{0x00, 0xC0, 0, 0, 0, 0xFF, 0x24, 0xA2, 0x00, 0xE8, 0x9D, 0x20, 0xD0, 0xD0, 0xFA, 0x60});
  seed("cpu", "stack", Bytes{0x00, 0x10, 1, 2, 3, 0x10, 0x00, 0x48, 0x08, 0x20, 0x00, 0x10, 0x40});
  // Colour reduction: flags (bit 0 multicolour, 1 zoom to fit, 2 keep
  // aspect), colours, dither, background + 2, width - 1, height - 1,
  // palette, document, pixels.
  seed("colorreduce", "multi-fit", join({{3, 2, 1, 1, 32, 0, 20, 0}, presetBytes(0),
                                         documentBytes(1, 0x1B, 0x08, 0x14, 0, {}), gradient(33, 21)}));
  seed("colorreduce", "hires-odd-unscaled", join({{0, 1, 3, 0, 64, 1, 8, 0}, presetBytes(3),
                                                  documentBytes(0, 0x1B, 0x08, 0x10, 1, Bytes(40, 0x5A)), gradient(7, 3)}));
  // PETSCII: flags (bit 0 reversed, 1 no letters, 2 zoom to fit, 3 keep
  // aspect, 4 cut the picture short by bits 5-7), charset, colours,
  // background + 2, detail, width - 1, height - 1, palette, document, pixels.
  seed("petscii", "rom-upper", join({{5, 0, 2, 1, 128, 39, 0, 24, 0}, presetBytes(0),
                                     documentBytes(3, 0x1B, 0x08, 0x16, 1, {}), gradient(40, 25)}));
  seed("petscii", "current-ram", join({{0x76, 2, 1, 2, 228, 10, 1, 150, 0}, presetBytes(5),
                                       documentBytes(0, 0x1B, 0x08, 0x1C, 0x0D, {}), gradient(9, 9)}));
  // Bitmap to charset: slot + 1, merge, palette preset, document. The mixed
  // bitmap has 1000 different cells.
  seed("bitmapcharset", "hires-merge", join({{2, 1, 0}, documentBytes(0, 0x3B, 0x08, 0x18, 1, {})}));
  seed("bitmapcharset", "multi-few", join({{8, 0, 2}, documentBytes(0, 0x3B, 0x18, 0x18, 0, Bytes{0x1B, 0xE4, 0x00, 0xFF,
                                                                                                     0x55, 0xAA, 0x27, 0x72})}));
  seed("bitmapcharset", "text-refused", join({{3, 0, 0}, documentBytes(1, 0x1B, 0x08, 0x14, 0, {})}));
  return 0;
}
