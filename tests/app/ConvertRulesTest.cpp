// The picture import's decoding and conversion step and the texts of the
// bitmap-to-charset dialog. Pictures are ImageMagick's files in the fuzz
// corpus: 16x8, left half red, right half blue, in every format the import
// reads. Beside them lie files of formats it must never decode (a 16-bit
// PGM header, a cut Radiance picture, a Softimage PIC header); a small
// whole Softimage PIC picture, which the full stb_image decodes, is made
// here. Format detection and decoding on their own are tested in
// tests/convert/PictureFileTest.cpp.
#include "app/ConvertRules.h"
#include "core/FileUtil.h"
#include "tests/app/ReadPicture.h"
#include "tests/disk/DiskTestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <tuple>

namespace {

std::vector<uint8_t> corpusFile(const std::string& name) {
  return disktest::readBytes(std::string(TILVOX_TEST_SOURCE_DIR) + "/tests/fuzz/corpus/importpicture/" + name);
}

// A PNG header that declares w x h RGBA pixels and holds none of them.
std::vector<uint8_t> pngHeaderOnly(uint32_t w, uint32_t h) {
  std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (uint32_t v : {w, h})
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
  for (uint8_t v : {8, 6, 0, 0, 0, 0, 0, 0, 0}) b.push_back(v);  // depth, RGBA, methods, CRC
  return b;
}

// A GIF header that declares a w x h screen and holds nothing else.
std::vector<uint8_t> gifHeaderOnly(int w, int h) {
  return {'G', 'I', 'F', '8', '9', 'a', uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8), 0, 0, 0};
}

// The JPEG with its first Huffman table claiming 16 x 32 = 512 codes.
std::vector<uint8_t> overlongHuffmanTable(std::vector<uint8_t> jpg) {
  for (size_t i = 0; i + 21 < jpg.size(); ++i)
    if (jpg[i] == 0xFF && jpg[i + 1] == 0xC4) {
      for (size_t k = 0; k < 16; ++k) jpg[i + 5 + k] = 32;
      break;
    }
  return jpg;
}

std::vector<uint8_t> bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// Every refusal, read directly or in the background: the same error text,
// the picture as it was, whether the bytes are decoded or the file is read
// from its path as the background read does; and a file too large to read.
TEST(ConvertRules, UnreadableFilesGiveTheErrorAndKeepThePicture) {
  const std::vector<uint8_t> png = corpusFile("split.png");
  const std::vector<uint8_t> jpg = corpusFile("split.jpg");
  // A complete Softimage PIC picture of 2 x 1 pixels: the corpus's header
  // with one uncompressed RGBA packet.
  std::vector<uint8_t> softimagePic = corpusFile("header.pic");
  softimagePic.insert(softimagePic.end(), {255, 0, 0, 255, 0, 0, 255, 255});
  const disktest::TempDir dir;
  const std::string path = dir.file("second.png");
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string reason;  // empty: whatever the decoder says
  } cases[] = {
      {"empty file", {}, kImportUnsupported},
      {"text file", bytes("hello, this is not a picture\n"), kImportUnsupported},
      {"16-bit PGM header", corpusFile("pgm16-header.pgm"), kImportUnsupported},
      {"cut Radiance", corpusFile("cut-rle.hdr"), kImportUnsupported},
      {"Softimage PIC", softimagePic, kImportUnsupported},
      {"truncated PNG", std::vector<uint8_t>(png.begin(), png.begin() + png.size() / 2), ""},
      {"PNG header only", std::vector<uint8_t>(png.begin(), png.begin() + 33), ""},
      {"JPEG without its scan", std::vector<uint8_t>(jpg.begin(), jpg.begin() + 100), ""},
      {"Huffman table of 512 codes", overlongHuffmanTable(jpg), "bad DHT header (512 codes; at most 256)"},
      {"60000 x 60000 declared", pngHeaderOnly(60000, 60000), ""},  // the decoder's own limits
      {"30000 x 30000 declared", pngHeaderOnly(30000, 30000), "too large"},
      {"16000 x 16000 declared", pngHeaderOnly(16000, 16000), "the picture is larger than 64 megapixels (16000 x 16000)"},
      {"GIF of 30000 x 30000 declared", gifHeaderOnly(30000, 30000),
       "the picture is larger than 64 megapixels (30000 x 30000)"},
      {"8193 x 8193 declared", pngHeaderOnly(8193, 8193), "the picture is larger than 64 megapixels (8193 x 8193)"},
  };
  // A refusal leaves the picture that was in.
  const auto refuse = [&png](DecodedPicture read) {
    ImportPicture pic;
    EXPECT_EQ(readPictureNow(pic, "first.png", png), "");
    pic.dirty = pic.pickerShown = false;
    const std::string error = FinishImportPicture(pic, "second.png", read);
    EXPECT_EQ(std::make_tuple(pic.name, pic.width, pic.pixels.size(), pic.dirty, pic.pickerShown),
              std::make_tuple("first.png", 16, size_t{128}, false, false));
    return error;
  };
  for (const auto& c : cases) {
    const std::string error = refuse(DecodeImportPicture(c.bytes));
    ASSERT_EQ(error.rfind(kImportReadError, 0), 0u) << c.what << ": " << error;
    EXPECT_GT(error.size(), std::string(kImportReadError).size()) << c.what;
    if (!c.reason.empty()) {
      EXPECT_EQ(error, kImportReadError + c.reason) << c.what;
    }
    disktest::writeBytes(path, c.bytes);
    EXPECT_EQ(refuse(ReadImportPicture(path)), error) << c.what;
  }
  // A file over the size the program reads whole (sparse: it takes no room).
  std::filesystem::resize_file(path, kMaxWholeFileSize + 1);
  EXPECT_EQ(refuse(ReadImportPicture(path)), kImportReadError + std::string("the file is larger than 256 MB"));
}

TEST(ConvertRules, PixelLimitIsInclusive) {
  for (const auto& [limit, ok] : {std::pair{int64_t{127}, false}, {int64_t{128}, true}}) {  // split.png has 128
    ImportPicture pic;
    EXPECT_EQ(readPictureNow(pic, "p.png", corpusFile("split.png"), limit).empty(), ok) << limit;
    EXPECT_EQ(pic.hasPicture(), ok) << limit;
    EXPECT_TRUE(pic.dirty);
    EXPECT_EQ(pic.pickerShown, ok);
  }
}

// The window's conversion step against the engines called by hand.
TEST(ConvertRules, ConversionFollowsTheOptions) {
  Machine m;
  m.reset();
  Palette app;
  const std::vector<uint8_t> png = corpusFile("split.png");
  const struct {
    int mode, background, detail, outW;
    int reduceBackground;  // what the reducer is given (-1 in hires)
  } cases[] = {{ImportMode::Hires, 5, 50, 320, -1},
               {ImportMode::Multicolor, 5, 50, 160, 5},
               {ImportMode::Petscii, 6, 37, 320, -1}};
  for (const auto& c : cases) {
    ImportPicture pic;
    ASSERT_EQ(readPictureNow(pic, "p.png", png), "");
    pic.mode = c.mode;
    pic.background = c.background;
    pic.detail = c.detail;
    pic.paletteIndex = 3;
    ASSERT_TRUE(ConvertImportPicture(pic, m, app));
    EXPECT_FALSE(pic.dirty);
    EXPECT_EQ(std::make_pair(pic.sourcePreview.w, pic.sourcePreview.h), std::make_pair(c.outW, 200));
    EXPECT_EQ(pic.resultPreview.w, c.outW);

    Palette pal;
    pal.set(3);
    const std::vector<uint32_t> resized = ColorReducer::Resize(pic.pixels.data(), 16, 8, c.outW, true, false);
    EXPECT_EQ(pic.sourcePreview.pixels, resized);
    std::vector<uint32_t> expected;
    if (c.mode == ImportMode::Petscii) {
      EXPECT_FLOAT_EQ(pic.petsciiOptions.detail, c.detail / 100.0f);
      EXPECT_EQ(pic.petsciiOptions.background, c.background);
      PetsciiConverter pc;
      pc.SetPalette(pal.rgb[0].data());
      pc.SetCharset(m, PetsciiCharset::RomUpper);
      pc.Convert(resized, pic.petsciiOptions);
      expected = pc.Preview();
      EXPECT_EQ(pic.usedBackground(), c.background);
    } else {
      ColorReducer cr;
      cr.SetPalette(pal.rgb[0].data());
      cr.Reduce(resized, c.outW, ImportColors::Color, DitherMethod::FloydSteinberg, c.reduceBackground);
      expected = cr.Preview();
    }
    EXPECT_EQ(pic.resultPreview.pixels, expected) << c.mode;
  }
}

// The resize is kept between conversions: after every change, of one
// option or of the picture, or a resize made elsewhere and installed, the
// previews equal those of a conversion that resizes afresh.
TEST(ConvertRules, AnOptionChangeConvertsAsAFreshConversion) {
  Machine m;
  m.reset();
  const Palette app;
  ImportPicture pic;
  ASSERT_EQ(readPictureNow(pic, "p.png", corpusFile("split.png")), "");
  pic.paletteIndex = 0;
  DecodedPicture green{"", std::vector<uint32_t>(6, 0xFF00C000), 3, 2};
  const std::pair<const char*, std::function<void()>> changes[] = {
      {"palette", [&] { pic.paletteIndex = 3; }},
      {"keep aspect", [&] { pic.keepAspect = true; }},
      {"hires", [&] { pic.mode = ImportMode::Hires; }},
      {"zoom to fit", [&] { pic.zoomToFit = false; }},
      {"petscii", [&] { pic.mode = ImportMode::Petscii; }},
      {"new picture", [&] { ASSERT_EQ(FinishImportPicture(pic, "g.png", green), ""); }},
      {"multicolour", [&] { pic.mode = ImportMode::Multicolor; }},
      {"resized elsewhere", [&] {
         pic.zoomToFit = true;
         DecodedPicture resized = ResizeImportPicture(pic.pixels.data(), pic.width, pic.height, WantedImportResize(pic));
         ASSERT_TRUE(InstallImportResize(pic, WantedImportResize(pic), resized));
       }},
  };
  for (const auto& [what, change] : changes) {
    change();
    ImportPicture fresh = pic;
    fresh.resizedFor = {};
    ASSERT_TRUE(ConvertImportPicture(pic, m, app)) << what;
    ASSERT_TRUE(ConvertImportPicture(fresh, m, app)) << what;
    EXPECT_EQ(pic.sourcePreview.pixels, fresh.sourcePreview.pixels) << what;
    EXPECT_EQ(pic.resultPreview.pixels, fresh.resultPreview.pixels) << what;
  }
}

// A picture is resized within the frame up to the bound; a resize made
// elsewhere is taken only when it is whole and still the one the options
// ask for.
TEST(ConvertRules, LargePicturesAreResizedElsewhereAndOnlyAFittingResizeIsTaken) {
  ImportPicture pic;
  for (const auto& [w, h, tooLarge] : {std::tuple{2048, 2048, false}, {4, 1048577, true}}) {
    DecodedPicture picture{"", std::vector<uint32_t>(static_cast<size_t>(w) * h, 0xFF102030u), w, h};
    ASSERT_EQ(FinishImportPicture(pic, "p.png", picture), "");
    EXPECT_EQ(ImportResizeTooLargeForFrame(pic), tooLarge) << w << "x" << h;
  }
  const ImportResize wanted = WantedImportResize(pic);
  EXPECT_EQ(wanted, (ImportResize{kMultiWidth, true, false}));
  const DecodedPicture made = ResizeImportPicture(pic.pixels.data(), pic.width, pic.height, wanted);
  EXPECT_EQ(made.pixels, ColorReducer::Resize(pic.pixels.data(), pic.width, pic.height, kMultiWidth, true, false));
  const std::tuple<const char*, std::function<void(DecodedPicture&, ImportResize&)>, bool> installs[] = {
      {"failed", [](DecodedPicture& d, ImportResize&) { d.error = "the decoder failed"; }, false},
      {"other width", [](DecodedPicture& d, ImportResize&) { d.width = kHiresWidth; }, false},
      {"cut short", [](DecodedPicture& d, ImportResize&) { d.pixels.pop_back(); }, false},
      {"other options", [](DecodedPicture&, ImportResize& r) { r.keepAspect = true; }, false},
      {"whole and wanted", [](DecodedPicture&, ImportResize&) {}, true},  // the last: it is kept
  };
  for (const auto& [what, spoil, taken] : installs) {
    DecodedPicture d = made;
    ImportResize r = wanted;
    spoil(d, r);
    EXPECT_EQ(InstallImportResize(pic, r, d), taken) << what;
    EXPECT_EQ(ImportResizeTooLargeForFrame(pic), !taken) << what;
  }
  EXPECT_EQ(pic.sourcePreview.pixels, made.pixels);
}

TEST(ConvertRules, CustomPresetUsesTheApplicationsCustomColoursAndNeedsAPicture) {
  Palette app;
  for (int i = 0; i < kPaletteColors; ++i) app.custom[i] = {uint8_t(i * 16), uint8_t(255 - i), 7};
  const Palette before = app;
  EXPECT_EQ(ImportPalette(app, kCustomPreset).rgb, app.custom);
  EXPECT_EQ(app.rgb, before.rgb);
  EXPECT_EQ(app.index, before.index);

  ImportPicture pic;
  Machine m;
  EXPECT_FALSE(ConvertImportPicture(pic, m, app));
  EXPECT_TRUE(pic.dirty);
  EXPECT_EQ(pic.sourcePreview.w, 0);
}

TEST(ConvertRules, CharsetDialogTexts) {
  Machine m;
  m.reset();  // bank 0, video matrix at $0400
  const char* const rows[] = {"1: $0000-$07FF  - It overlaps the video matrix", "2: $0800-$0FFF",
                              "3: $1000-$17FF  - The VIC sees the character ROM there",
                              "4: $1800-$1FFF  - The VIC sees the character ROM there",
                              "5: $2000-$27FF", "6: $2800-$2FFF", "7: $3000-$37FF", "8: $3800-$3FFF"};
  for (int s = 0; s < kCharsetSlots; ++s) EXPECT_EQ(CharsetSlotRow(m, s), rows[s]);
  EXPECT_EQ(FirstUsableCharsetSlot(m), 1);
  EXPECT_EQ(CharsetSlotPreview(m, 1), "2: $0800-$0FFF");
  EXPECT_EQ(CharsetMatrixText(m), "The video matrix stays at $0400. Color memory is rewritten.");
  m.bank = 3;
  m.vicRegs[kRegMemPtr] = 0x08;  // matrix at $C000 overlaps position 0 only
  EXPECT_EQ(FirstUsableCharsetSlot(m), 1);
  EXPECT_EQ(CharsetSlotPreview(m, 7), "8: $F800-$FFFF");

  CharsetConvertResult r;
  r.differentCells = 518;
  r.charsUsed = 256;
  r.similarCells = 451;
  r.misfitCells = 3;
  EXPECT_EQ(CharsetDoneText(r),
            "Done: 518 different cells, 256 characters used.\n451 cells use a similar character.\n3 cells had "
            "colors that don't fit the text mode.");
}

}  // namespace
