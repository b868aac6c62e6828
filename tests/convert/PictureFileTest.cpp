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

#include <algorithm>
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
// are bounded before any is decoded, the blocks they cover are not (the
// decoder's process bounds their time). Cases that are accepted and cheap
// are decoded too.
TEST(PictureFile, JpegScansAreBoundedBeforeDecoding) {
  const int maxScans = static_cast<int>(kJpegMaxScans);
  const Bytes gap = {0, 0, 0xFF, 0xFF};  // zero data bits, then fill bytes before the marker
  expectBounds({
      {"ImageMagick's progressive JPEG of 10 scans", corpusFile("progressive.jpg"), "", true},
      {"all scans allowed", progressive(16, {0x11}, 1, maxScans - 1), "", true},
      {"one scan more", progressive(16, {0x11}, 1, maxScans), "too many scans (101; at most 100)", true},
      {"all scans, behind data and fill bytes", progressive(16, {0x11}, 1, maxScans - 1, gap), "", true},
      {"one more, behind data and fill bytes", progressive(16, {0x11}, 1, maxScans, gap),
       "too many scans (101; at most 100)", true},
      // 2048 x 2048 grey: 65536 blocks a scan, 32 scans fill the budget.
      {"all blocks allowed", progressive(2048, {0x11}, 1, 31), "", false},
      {"one scan of blocks more", progressive(2048, {0x11}, 1, 32), "", false},
      // 4096 x 4096 in 4:2:0: 6 blocks in each of 65536 MCUs; in 4:4:4, 3
      // in each of 262144.
      {"5 scans of 4:2:0", progressive(4096, {0x22, 0x11, 0x11}, 5, 0), "", false},
      {"6 scans of 4:2:0", progressive(4096, {0x22, 0x11, 0x11}, 6, 0), "", false},
      {"3 scans of 4:4:4", progressive(4096, {0x11, 0x11, 0x11}, 3, 0), "", false},
      {"one scan of 4:4:4 at the pixel limit", progressive(8192, {0x11, 0x11, 0x11}, 1, 0), "", false},
      {"10 scans of 4:4:4 at the pixel limit", progressive(8192, {0x11, 0x11, 0x11}, 10, 0), "", false},
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
// picture's size, however many samples it has.
TEST(PictureFile, ImageDataIsBoundedByThePicture) {
  // A graphic control block of 5 bytes: the decoder reads the next block
  // right after it, with no end of sub-blocks.
  const Bytes oddControl = {0x21, 0xF9, 5, 0, 0, 0, 0, 0, 0x21, 0xFE, 3, 'a', 'b', 'c', 0};
  const auto header = [](int w, int h, int depth, int colour) { return png(w, h, depth, colour, false, {}); };
  expectBounds({
      {"GIF of 64 pixels on 8 x 8", gif(8, 8, 64), "", true},
      {"GIF of 65 pixels on 8 x 8", gif(8, 8, 65), "too much image data (65 pixels for 8 x 8)", true},
      {"GIF of 4096 pixels on 1 x 1", gif(1, 1, 4096), "too much image data (4096 pixels for 1 x 1)", true},
      {"behind odd extensions, 64 pixels", gif(8, 8, 64, oddControl), "", true},
      {"behind odd extensions, 65 pixels", gif(8, 8, 65, oddControl), "too much image data (65 pixels for 8 x 8)", true},
      {"PNG of 1 x 1 inflating to 1 MiB", png(1, 1, 8, 0, false, Bytes(1 << 20, 0)),
       "too much image data (131072 bytes; at most 79002 for 1 x 1)", true},
      {"PNG of 1 x 1", png(1, 1, 8, 0, false, Bytes(2, 0)), "", true},
      // Its passes' extra filter bytes make the data longer than the rows
      // of a plain picture, which the decoder makes room for at first.
      {"interlaced 16-bit RGBA PNG", png(33, 5100, 16, 6, true, Bytes(tp::adam7Bytes(33, 5100, 8), 0)), "", true},
      {"8-bit RGB of 32 megapixels", header(8192, 4096, 8, 2), "", false},
      {"8-bit RGB, one row more", header(8192, 4097, 8, 2), "", false},
      {"8-bit RGB at the pixel limit", header(8192, 8192, 8, 2), "", false},
      {"16-bit RGBA of 12 megapixels", header(4096, 3072, 16, 6), "", false},
      {"16-bit RGBA, one row more", header(4096, 3073, 16, 6), "", false},
      {"16-bit RGBA at the pixel limit", header(8192, 8192, 16, 6), "", false},
      {"palette of 64 megapixels", header(8192, 8192, 8, 3), "", false},
  });
}

// A 24-bit BMP of w x h (a negative h: stored top-down) of the pixels
// `rgba` (4 bytes each), rows padded to 4 bytes; without them, its header.
Bytes bmp(int w, int h, const uint8_t* rgba = nullptr) {
  const size_t rowBytes = (size_t(w) * 3 + 3) / 4 * 4;
  // The file's size, 0, the pixels' offset; the header's size, w, h, 1 plane and 24 bits, no compression.
  const int64_t fields[] = {54 + int64_t(rowBytes) * std::abs(h), 0, 54, 40, w, h, 0x180001, 0, 0, 0, 0, 0, 0};
  Bytes b = {'B', 'M'};
  for (const int64_t v : fields)
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> 8 * i));
  for (int row = 0; rgba && row < std::abs(h); ++row) {
    const uint8_t* line = rgba + size_t(h < 0 ? row : h - 1 - row) * size_t(w) * 4;
    for (int x = 0; x < w; ++x) b.insert(b.end(), {line[4 * x + 2], line[4 * x + 1], line[4 * x]});  // B, G, R
    b.resize(b.size() + rowBytes - size_t(w) * 3, 0);
  }
  return b;
}

// The JPEG of a 16 x 16 grey picture, then `segments`.
Bytes jpeg(bool progressive, const std::vector<Bytes>& segments) {
  return tp::jpegFile(tp::jpegFrame(progressive, 16, 16, {0x11}), segments);
}

// A DHT segment of `count` tables of class and id `table`, empty or of
// one code of 1 bit for the value 0 (as tp::kQuickTables).
Bytes dhtTables(uint8_t table, int count, bool oneCode = false) {
  Bytes one(17, 0), dht;
  one[0] = table, one[1] = oneCode;
  if (oneCode) one.push_back(0);
  for (int i = 0; i < count; ++i) tp::append(dht, one);
  return tp::jpegSegment(0xC4, dht);
}

// Every refusal says what is over which bound: sizes as magnitudes (a
// top-down BMP declares a negative height), no pixels, the JPEG tables
// (each counted, and each a scan uses defined before it: a baseline scan
// uses both Huffman tables of its components, a progressive DC scan the
// DC table on its first pass only, an AC scan the AC table), and a
// Huffman table of more codes than it holds.
TEST(PictureFile, RefusalsSayWhatIsOverWhichBound) {
  Bytes zeroWideGif = gif(8, 8, 0);
  zeroWideGif[6] = 0;
  Bytes zeroHighPsd = corpusFile("split.psd");
  std::fill(zeroHighPsd.begin() + 14, zeroHighPsd.begin() + 18, 0);  // the height
  Bytes overlong(17, 0);
  overlong[0] = 0x11, overlong[8] = 255, overlong[9] = 45;  // 300 codes of 8 and 9 bits
  overlong.resize(17 + 300, 1);
  const Bytes scan = tp::jpegScan({1}), dc = tp::jpegScan({1}, 0, 0), ac = tp::jpegScan({1}, 1, 63);
  Bytes quant1 = jpeg(false, {scan});
  quant1[2 + 4 + 65 + 12] = 1;  // after SOI and DQT: marker, length, precision, size, count, id, sampling
  const auto tables = [](int ss, int se, int ah, uint8_t t) { return tp::jpegScan({1}, ss, se, ah, 0, t); };
  const Bytes defineDc1 = dhtTables(0x01, 1, true), defineAc1 = dhtTables(0x11, 1, true);
  const std::string tooLarge = "the picture is larger than 64 megapixels (23170 x 23170)";
  const std::string undefinedDc = "scan 1 uses an undefined DC Huffman table 1";
  const std::string undefinedAc = "scan 3 uses an undefined AC Huffman table 1";
  expectBounds({
      {"23170 x 23170 PNG", png(23170, 23170, 8, 0, false, {}), tooLarge, false},
      {"BMP of 23170 x -23170", bmp(23170, -23170), tooLarge, true},
      {"BMP of 8192 x -8192", bmp(8192, -8192), "", false},
      {"BMP of 8 x 0", bmp(8, 0), "the picture has no pixels (8 x 0)", true},
      {"GIF of 0 x 8", zeroWideGif, "the picture has no pixels (0 x 8)", true},
      {"PSD of 16 x 0", zeroHighPsd, "the picture has no pixels (16 x 0)", true},
      {"300 codes", jpeg(false, {tp::jpegSegment(0xC4, overlong)}), "bad DHT header (300 codes; at most 256)", true},
      {"1000 Huffman tables", jpeg(false, {dhtTables(0x11, 998), scan}), "", true},
      {"1001 tables", jpeg(false, {dhtTables(0x11, 999), scan}), "too many Huffman tables (1001; at most 1000)", true},
      {"baseline scan of DC table 1", jpeg(false, {tables(0, 63, 0, 0x10)}), undefinedDc, true},
      {"baseline of AC 1", jpeg(false, {tables(0, 63, 0, 0x01)}), "scan 1 uses an undefined AC Huffman table 1", true},
      {"baseline, tables 1 after", jpeg(false, {tables(0, 63, 0, 0x11), defineDc1, defineAc1}), undefinedDc, true},
      {"baseline, tables 1 before", jpeg(false, {defineDc1, defineAc1, tables(0, 63, 0, 0x11)}), "", true},
      {"quantisation table 1", quant1, "scan 1 uses an undefined quantization table 1", true},
      {"progressive DC scan of DC table 1", jpeg(true, {tables(0, 0, 0, 0x10)}), undefinedDc, true},
      {"progressive DC scan of AC table 1", jpeg(true, {tables(0, 0, 0, 0x01)}), "", true},
      {"progressive DC refinement of DC table 1", jpeg(true, {dc, tables(0, 0, 1, 0x10)}), "", true},
      {"progressive AC scan of DC table 1", jpeg(true, {dc, tables(1, 63, 0, 0x10)}), "", true},
      {"progressive AC scan of AC table 1", jpeg(true, {dc, ac, tables(1, 63, 0, 0x01)}), undefinedAc, true},
      {"AC refinement of AC table 1", jpeg(true, {dc, ac, tables(1, 63, 1, 0x01)}), undefinedAc, true},
  });
}

// Pictures as a common encoder (ImageMagick, with libjpeg and libpng)
// writes them at the sampling, depth and interlacing that cost the decoder
// the most: all are read, and read as ImageMagick itself reads them (a
// JPEG within the rounding of another decoder's transform and
// upsampling, a PSD of the alpha taken out of its matte too; ImageMagick
// cuts 16-bit samples to 8 by rounding, the decoder by dropping the low
// byte). ImageMagick writes BMPs bottom-up: a top-down one is made here.
TEST(PictureFile, PicturesImageMagickWritesDecodeAsItReadsThem) {
  if (std::system("convert -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick is not installed";
  constexpr int kSide = 513;  // odd: JPEG blocks cut at the edges, BMP rows padded
  const std::string dir = ::testing::TempDir(), source = dir + "tilvox_source.rgba";
  const auto save = [](const std::string& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
  };
  // A smooth picture with noise, of some alpha.
  Bytes rgba;
  uint32_t seed = 1;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
      const int noise = static_cast<int>(seed & 31);
      rgba.insert(rgba.end(), {uint8_t(x * 200 / kSide + noise), uint8_t(y * 200 / kSide + noise),
                               uint8_t((x + y) * 100 / kSide + noise), uint8_t(160 + (x ^ y) % 96)});
    }
  save(source, rgba);
  const std::tuple<const char*, const char*, int> cases[] = {  // file, options, tolerance
      {"progressive444.jpg", "-alpha off -quality 95 -interlace JPEG -sampling-factor 1x1 ", 2},
      {"progressive420.jpg", "-alpha off -quality 90 -interlace JPEG -sampling-factor 2x2 ", 2},
      {"baseline422.jpg", "-alpha off -quality 85 -sampling-factor 2x1 ", 2},
      {"rgb16.png", "-alpha off -depth 16 PNG48:", 1},
      {"rgba16-interlaced.png", "-depth 16 -interlace PNG PNG64:", 1},
      {"rgb8-interlaced.png", "-alpha off -interlace PNG PNG24:", 0},
      {"rgba.psd", "", 2},  // taken out of its white matte, rounded otherwise
      {"rgba.tga", "-compress RLE ", 0},
      {"top-down.bmp", nullptr, 0},  // made here
  };
  for (const auto& [name, options, tolerance] : cases) {
    const std::string file = dir + "tilvox_" + name;
    if (!options) save(file, bmp(kSide, -kSide, rgba.data()));
    else ASSERT_EQ(std::system(("convert -size 513x513 -depth 8 rgba:" + source + " " + options + file).c_str()), 0)
        << name;
    // A PSD holds its layers after the composite picture, the one decoded;
    // ImageMagick keeps the rows of a TGA in the file's order unless told
    // to turn them as the header says.
    ASSERT_EQ(std::system(("convert '" + file + "[0]' -auto-orient -depth 8 rgba:" + file + ".rgba").c_str()), 0)
        << name;
    std::ifstream f(file, std::ios::binary), r(file + ".rgba", std::ios::binary);
    const Bytes bytes(std::istreambuf_iterator<char>(f), {}), reference(std::istreambuf_iterator<char>(r), {});
    std::vector<uint32_t> px;
    int w = 0, h = 0;
    ASSERT_EQ(DecodePicture(bytes, px, w, h), "") << name;
    ASSERT_EQ(std::make_tuple(w, h, reference.size()), std::make_tuple(kSide, kSide, px.size() * 4)) << name;
    int worst = 0;
    for (size_t i = 0; i < reference.size(); ++i)
      worst = std::max(worst, std::abs(int(px[i / 4] >> (8 * (i % 4)) & 255) - reference[i]));
    EXPECT_LE(worst, tolerance) << name;
  }
}

}  // namespace
