// Picture files for the import: formats known by their first bytes, the
// decode of files other programs wrote (ImageMagick's, in the fuzz corpus:
// 16x8, left half red, right half blue, in every format the import reads),
// and the bounds on the decoder's work, on files made to reach them. Beside
// the corpus pictures lie files of formats the import must never decode (a
// 16-bit PGM header, a cut Radiance picture, a Softimage PIC header);
// small whole pictures of such formats, which the full stb_image decodes,
// are made here.
#include "convert/PictureFile.h"
#include "tests/TestPictures.h"

#include <gtest/gtest.h>
#include <stb_image.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>

using namespace std::string_literals;

namespace {

namespace tp = testpictures;
using tp::Bytes;

Bytes corpusFile(const std::string& name) {
  std::ifstream in(std::string(TILVOX_TEST_SOURCE_DIR) + "/tests/fuzz/corpus/importpicture/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

bool near(uint32_t px, int r, int g, int b, int tolerance) {
  return std::abs(int(px & 255) - r) <= tolerance && std::abs(int(px >> 8 & 255) - g) <= tolerance &&
         std::abs(int(px >> 16 & 255) - b) <= tolerance && (px >> 24) == 255;
}

TEST(PictureFile, DecodesEveryFormatAnotherProgramWrote) {
  const struct {
    const char* file;
    int tolerance;  // JPEG is lossy
  } cases[] = {{"split.png", 0},  {"palette.png", 0}, {"deep-interlaced.png", 0}, {"split.jpg", 40},
               {"progressive.jpg", 40}, {"split.bmp", 0}, {"split.gif", 0}, {"split.tga", 0},
               {"rle.tga", 0},    {"split.psd", 0},   {"split8.psd", 0}};
  for (const auto& c : cases) {
    std::vector<uint32_t> px;
    int w = 0, h = 0;
    EXPECT_EQ(DecodePicture(corpusFile(c.file), px, w, h), "") << c.file;
    ASSERT_EQ(std::make_tuple(w, h, px.size()), std::make_tuple(16, 8, size_t{128})) << c.file;
    for (int y : {0, 3, 7}) {
      EXPECT_TRUE(near(px[y * 16 + 2], 255, 0, 0, c.tolerance)) << c.file << " row " << y;
      EXPECT_TRUE(near(px[y * 16 + 13], 0, 0, 255, c.tolerance)) << c.file << " row " << y;
    }
  }
}

// Every file another program wrote decodes (above); here the edges of the
// signatures and of a plausible TGA header. Whatever is none of the six
// formats, the program's decoder has no loader for either, even for the
// formats the full stb_image reads by content (or crashes or hangs on).
TEST(PictureFile, FormatsAreKnownByTheirFirstBytesAndNoOtherIsDecoded) {
  const auto tgaWith = [](size_t offset, uint8_t value) {
    Bytes tga = corpusFile("split.tga");
    tga[offset] = value;
    return tga;
  };
  // The corpus's Softimage PIC header with one uncompressed RGBA packet.
  Bytes softimagePic = corpusFile("header.pic");
  tp::append(softimagePic, {255, 0, 0, 255, 0, 0, 255, 255});
  const struct {
    const char* what;
    Bytes bytes;
    PictureFormat format;
  } cases[] = {
      {"split.bmp", corpusFile("split.bmp"), PictureFormat::Bmp},
      {"GIF87a", bytes("GIF87a"), PictureFormat::Gif},
      {"split.psd", corpusFile("split.psd"), PictureFormat::Psd},
      {"rle.tga", corpusFile("rle.tga"), PictureFormat::Tga},
      {"colour-mapped TGA", {0, 1, 1, 0, 0, 2, 0, 24, 0, 0, 0, 0, 2, 0, 1, 0, 8, 0}, PictureFormat::Tga},
      {"GIF86a", bytes("GIF86a"), PictureFormat::None},
      {"TGA with colour-map type 2", tgaWith(1, 2), PictureFormat::None},
      {"TGA of image type 4", tgaWith(2, 4), PictureFormat::None},
      {"TGA of width 0", tgaWith(12, 0), PictureFormat::None},
      {"TGA of 12 bits a pixel", tgaWith(16, 12), PictureFormat::None},
      {"TGA header cut", Bytes(17, 0), PictureFormat::None},
      {"16-bit PGM header", corpusFile("pgm16-header.pgm"), PictureFormat::None},
      {"cut Radiance", corpusFile("cut-rle.hdr"), PictureFormat::None},
      // Small whole pictures of 2 x 1 pixels.
      {"PPM", bytes("P6\n2 1\n255\n\xFF\0\0\0\0\xFF"s), PictureFormat::None},
      {"16-bit PGM", bytes("P5\n2 1\n65535\n\xFF\xFF\0\0"s), PictureFormat::None},
      {"Radiance", bytes("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X 2\n\x80\0\0\x81\0\0\x80\x81"s),
       PictureFormat::None},
      {"Softimage PIC", softimagePic, PictureFormat::None},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DetectPictureFormat(c.bytes), c.format) << c.what;
    if (c.format != PictureFormat::None) continue;
    int w = 0, h = 0, n = 0;
    const int size = static_cast<int>(c.bytes.size());
    EXPECT_EQ(stbi_info_from_memory(c.bytes.data(), size, &w, &h, &n), 0) << c.what;
    stbi_uc* px = stbi_load_from_memory(c.bytes.data(), size, &w, &h, &n, 4);
    EXPECT_EQ(px, nullptr) << c.what;
    stbi_image_free(px);
    EXPECT_STREQ(stbi_failure_reason(), "unknown image type") << c.what;
  }
}

// A file at or past a bound of the decoder's work: the problem the header
// check finds (or none), and whether the file is also decoded (for the
// accepted ones, those that decode at once).
struct Bound {
  const char* what;
  Bytes bytes;
  std::string problem;
  bool decode;
};

void expectBounds(const std::vector<Bound>& cases) {
  for (const auto& c : cases) {
    std::vector<uint32_t> px;
    int w = 0, h = 0;
    EXPECT_EQ(c.decode ? DecodePicture(c.bytes, px, w, h) : PictureHeaderProblem(c.bytes), c.problem) << c.what;
    EXPECT_EQ(px.empty(), !c.decode || !c.problem.empty()) << c.what;
  }
}

// A progressive JPEG of side x side: `dcScans` scans of the DC values of
// all components, then `acScans` of the AC values of the first, each
// scan after the first behind `gap` (bytes the decoder passes over).
Bytes progressive(int side, const std::vector<uint8_t>& sampling, int dcScans, int acScans, const Bytes& gap = {}) {
  const Bytes dc = sampling.size() == 1 ? tp::jpegScan({1}, 0, 0) : tp::jpegScan({1, 2, 3}, 0, 0);
  std::vector<Bytes> scans;
  for (int i = 0; i < dcScans + acScans; ++i) {
    scans.push_back(i > 0 ? gap : Bytes{});
    tp::append(scans.back(), i < dcScans ? dc : tp::jpegScan({1}, 1, 63));
  }
  return tp::jpegFile(tp::jpegFrame(true, side, side, sampling), scans);
}

// The decoder would decode every scan over the whole picture, however
// short the file; the scans the walk counts (through fill bytes and data)
// and the blocks they cover are bounded before any is decoded. Cases that
// are accepted and cheap are decoded too.
TEST(PictureFile, JpegScansAreBoundedBeforeDecoding) {
  const int maxScans = static_cast<int>(kJpegMaxScans);
  const Bytes gap = {0, 0, 0xFF, 0xFF};  // zero data bits, then fill bytes before the marker
  expectBounds({
      {"ImageMagick's progressive JPEG of 10 scans", corpusFile("progressive.jpg"), "", true},
      {"all scans allowed", progressive(16, {0x11}, 1, maxScans - 1), "", true},
      {"one scan more", progressive(16, {0x11}, 1, maxScans), kImportTooManyScans, true},
      {"all scans, behind data and fill bytes", progressive(16, {0x11}, 1, maxScans - 1, gap), "", true},
      {"one more, behind data and fill bytes", progressive(16, {0x11}, 1, maxScans, gap), kImportTooManyScans, true},
      // 2048 x 2048 grey: 65536 blocks a scan, 32 scans fill the budget.
      {"all blocks allowed", progressive(2048, {0x11}, 1, 31), "", false},
      {"one scan of blocks more", progressive(2048, {0x11}, 1, 32), kImportTooManyScans, false},
      // 4096 x 4096 in 4:2:0: 6 blocks in each of 65536 MCUs; in 4:4:4, 3
      // in each of 262144.
      {"5 scans of 4:2:0", progressive(4096, {0x22, 0x11, 0x11}, 5, 0), "", false},
      {"6 scans of 4:2:0", progressive(4096, {0x22, 0x11, 0x11}, 6, 0), kImportTooManyScans, false},
      {"3 scans of 4:4:4", progressive(4096, {0x11, 0x11, 0x11}, 3, 0), kImportTooManyScans, false},
      {"one scan of 4:4:4 at the pixel limit", progressive(8192, {0x11, 0x11, 0x11}, 1, 0), kImportTooMuchData, false},
  });
}

// A GIF of w x h whose LZW data stands for `pixels`: the longest strings
// the table holds (entry e, after a clear and a literal, stands for e - 4
// pixels), the last one cut to what is left.
Bytes gif(int w, int h, int64_t pixels, const Bytes& extensions = {}) {
  tp::LzwWriter z;
  z.clear();
  z.code(0);
  while (z.pixels < pixels) {
    const int64_t left = pixels - z.pixels;
    z.code(z.next - 4 <= left ? z.next : left > 1 ? static_cast<int>(left) + 4 : 0);
  }
  return z.gif(w, h, extensions);
}

// The PNG of a picture of w x h whose image data is `data`.
Bytes png(int w, int h, int depth, int colour, bool interlaced, const Bytes& data) {
  tp::Deflater zlib;
  zlib.feed(data);
  return tp::pngFile(w, h, depth, colour, interlaced, zlib.finish());
}

// The decoder follows every GIF code to the end of its string and inflates
// all of a PNG's data, whatever the picture needs; both are bounded by the
// picture's size, and a PNG by its samples too.
TEST(PictureFile, ImageDataIsBoundedByThePicture) {
  // A graphic control block of 5 bytes: the decoder reads the next block
  // right after it, with no end of sub-blocks.
  const Bytes oddControl = {0x21, 0xF9, 5, 0, 0, 0, 0, 0, 0x21, 0xFE, 3, 'a', 'b', 'c', 0};
  const auto header = [](int w, int h, int depth, int colour) { return png(w, h, depth, colour, false, {}); };
  expectBounds({
      {"GIF of 64 pixels on 8 x 8", gif(8, 8, 64), "", true},
      {"GIF of 65 pixels on 8 x 8", gif(8, 8, 65), kImportTooMuchData, true},
      {"GIF of 4096 pixels on 1 x 1", gif(1, 1, 4096), kImportTooMuchData, true},
      {"behind odd extensions, 64 pixels", gif(8, 8, 64, oddControl), "", true},
      {"behind odd extensions, 65 pixels", gif(8, 8, 65, oddControl), kImportTooMuchData, true},
      {"PNG of 1 x 1 inflating to 1 MiB", png(1, 1, 8, 0, false, Bytes(1 << 20, 0)), kImportTooMuchData, true},
      {"PNG of 1 x 1", png(1, 1, 8, 0, false, Bytes(2, 0)), "", true},
      // Its passes' extra filter bytes make the data longer than the rows
      // of a plain picture, which the decoder makes room for at first.
      {"interlaced 16-bit RGBA PNG", png(33, 5100, 16, 6, true, Bytes(tp::adam7Bytes(33, 5100, 8), 0)), "", true},
      {"8-bit RGB of 32 megapixels", header(8192, 4096, 8, 2), "", false},
      {"8-bit RGB, one row more", header(8192, 4097, 8, 2), kImportTooMuchData, false},
      {"16-bit RGBA of 12 megapixels", header(4096, 3072, 16, 6), "", false},
      {"16-bit RGBA, one row more", header(4096, 3073, 16, 6), kImportTooMuchData, false},
      {"palette of 64 megapixels", header(8192, 8192, 8, 3), "", false},
  });
}

}  // namespace
