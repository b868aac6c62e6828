// Decoding time of the slowest file of each format the picture import
// reads, at the pixel limit (8192 x 8192). The files are built in memory
// along the slowest paths of each loader: PNG data of 15-bit codes,
// Paeth-filtered, interlaced and 16-bit; GIF of the longest LZW strings
// (only the first image is ever decoded, so more frames cost nothing);
// PSD run-length data of one sample a run, its alpha taken out of its
// matte; bit-field BMP (the decoder has no run-length BMP); TGA run-length
// data of one pixel a packet; JPEG blocks with every coefficient set
// through the longest Huffman code, in the 10 scans of a progressive
// picture (the decoder refuses arithmetic coding, and a restart interval
// only ends a scan early). Each file decodes once; the whole program takes
// about a minute, most of it building the files.
#include "convert/PictureFile.h"
#include "tests/TestPictures.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

using testpictures::Bytes;
constexpr int kSide = 8192;  // kSide x kSide = kImportMaxPixels
static_assert(int64_t{kSide} * kSide == kImportMaxPixels);

void le16(Bytes& b, uint32_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
void le32(Bytes& b, uint32_t v) { le16(b, v), le16(b, v >> 16); }
void be16(Bytes& b, uint32_t v) { b.push_back(uint8_t(v >> 8)), b.push_back(uint8_t(v)); }
void be32(Bytes& b, uint32_t v) { testpictures::put32(b, v); }

uint32_t xorshift(uint32_t& s) { return s ^= s << 13, s ^= s >> 17, s ^= s << 5; }

void decodeFile(benchmark::State& state, const std::function<Bytes()>& make) {
  const Bytes file = make();
  std::string error;
  for (auto _ : state) {
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    error = DecodePicture(file, pixels, w, h);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetLabel(std::to_string(file.size() >> 10) + " KiB, " + (error.empty() ? "decoded" : "refused: " + error));
}

// ---- PNG: the rows are deflated as they are made.
using testpictures::Deflater;
using testpictures::pngFile;

// Every row Paeth-filtered (the costliest filter), of zeros or of noise,
// with the slow codes. Channels 0: a palette.
Bytes png(int w, int h, int channels, int depth, bool interlaced, bool noise) {
  const int color = channels == 4 ? 6 : channels == 3 ? 2 : channels == 2 ? 4 : channels == 0 ? 3 : 0;
  channels = std::max(channels, 1);
  Deflater d(true);
  uint32_t seed = 1;
  const std::vector<testpictures::Adam7Pass> passes =
      interlaced ? std::vector(std::begin(testpictures::kAdam7), std::end(testpictures::kAdam7))
                 : std::vector<testpictures::Adam7Pass>{{0, 0, 1, 1}};
  for (const auto& p : passes) {
    const int pw = (w - p.x0 + p.dx - 1) / p.dx, ph = (h - p.y0 + p.dy - 1) / p.dy;
    Bytes row(1 + (static_cast<size_t>(pw) * channels * depth + 7) / 8);
    for (int y = 0; y < ph; ++y) {
      row[0] = 4;  // Paeth
      if (noise)
        for (size_t i = 1; i < row.size(); ++i) row[i] = static_cast<uint8_t>(xorshift(seed));
      d.feed(row);
    }
  }
  return pngFile(w, h, depth, color, interlaced, d.finish());
}

// ---- GIF
using testpictures::LzwWriter;

// The longest strings: each code names the entry made just before, up to
// the last code, which then repeats until the table is full; `pixels` in
// all, on a canvas of w x h. After a clear and a literal, entry e stands
// for e - 4 pixels, so the last code is the entry of what is left.
Bytes gifLongStrings(int w, int h, int64_t pixels) {
  LzwWriter z;
  while (z.pixels < pixels) {
    if (z.previous < 0 || z.next == 8191) {
      z.clear();
      z.code(0);
      continue;
    }
    const int c = std::min(z.next, LzwWriter::kMaxCode);
    const int64_t left = pixels - z.pixels;
    const int64_t length = c == z.next ? z.length[static_cast<size_t>(z.previous)] + 1 : z.length[static_cast<size_t>(c)];
    z.code(length <= left ? c : left > 1 ? static_cast<int>(left) + 4 : 0);
  }
  return z.gif(w, h);
}

// ---- PSD: RGB of 4 channels plus 12 more the decoder skips.
Bytes psdHeader(int channels, int depth, int compression) {
  Bytes b = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
  be16(b, channels), be32(b, kSide), be32(b, kSide), be16(b, depth), be16(b, 3);
  be32(b, 0), be32(b, 0), be32(b, 0), be16(b, compression);
  return b;
}

// Run-length data of one literal sample per run; alpha of 128 so that
// the decoder takes every pixel out of its matte.
Bytes psdRleLiterals() {
  const int channels = 16;
  Bytes b = psdHeader(channels, 8, 1);
  b.resize(b.size() + size_t{2} * kSide * channels, 0);  // row lengths, skipped
  for (int c = 0; c < 4; ++c)
    for (int64_t i = 0; i < kImportMaxPixels; ++i) b.insert(b.end(), {0, uint8_t(c == 3 ? 128 : 200)});
  return b;
}

// ---- BMP with a 40-byte header; `extra` follows it (palette or masks).
Bytes bmp(int bpp, int compression, const Bytes& extra, bool noise) {
  const size_t rowBytes = ((static_cast<size_t>(kSide) * bpp + 31) / 32) * 4;
  const uint32_t offset = 14 + 40 + static_cast<uint32_t>(extra.size());
  Bytes b = {'B', 'M'};
  le32(b, offset + static_cast<uint32_t>(rowBytes * kSide)), le32(b, 0), le32(b, offset);
  le32(b, 40), le32(b, kSide), le32(b, kSide), le16(b, 1), le16(b, bpp), le32(b, compression);
  le32(b, static_cast<uint32_t>(rowBytes * kSide)), le32(b, 2835), le32(b, 2835), le32(b, 0), le32(b, 0);
  b.insert(b.end(), extra.begin(), extra.end());
  uint32_t seed = 7;
  const size_t start = b.size();
  b.resize(start + rowBytes * kSide, 0x5A);
  if (noise)
    for (size_t i = start; i < b.size(); ++i) b[i] = static_cast<uint8_t>(xorshift(seed));
  return b;
}

// 32-bit pixels through bit-field masks of odd widths and offsets.
Bytes bmpBitfields() {
  Bytes masks;
  for (uint32_t m : {0x7F800000u, 0x003FC000u, 0x00000FF0u}) le32(masks, m);
  return bmp(32, 3, masks, true);
}

// ---- TGA, bottom-up (the decoder turns it over), run-length coded with
// a raw packet of one pixel per pixel.
Bytes tgaRle(int type, int bits, bool mapped) {
  Bytes b = {0, uint8_t(mapped), uint8_t(type)};
  le16(b, 0), le16(b, mapped ? 256 : 0), b.push_back(mapped ? 16 : 0);
  le16(b, 0), le16(b, 0), le16(b, kSide), le16(b, kSide), b.push_back(uint8_t(bits)), b.push_back(0);
  if (mapped) b.resize(b.size() + 512, 0x3C);
  uint32_t seed = 3;
  const size_t pixelBytes = static_cast<size_t>(bits) / 8;
  b.reserve(b.size() + (1 + pixelBytes) * kImportMaxPixels);
  for (int64_t i = 0; i < kImportMaxPixels; ++i) {
    b.push_back(0);
    const uint32_t v = xorshift(seed);
    for (size_t k = 0; k < pixelBytes; ++k) b.push_back(static_cast<uint8_t>(v >> (8 * k)));
  }
  return b;
}

// ---- JPEG: every block of every scan decodes all 63 AC coefficients
// through the 16-bit code, the costliest path of the decoder.
namespace tp = testpictures;

// The scans of a progressive colour picture as an encoder orders them (DC
// of all components, luma in 4 scans, each chroma component in 2, DC
// again), every one of them decoding all it covers.
Bytes jpegProgressiveColour(int side, const std::vector<uint8_t>& sampling) {
  std::vector<Bytes> scans = {tp::jpegScan({1, 2, 3}, 0, 0)};
  for (int id : {1, 1, 1, 1, 2, 2, 3, 3}) scans.push_back(id == 1 ? tp::jpegScan({1}, 1, 63)
                                                         : id == 2 ? tp::jpegScan({2}, 1, 63)
                                                                   : tp::jpegScan({3}, 1, 63));
  scans.push_back(tp::jpegScan({1, 2, 3}, 0, 0));
  return tp::jpegFile(tp::jpegFrame(true, side, side, sampling, tp::kSlowTables), scans);
}

#define PICTURE_BENCH(name, ...)                                                                 \
  BENCHMARK_CAPTURE(decodeFile, name, [] { return __VA_ARGS__; })->Unit(benchmark::kMillisecond) \
      ->Iterations(1)

// The slowest file of each format the header check accepts, at the pixel
// limit: what the decoder's own time bound (20 seconds of processor time)
// must leave room for. A JPEG of more scans than the usual 10 (up to 100
// are accepted) may take longer; the time bound stops it.
PICTURE_BENCH(png_rgba16_adam7_noise, png(kSide, kSide, 4, 16, true, true));
PICTURE_BENCH(gif_longest_strings, gifLongStrings(kSide, kSide, kImportMaxPixels));
PICTURE_BENCH(psd_rle_literals_16_channels, psdRleLiterals());
PICTURE_BENCH(bmp_32bit_bitfields, bmpBitfields());
PICTURE_BENCH(tga_rle_16bit_raw_packets, tgaRle(10, 16, false));
PICTURE_BENCH(jpeg_progressive_444_10_scans, jpegProgressiveColour(kSide, {0x11, 0x11, 0x11}));

}  // namespace
