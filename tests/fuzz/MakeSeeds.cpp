// Writes the seed corpus of every harness from the program's own writers:
// `fuzz_seeds DIR` fills DIR/<harness>/ with a few small inputs in each
// harness's input layout. Run once when a harness or a writer changes; the
// output is committed under tests/fuzz/corpus/.
#include "app/SettingsFile.h"
#include "core/FileFormats.h"
#include "disk/DiskDrive.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

fs::path g_root;

void seed(const std::string& harness, const std::string& name, const Bytes& bytes) {
  fs::create_directories(g_root / harness);
  std::ofstream(g_root / harness / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void seed(const std::string& harness, const std::string& name, const std::string& text) {
  seed(harness, name, Bytes(text.begin(), text.end()));
}

Bytes cat(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
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
  seed("picture", "koala", cat({0, 1, 0, 0x18}, FileFormats::saveKoala(multi)));
  seed("picture", "doodle", cat({0, 9, 0, 0x18}, FileFormats::saveDoodle(hires)));
  seed("picture", "raw1", cat({0, 7, 0, 0x18}, Bytes(800, 0x55)));
  seed("picture", "drazlace-packed", cat({0, 28, 0, 0x18, 0x00, 0x58}, Bytes{'D', 'R', 'A', 'Z', 'L', 'A', 'C', 'E', '!', ' ', '1', '.', '0'}));
  // PRG: 1, then the file.
  seed("picture", "prg", cat({1}, FileFormats::savePrg(hires, 0xFFF0, 100)));

  // Sprites and character sets: kind and name, bank, $D018, sprite, file.
  seed("spritecharset", "sprites.prg", cat({0x80, 0, 0x14, 16}, FileFormats::savePrg(hires, 0x2000, 128)));
  seed("spritecharset", "sprite.spr", cat({0x81, 1, 0x14, 255}, Bytes(64, 0x3C)));
  seed("spritecharset", "charset.chr", cat({4, 0, 0x1C, 0}, Bytes(2048, 0x81)));
  seed("spritecharset", "charset.64c", cat({5, 3, 0x1C, 0}, FileFormats::savePrg(hires, 0x3000, 2048)));

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
    seed("lineassembler", std::string(line).substr(0, 3), cat({0x00, 0xC0}, Bytes(line, line + std::string(line).size())));

  // Picture import: the file. Beside the pictures another program wrote
  // (committed as they are), files the full decoder would read by their
  // content and the import must refuse: a 16-bit PGM header, a Radiance
  // picture cut inside its first run-length scan line, and the header of a
  // Softimage PIC picture.
  seed("importpicture", "pgm16-header.pgm", "P5\n4096 4096\n65535\n");
  const std::string hdr = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 8 +X 8\n";
  seed("importpicture", "cut-rle.hdr", cat(Bytes(hdr.begin(), hdr.end()), {2, 2, 0, 8, 0x81, 0x10, 0}));
  Bytes pic = {0x53, 0x80, 0xF6, 0x34, 0x40, 0x6D, 0x70, 0xA4};  // magic, version 3.71
  pic.resize(88);                                                 // empty comment
  seed("importpicture", "header.pic",
       cat(pic, {'P', 'I', 'C', 'T', 0, 2, 0, 1, 0x3F, 0x80, 0, 0, 0, 3, 0, 0, 0, 8, 0, 0xF0}));

  // Processor: pc, a, x, y, sp, p, program.
  seed("cpu", "loop", Bytes{0x00, 0xC0, 0, 0, 0, 0xFF, 0x24, 0xA2, 0x00, 0xE8, 0x9D, 0x20, 0xD0, 0xD0, 0xFA, 0x60});
  seed("cpu", "stack", Bytes{0x00, 0x10, 1, 2, 3, 0x10, 0x00, 0x48, 0x08, 0x20, 0x00, 0x10, 0x40});
  return 0;
}
