// Decoding time of the slowest files of each format the picture import
// reads, at the pixel limit (8192 x 8192) or at the bounds the header
// check sets, and of files past those bounds, which it refuses at once
// (their label says so). The files are built in memory along the slowest
// paths of each loader: PNG data of 15-bit codes, Paeth-filtered,
// interlaced and 16-bit; GIF of one pixel per LZW code and of the longest
// strings (only the first image is ever decoded, so more frames cost
// nothing); PSD and TGA run-length data of one sample a run, PSD alpha
// taken out of its matte; 1-bit and bit-field BMP (the decoder has no
// run-length BMP); JPEG blocks with every coefficient set through the
// longest Huffman code, in one scan or many (the decoder refuses
// arithmetic coding, and a restart interval only ends a scan early).
// Each file decodes once; the whole program takes about a minute and a
// half, most of it building the files.
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

// A grey (1) or RGB (3) picture of side x side whose image data inflates
// to `mib` MiB of zeros, far more than it needs.
Bytes pngBomb(int side, int channels, int mib) {
  Deflater d(true);
  const Bytes zeros(1 << 20, 0);
  for (int i = 0; i < mib; ++i) d.feed(zeros.data(), zeros.size());
  return pngFile(side, side, 8, channels == 3 ? 2 : 0, false, d.finish());
}

// ---- GIF
using testpictures::LzwWriter;

// One pixel per code: literals only, the table cleared before the codes
// widen past three bits.
Bytes gifPixelPerCode() {
  LzwWriter z;
  while (z.pixels < kImportMaxPixels) {
    if (z.previous < 0 || z.next == 7) z.clear();
    z.code(static_cast<int>(z.pixels & 3));
  }
  return z.gif(kSide, kSide);
}

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

Bytes psdRaw16() {
  Bytes b = psdHeader(4, 16, 0);
  for (int c = 0; c < 4; ++c) b.resize(b.size() + size_t{2} * kImportMaxPixels, c == 3 ? 0x80 : 0xC8);
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

Bytes bmp1Bit() { return bmp(1, 0, {0, 0, 0, 0, 255, 255, 255, 0}, true); }

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

Bytes jpegBaseline(int w, int h, const std::vector<uint8_t>& sampling) {
  const Bytes scan = sampling.size() == 1   ? tp::jpegScan({1})
                     : sampling.size() == 3 ? tp::jpegScan({1, 2, 3})
                                            : tp::jpegScan({1, 2, 3, 4});
  return tp::jpegFile(tp::jpegFrame(false, w, h, sampling, tp::kSlowTables), {scan});
}

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

// A grey picture of a DC scan and `acScans` scans of all AC coefficients.
Bytes jpegProgressiveGrey(int side, int acScans) {
  std::vector<Bytes> scans = {tp::jpegScan({1}, 0, 0)};
  for (int i = 0; i < acScans; ++i) scans.push_back(tp::jpegScan({1}, 1, 63));
  return tp::jpegFile(tp::jpegFrame(true, side, side, {0x11}, tp::kSlowTables), scans);
}

#define PICTURE_BENCH(name, ...)                                                                 \
  BENCHMARK_CAPTURE(decodeFile, name, [] { return __VA_ARGS__; })->Unit(benchmark::kMillisecond) \
      ->Iterations(1)

// The most sample bytes a PNG may have: 8-bit grey or palette at the pixel
// limit, 8-bit RGB of 32, RGBA of 24, 16-bit RGBA of 12 megapixels.
PICTURE_BENCH(png_grey8_noise, png(kSide, kSide, 1, 8, false, true));
PICTURE_BENCH(png_palette8_adam7_noise, png(kSide, kSide, 0, 8, true, true));
PICTURE_BENCH(png_rgb8_noise_32MP, png(kSide, 4096, 3, 8, false, true));
PICTURE_BENCH(png_rgba8_adam7_noise_24MP, png(4096, 6144, 4, 8, true, true));
PICTURE_BENCH(png_rgba16_noise_12MP, png(4096, 3072, 4, 16, false, true));
PICTURE_BENCH(png_rgba16_adam7_zeros_12MP, png(4096, 3072, 4, 16, true, false));
PICTURE_BENCH(png_grey1_adam7_noise, png(kSide, kSide, 1, 1, true, true));
PICTURE_BENCH(png_rgba16_noise_24MP, png(4096, 6144, 4, 16, false, true));
PICTURE_BENCH(png_1x1_inflating_2GiB, pngBomb(1, 1, 2047));
PICTURE_BENCH(png_grey8_inflating_1GiB, pngBomb(kSide, 1, 1024));
PICTURE_BENCH(gif_pixel_per_code, gifPixelPerCode());
PICTURE_BENCH(gif_longest_strings, gifLongStrings(kSide, kSide, kImportMaxPixels));
PICTURE_BENCH(gif_1x1_of_64MP_data, gifLongStrings(1, 1, kImportMaxPixels));
PICTURE_BENCH(gif_1x1_of_1GP_data, gifLongStrings(1, 1, int64_t{1} << 30));
PICTURE_BENCH(psd_rle_literals_16_channels, psdRleLiterals());
PICTURE_BENCH(psd_raw16_matte, psdRaw16());
PICTURE_BENCH(bmp_1bit, bmp1Bit());
PICTURE_BENCH(bmp_32bit_bitfields, bmpBitfields());
PICTURE_BENCH(tga_rle_16bit_raw_packets, tgaRle(10, 16, false));
PICTURE_BENCH(tga_rle_mapped16_raw_packets, tgaRle(9, 16, true));
// The most blocks a JPEG may decode: a baseline 4:2:2 picture at the pixel
// limit, a 4:4:4 one of 44.7 megapixels, a progressive 4:2:0 one of 16.7
// with its 10 scans, a grey one of 1.3 with 100 scans.
PICTURE_BENCH(jpeg_baseline_grey, jpegBaseline(kSide, kSide, {0x11}));
PICTURE_BENCH(jpeg_baseline_422, jpegBaseline(kSide, kSide, {0x21, 0x11, 0x11}));
PICTURE_BENCH(jpeg_baseline_444_44MP, jpegBaseline(6688, 6688, {0x11, 0x11, 0x11}));
PICTURE_BENCH(jpeg_progressive_420_16MP, jpegProgressiveColour(4096, {0x22, 0x11, 0x11}));
PICTURE_BENCH(jpeg_progressive_grey_100_scans, jpegProgressiveGrey(1152, 99));
PICTURE_BENCH(jpeg_baseline_444, jpegBaseline(kSide, kSide, {0x11, 0x11, 0x11}));
PICTURE_BENCH(jpeg_baseline_cmyk, jpegBaseline(kSide, kSide, {0x11, 0x11, 0x11, 0x11}));
PICTURE_BENCH(jpeg_progressive_444, jpegProgressiveColour(kSide, {0x11, 0x11, 0x11}));
PICTURE_BENCH(jpeg_progressive_grey_101_scans_1MP, jpegProgressiveGrey(1024, 100));

}  // namespace
