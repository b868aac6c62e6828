// File actions once a file is chosen, without the App: the exact messages
// (hex numbers, exclusive ends), the undo steps they take, the sprite and
// character-set edge cases, the PNG and executable exports and the
// dropped-file rules.
#include "app/FileCompletions.h"

#include "core/FileFormats.h"
#include "core/Vic.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>
#include <stb_image.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Actions::Message;

Machine freshMachine() {
  Machine m;
  m.reset();
  return m;
}

Bytes prg(uint16_t address, const Bytes& data) {
  Bytes b(data.size() + 2);
  b[0] = static_cast<uint8_t>(address & 0xFF);
  b[1] = static_cast<uint8_t>(address >> 8);
  std::copy(data.begin(), data.end(), b.begin() + 2);
  return b;
}

Bytes pattern(size_t count, int seed) {
  Bytes b(count);
  for (size_t i = 0; i < count; ++i) b[i] = static_cast<uint8_t>(i * 13 + seed);
  return b;
}

std::string lastLabel(const UndoBuffer& u) { return u.undoItems.empty() ? "" : u.undoItems.back().description; }

TEST(FileCompletionsTest, FilterListsEndWithAllFiles) {
  const auto all = Actions::imageFormatFilters(-1);
  ASSERT_EQ(all.size(), static_cast<size_t>(FileFormats::count() + 2));
  EXPECT_EQ(all.front().name, "All image formats");
  size_t extCount = 0;
  for (int i = 0; i < FileFormats::count(); ++i) extCount += FileFormats::extensions(i).size();
  EXPECT_EQ(all.front().exts.size(), extCount);  // repeats such as "raw" stay
  EXPECT_EQ(all[1].name, "Koala Image");
  EXPECT_EQ(all.back().name, "All files");
  EXPECT_TRUE(all.back().exts.empty());

  const auto one = Actions::imageFormatFilters(8);
  ASSERT_EQ(one.size(), 2u);
  EXPECT_EQ(one[0].name, "Doodle");
  EXPECT_EQ(one[0].exts, std::vector<std::string>{"dd"});
  EXPECT_EQ(one[1].name, "All files");

  const auto sprites = Actions::spriteFilters();
  ASSERT_EQ(sprites.size(), 2u);
  EXPECT_EQ(sprites[0].name, "Sprite files (*.prg;*.bin;*.spr;*.raw)");
  EXPECT_EQ(Actions::charsetFilters()[0].exts, (std::vector<std::string>{"prg", "bin", "chr", "64c", "raw"}));
}

TEST(FileCompletionsTest, MemoryLoadReportsHexCountAndExclusiveEnd) {
  Machine m = freshMachine();
  UndoBuffer undo(m);
  const Bytes before(m.ram.begin(), m.ram.end());
  const uint8_t border = m.vicRegs[kRegBorder];

  EXPECT_EQ(Actions::completeLoadMemory(m, undo, prg(0xC000, {1, 2, 3})),
            (Message{"Success!", "$0003 bytes read from $C000 to $C003"}));
  EXPECT_EQ(m.ram[0xC002], 3);
  ASSERT_EQ(undo.undoItems.size(), 1u);
  EXPECT_EQ(lastLabel(undo), "load memory");

  // The step covers all 64 KB and the registers.
  m.vicRegs[kRegBorder] = border ^ 1;
  undo.MakeUndo();
  EXPECT_EQ(Bytes(m.ram.begin(), m.ram.end()), before);
  EXPECT_EQ(m.vicRegs[kRegBorder], border);

  // A bare load address reads nothing but is a valid PRG.
  EXPECT_EQ(Actions::completeLoadMemory(m, undo, prg(0xC000, {})),
            (Message{"Success!", "$0000 bytes read from $C000 to $C000"}));
  // Data running past $FFFF is clipped; the end is $10000.
  EXPECT_EQ(Actions::completeLoadMemory(m, undo, prg(0xFFFE, {9, 9, 9})).text,
            "$0002 bytes read from $FFFE to $10000");
}

TEST(FileCompletionsTest, PrgShorterThanItsAddressIsAnError) {
  for (const Bytes& file : {Bytes{}, Bytes{0x00}}) {
    Machine m = freshMachine();
    UndoBuffer undo(m);
    const Bytes before(m.ram.begin(), m.ram.end());
    EXPECT_EQ(Actions::completeLoadMemory(m, undo, file), (Message{"Error", "Couldn't load the file!"}));
    EXPECT_EQ(Bytes(m.ram.begin(), m.ram.end()), before);
    EXPECT_EQ(undo.undoItems.size(), 1u);  // taken before the load, as always
  }
}

TEST(FileCompletionsTest, SaveAreaMessageClipsAtTheTopOfMemory) {
  EXPECT_EQ(Actions::saveAreaMessage(0xD800, 1000), (Message{"Success!", "$03E8 bytes saved from $D800 to $DBE8"}));
  EXPECT_EQ(Actions::saveAreaMessage(0xFF00, 0x200).text, "$0100 bytes saved from $FF00 to $10000");
  Machine m = freshMachine();
  EXPECT_EQ(FileFormats::savePrg(m, 0xFF00, 0x200).size(), 2u + 0x100);
}

TEST(FileCompletionsTest, ImageLoadByExtensionOrByChosenRow) {
  Machine m = freshMachine();
  UndoBuffer undo(m);
  Bytes koala = prg(FileFormats::kKoalaLoadAddress, pattern(10001, 3));
  EXPECT_FALSE(Actions::completeLoadImage(m, undo, -1, "/tmp/picture.KOA", koala));
  EXPECT_EQ(m.gfxMode(), kModeMultiBitmap);
  EXPECT_EQ(m.vicRegs[kRegBg0], koala.back());
  EXPECT_EQ(lastLabel(undo), "load image");

  EXPECT_EQ(Actions::completeLoadImage(m, undo, -1, "picture.xyz", koala),
            (Message{"Error", "Couldn't determine file format!"}));
  EXPECT_EQ(undo.undoItems.size(), 1u);

  // The Doodle row read through "All files" ignores the extension.
  Machine byRow = freshMachine();
  Machine reference = freshMachine();
  UndoBuffer undo2(byRow);
  const Bytes doodle = prg(FileFormats::kDoodleLoadAddress, pattern(9024, 5));
  const int doodleRow = FileFormats::findByExtension("dd");
  EXPECT_FALSE(Actions::completeLoadImage(byRow, undo2, doodleRow, "x.koa", doodle));
  ASSERT_TRUE(FileFormats::load(reference, doodleRow, doodle));
  EXPECT_EQ(byRow.ram, reference.ram);
  EXPECT_EQ(byRow.vicRegs, reference.vicRegs);

  // Koala and RAW loads that fail now say so; the undo step stays.
  for (const char* ext : {"koa", "raw"}) {
    Machine f = freshMachine();
    UndoBuffer u(f);
    EXPECT_EQ(Actions::completeLoadImage(f, u, FileFormats::findByExtension(ext), "empty", {}),
              (Message{"Error", "Couldn't load the file!"}));
    EXPECT_EQ(u.undoItems.size(), 1u);
  }
}

TEST(FileCompletionsTest, ProjectLoadChangesNothingOnError) {
  Machine source = freshMachine();
  source.ram[0x1234] = 0x56;
  const Bytes file = source.saveProject();

  Machine m = freshMachine();
  const Bytes before(m.ram.begin(), m.ram.end());
  const Actions::Outcome bad = Actions::completeLoadProject(m, Bytes(100, 0));
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->title, "Error");
  EXPECT_FALSE(bad->text.empty());
  EXPECT_EQ(Bytes(m.ram.begin(), m.ram.end()), before);

  EXPECT_FALSE(Actions::completeLoadProject(m, file));
  EXPECT_EQ(m.ram[0x1234], 0x56);
}

TEST(FileCompletionsTest, RawSpriteLoadCountsBlocksAndClipsAtTheTop) {
  struct Case {
    size_t size;
    const char* text;
  };
  for (const Case& c : {Case{64, "1 sprite loaded to $0340 (sprite $0D)"},
                        Case{65, "2 sprites loaded to $0340 (sprite $0D)"},
                        Case{0, "0 sprites loaded to $0340 (sprite $0D)"}}) {
    Machine m = freshMachine();
    UndoBuffer undo(m);
    int current = 13;
    EXPECT_EQ(Actions::completeLoadSprites(m, undo, current, "s.spr", pattern(c.size, 1)),
              (Message{"Load sprites", c.text}));
    EXPECT_EQ(current, 13);
    if (c.size) {
      EXPECT_EQ(m.ram[0x340 + c.size - 1], pattern(c.size, 1).back());
    }
  }

  // Block 255 of bank 3 is the last 64 bytes of memory.
  Machine m = freshMachine();
  m.bank = 3;
  UndoBuffer undo(m);
  int current = 255;
  const Bytes before(m.ram.begin(), m.ram.end());
  EXPECT_EQ(Actions::completeLoadSprites(m, undo, current, "big.bin", pattern(200, 7)),
            (Message{"Load sprites", "1 sprite loaded to $FFC0 (sprite $FF)"}));
  EXPECT_EQ(m.ram[0xFFFF], pattern(200, 7)[63]);
  EXPECT_EQ(lastLabel(undo), "load sprites");
  undo.MakeUndo();
  EXPECT_EQ(Bytes(m.ram.begin(), m.ram.end()), before);
}

TEST(FileCompletionsTest, PrgSpriteLoadPicksItsFirstBlock) {
  Machine m = freshMachine();
  UndoBuffer undo(m);
  int current = 13;
  EXPECT_EQ(Actions::completeLoadSprites(m, undo, current, "s.PRG", prg(0x2000, pattern(64, 2))),
            (Message{"Load sprites", "$0040 bytes read from $2000 to $2040\n(sprite $80 - $80)"}));
  EXPECT_EQ(current, 0x80);
  EXPECT_EQ(lastLabel(undo), "load sprites");

  EXPECT_EQ(Actions::completeLoadSprites(m, undo, current, "s.prg", prg(0x3FC0, pattern(130, 2))).text,
            "$0082 bytes read from $3FC0 to $4042\n(sprite $FF - $01)");
  EXPECT_EQ(current, 0xFF);

  m.bank = 1;
  current = 13;
  EXPECT_EQ(Actions::completeLoadSprites(m, undo, current, "s.prg", prg(0x2000, pattern(64, 2))).text,
            "$0040 bytes read from $2000 to $2040\n(outside the current VIC bank)");
  EXPECT_EQ(current, 13);

  EXPECT_EQ(Actions::completeLoadSprites(m, undo, current, "s.prg", {0x40}),
            (Message{"Error", "Couldn't load the file!"}));
  EXPECT_EQ(current, 13);
}

TEST(FileCompletionsTest, CharsetLoadRefusesTheRomFont) {
  Machine m = freshMachine();  // $D018 = $14: the ROM font in bank 0
  ASSERT_TRUE(m.charsetIsRom());
  UndoBuffer undo(m);
  const Bytes before(m.ram.begin(), m.ram.end());
  EXPECT_EQ(Actions::completeLoadCharset(m, undo, "font.chr", pattern(2048, 1)),
            (Message{"Load charset", "The current charset is ROM. Select a RAM charset bank first."}));
  EXPECT_EQ(Bytes(m.ram.begin(), m.ram.end()), before);
  EXPECT_TRUE(undo.undoItems.empty());

  // A PRG goes to its own address whatever the registers say.
  EXPECT_EQ(Actions::completeLoadCharset(m, undo, "font.64C", prg(0x3800, {1, 2, 3})),
            (Message{"Load charset", "$0003 bytes read from $3800 to $3803"}));
  EXPECT_EQ(lastLabel(undo), "load charset");
}

TEST(FileCompletionsTest, RawCharsetLoadFillsAtMost2048Bytes) {
  Machine m = freshMachine();
  m.vicRegs[kRegMemPtr] = 0x1C;  // character set at $3000
  m.ram[0x3800] = 0xEE;
  UndoBuffer undo(m);
  const Bytes font = pattern(3000, 9);
  EXPECT_FALSE(Actions::completeLoadCharset(m, undo, "font.bin", font));
  EXPECT_EQ(m.ram[0x3000], font[0]);
  EXPECT_EQ(m.ram[0x37FF], font[2047]);
  EXPECT_EQ(m.ram[0x3800], 0xEE);
  EXPECT_EQ(lastLabel(undo), "load charset");
  undo.MakeUndo();
  EXPECT_EQ(m.ram[0x3000], 0);
}

TEST(FileCompletionsTest, SpriteSaveRanges) {
  Machine m = freshMachine();
  EXPECT_LE(Actions::spriteRange(m, 10, 9).length, 0);
  const Actions::SpriteRange two = Actions::spriteRange(m, 0x80, 0x81);
  EXPECT_EQ(two.start, 0x2000);
  EXPECT_EQ(two.length, 128);
  m.bank = 3;
  const Actions::SpriteRange top = Actions::spriteRange(m, 255, 255);
  EXPECT_EQ(top.start, 0xFFC0);
  EXPECT_EQ(top.length, 64);
  EXPECT_EQ(Actions::memoryBytes(m, top.start, top.length).size(), 64u);
  EXPECT_EQ(Actions::memoryBytes(m, 0xFFC0, 128).size(), 64u);
}

TEST(FileCompletionsTest, PngExportDecodesToTheScreen) {
  Machine m = freshMachine();
  m.setGfxMode(kModeHires);
  const uint32_t bitmap = m.bitmapAddr();
  const uint32_t screen = m.screenAddr();
  std::fill_n(m.ram.begin() + bitmap, kBitmapSize, 0);
  std::fill_n(m.ram.begin() + screen, kScreenCells, 0x16);  // set bits white, clear bits blue
  m.ram[bitmap] = 0x80;             // pixel (0, 0)
  m.ram[bitmap + 39 * 8 + 7] = 0x01;  // pixel (319, 7)
  m.ram[screen + 999] = 0x20;       // last cell: set red, clear black
  m.ram[bitmap + 999 * 8 + 7] = 0x01;  // pixel (319, 199)
  Palette pal;

  const Bytes png = Actions::encodeScreenPng(m, pal);
  int w = 0, h = 0, n = 0;
  stbi_uc* px = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &w, &h, &n, 4);
  ASSERT_NE(px, nullptr);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 200);
  EXPECT_EQ(n, 4);
  auto rgba = [&](int x, int y, int color) {
    const stbi_uc* p = px + (y * 320 + x) * 4;
    return p[0] == pal.rgb[color][0] && p[1] == pal.rgb[color][1] && p[2] == pal.rgb[color][2] && p[3] == 255;
  };
  EXPECT_TRUE(rgba(0, 0, 1));
  EXPECT_TRUE(rgba(1, 0, 6));
  EXPECT_TRUE(rgba(319, 7, 1));
  EXPECT_TRUE(rgba(319, 199, 2));
  EXPECT_TRUE(rgba(318, 199, 0));
  stbi_image_free(px);
}

TEST(FileCompletionsTest, ExecutablePatchesTheViewerAndAppendsThePicture) {
  Machine m = freshMachine();
  m.setGfxMode(kModeMultiBitmap);
  m.vicRegs[kRegBorder] = 2;
  m.vicRegs[kRegBg0] = 3;
  m.vicRegs[kRegBg1] = 4;
  m.vicRegs[kRegBg2] = 5;
  for (size_t i = 0; i < m.ram.size(); ++i) m.ram[i] = static_cast<uint8_t>(i ^ (i >> 8));
  const Bytes viewer = pattern(70, 100);
  ASSERT_NE(viewer[69], 0);

  const Bytes exe = Actions::buildExecutable(m, viewer);
  ASSERT_EQ(exe.size(), 70u + 10240u);
  EXPECT_EQ(exe[23], 2);
  EXPECT_EQ(exe[28], 3);
  EXPECT_EQ(exe[33], 4);
  EXPECT_EQ(exe[38], 5);
  EXPECT_EQ(exe[69], viewer[69]);
  EXPECT_EQ(exe[22], viewer[22]);
  EXPECT_TRUE(std::equal(exe.begin() + 70, exe.begin() + 70 + 8192, m.ram.begin() + m.bitmapAddr()));
  EXPECT_TRUE(std::equal(exe.begin() + 70 + 8192, exe.begin() + 70 + 9216, m.ram.begin() + m.screenAddr()));
  EXPECT_TRUE(std::equal(exe.begin() + 70 + 9216, exe.end(), m.ram.begin() + 0xD800));

  m.setGfxMode(kModeHires);
  EXPECT_EQ(Actions::buildExecutable(m, viewer)[69], 0);

  EXPECT_FALSE(Actions::executableRefusal(m, true, viewer));
  const Message missing{"Error", "Tilvox is missing the file \"bmpview.prg\".\nOperation could not be completed."};
  EXPECT_EQ(Actions::executableRefusal(m, false, {}), missing);
  EXPECT_EQ(Actions::executableRefusal(m, true, pattern(69, 1)), missing);
  // The viewer shipped in the assets is long enough to be patched.
  Bytes shipped;
  const bool read = Platform::readFile(std::string(TILVOX_TEST_ASSET_DIR) + "/" + Actions::kViewerAsset, shipped);
  EXPECT_FALSE(Actions::executableRefusal(m, read, shipped));

  m.setGfxMode(kModeText);
  EXPECT_EQ(Actions::executableRefusal(m, true, viewer),
            (Message{"Sorry", "Text modes can not yet be saved as executables."}));
  EXPECT_EQ(Actions::executableRefusal(m, false, {}), missing);
}

TEST(FileCompletionsTest, DropDispatchOrder) {
  using Actions::DropAction;
  auto action = [](const std::string& path, size_t size) {
    return Actions::dropAction(FileIO::extension(path), size);
  };
  EXPECT_EQ(action("/x/disk.D64", 0), DropAction::MountDisk);
  for (const char* p : {"Image.PNG", "title.JPEG", "x.psd", "a.gif", "a.bmp", "a.tga", "a.jpg"})
    EXPECT_EQ(action(p, 100), DropAction::ImportPicture) << p;
  EXPECT_EQ(action("work.tpr", 5), DropAction::Project);
  for (const char* p : {"a.asm", "a.a65", "a.src", "a.S"}) EXPECT_EQ(action(p, 1), DropAction::AssemblerSource) << p;
  EXPECT_EQ(action("pic.raw", 64000), DropAction::PictureFormat);  // never sprites or a font
  EXPECT_EQ(action("pic.koa", 1), DropAction::PictureFormat);
  EXPECT_EQ(action("x.webp", 3), DropAction::Prg);
  EXPECT_EQ(action("x.webp", 2), DropAction::Unknown);
  EXPECT_EQ(action("noext", 2), DropAction::Unknown);
  EXPECT_EQ(action("x.prg", 2), DropAction::Prg);
  EXPECT_EQ(action("x.prg", 0), DropAction::Prg);
}

TEST(FileCompletionsTest, DroppedDiskGoesToTheFirstFreeDrive) {
  DiskDrive drives[4];  // devices 8-11
  EXPECT_EQ(Actions::dropDrive(drives, 4), 0);
  drives[0].mode = DriveMode::Image;
  drives[1].mode = DriveMode::Directory;
  EXPECT_EQ(Actions::dropDrive(drives, 4), 2);  // device 10
  drives[2].mode = DriveMode::Image;
  drives[3].mode = DriveMode::Image;
  EXPECT_EQ(Actions::dropDrive(drives, 4), 0);  // all busy: device 8
}

TEST(FileCompletionsTest, DroppedFilesLoad) {
  Machine m = freshMachine();
  UndoBuffer undo(m);
  EXPECT_EQ(Actions::completeDropPrg(m, undo, "x.prg", prg(0x0801, {})),
            (Message{"Success!", "x.prg:\n$0000 bytes read from $0801 to $0801"}));
  EXPECT_EQ(lastLabel(undo), "load memory");
  for (const Bytes& file : {Bytes{}, Bytes{1}})
    EXPECT_EQ(Actions::completeDropPrg(m, undo, "x.prg", file), (Message{"Error", "Couldn't load the file!"}));

  // A very long name cuts the text to its first 159 characters.
  const std::string longName(200, 'n');
  EXPECT_EQ(Actions::completeDropPrg(m, undo, longName, prg(0xC000, {1})).text, longName.substr(0, 159));

  // pic.raw is the 8-bit RAW row, not the 4-bit one listed after it.
  const Bytes raw = pattern(64000, 4);
  Machine dropped = freshMachine();
  Machine reference = freshMachine();
  UndoBuffer u(dropped);
  EXPECT_FALSE(Actions::completeDropPicture(dropped, u, "pic.raw", raw));
  ASSERT_TRUE(FileFormats::load(reference, 3, raw));
  EXPECT_EQ(FileFormats::name(3), "RAW 8 bit");
  EXPECT_EQ(dropped.ram, reference.ram);
  EXPECT_EQ(lastLabel(u), "load image");

  EXPECT_EQ(Actions::completeDropPicture(dropped, u, "p.koa", Bytes{0, 0x60}),
            (Message{"Error", "Couldn't load p.koa"}));
}

}  // namespace

namespace {

// The PNG decoded as RGBA words in the renderer's layout (red in the low byte).
std::vector<uint32_t> decodePng(const Bytes& png) {
  int w = 0, h = 0, n = 0;
  stbi_uc* px = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &w, &h, &n, 4);
  if (!px || w != kDisplayWidth || h != kDisplayHeight || n != 4) {
    if (px) stbi_image_free(px);
    return {};
  }
  std::vector<uint32_t> out(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = px[i * 4] | (uint32_t(px[i * 4 + 1]) << 8) | (uint32_t(px[i * 4 + 2]) << 16) |
             (uint32_t(px[i * 4 + 3]) << 24);
  stbi_image_free(px);
  return out;
}

TEST(FileCompletionsTest, PngExportShowsEveryGraphicsMode) {
  Palette pal;
  pal.set(3);  // any preset: the export follows the palette it is given
  auto at = [&](const std::vector<uint32_t>& px, int x, int y) { return px[static_cast<size_t>(y) * 320 + x]; };
  auto word = [&](int colour) { return Vic::paletteWord(pal, colour); };

  for (int mode = kModeText; mode <= kModeMultiBitmap; ++mode) {
    Machine m = freshMachine();
    for (size_t i = 0; i < m.ram.size(); ++i) m.ram[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    m.setGfxMode(mode);
    const bool bitmap = mode == kModeHires || mode == kModeMultiBitmap;
    m.vicRegs[kRegMemPtr] = bitmap ? 0x18 : 0x1C;  // video matrix $0400; bitmap $2000 or font $3000
    m.vicRegs[kRegBg0] = 6;
    m.vicRegs[kRegBg1] = 7;
    m.vicRegs[kRegBg2] = 8;
    m.vicRegs[kRegBg3] = 9;
    // The first cell, worded for each mode: pixel pairs 00, 01, 10, 11.
    m.ram[0x0400] = mode == kModeExtBgText ? 0x41 : (bitmap ? 0x23 : 0x01);
    m.ram[0xD800] = mode == kModeMultiText ? 0x0D : 0x04;
    m.ram[bitmap ? 0x2000 : 0x3008] = 0x1B;

    const std::vector<uint32_t> png = decodePng(Actions::encodeScreenPng(m, pal));
    ASSERT_EQ(png.size(), 320u * 200u) << mode;
    std::vector<uint32_t> screen(320 * 200, 0);
    Vic::renderScreen(m, pal, screen.data(), 320);
    EXPECT_EQ(png, screen) << mode;

    switch (mode) {
      case kModeText:  // set bits in the cell's colour, clear ones in $D021
        EXPECT_EQ(at(png, 0, 0), word(6));
        EXPECT_EQ(at(png, 3, 0), word(4));
        break;
      case kModeMultiText:
        EXPECT_EQ(at(png, 0, 0), word(6));
        EXPECT_EQ(at(png, 2, 0), word(7));
        EXPECT_EQ(at(png, 4, 0), word(8));
        EXPECT_EQ(at(png, 6, 0), word(5));
        break;
      case kModeExtBgText:  // screen code $41: font character 1 on $D022
        EXPECT_EQ(at(png, 0, 0), word(7));
        EXPECT_EQ(at(png, 3, 0), word(4));
        break;
      case kModeHires:  // set bits in the high nibble, clear ones in the low
        EXPECT_EQ(at(png, 0, 0), word(3));
        EXPECT_EQ(at(png, 3, 0), word(2));
        break;
      case kModeMultiBitmap:
        EXPECT_EQ(at(png, 0, 0), word(6));
        EXPECT_EQ(at(png, 2, 0), word(2));
        EXPECT_EQ(at(png, 4, 0), word(3));
        EXPECT_EQ(at(png, 6, 0), word(4));
        break;
    }
  }
}

}  // namespace
