// Picture files for the import: which of the six formats a file is, what
// its header alone refuses, and the decode; see PictureFile.h.
#include "convert/PictureFile.h"

#include "platform/StbImage.h"

#include <stb_image.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string_view>
#include <utility>

namespace {

constexpr int kDecodeChannels = 4;  // RGBA, whatever the file holds

// JPEG markers and the Huffman table layout.
constexpr int kMarkerPrefix = 0xFF;
constexpr int kMarkerSoi = 0xD8;
constexpr int kMarkerEoi = 0xD9;
constexpr int kMarkerDht = 0xC4;
constexpr int kMarkerSof0 = 0xC0;  // baseline, extended and progressive frames:
constexpr int kMarkerSof2 = 0xC2;  // the three the decoder reads
constexpr int kMarkerSos = 0xDA;
constexpr int kMarkerTem = 0x01;
constexpr int kMarkerRst0 = 0xD0;
constexpr int kMarkerRst7 = 0xD7;
constexpr int kHuffmanCodeLengths = 16;
constexpr int kHuffmanMaxCodes = 256;
constexpr const char* kBadHuffmanTable = "bad DHT header";
constexpr int kJpegBlockSide = 8;
constexpr int kJpegMaxSampling = 4;        // per component and direction
constexpr int kJpegMaxScanComponents = 4;  // the decoder refuses a scan of more

// The GIF layout the decoder reads before the first image's data: the
// 13-byte screen descriptor (its flags at 10), the tags of extensions and
// images, the graphic control extension of 4 bytes, the 8 bytes of an
// image's place and size before its flags, and LZW codes of at most 12 bits with
// at most 8192 table entries.
constexpr size_t kGifHeaderSize = 13;
constexpr size_t kGifScreenFlags = 10;
constexpr int kGifImage = 0x2C;
constexpr int kGifExtension = 0x21;
constexpr int kGifGraphicControl = 0xF9;
constexpr int kGifGraphicControlSize = 4;
constexpr size_t kGifImageHeaderSize = 8;
constexpr int kGifMaxCodeBits = 12;
constexpr int kGifMaxCodes = 8192;

// The PNG chunk layout: length, type, data, CRC after the 8-byte
// signature; the header chunk's data holds the sample bits at 8 and the
// colour type at 9, whose samples a pixel are listed here (0 for the
// types the decoder refuses).
constexpr size_t kPngSignatureSize = 8;
constexpr size_t kPngChunkType = 4;
constexpr size_t kPngChunkFrame = 12;
constexpr size_t kPngHeaderSize = 13;
constexpr size_t kPngHeaderDepth = 8 + 8;  // after the chunk's length and type
constexpr size_t kPngHeaderColour = 9 + 8;
constexpr int kPngSamples[] = {1, 0, 3, 1, 2, 0, 4};  // grey, -, RGB, palette, grey+alpha, -, RGBA

// The decoder grows two buffers as it reads a PNG: the compressed chunks,
// gathered in a buffer that doubles up to the file's size, and the
// inflated data, in one that starts at the picture's size and doubles
// when the data is longer, as an interlaced picture's is by its extra
// filter bytes. Twice the larger of the two, plus room beyond the
// gathering buffer's first 4 KiB, holds every real file; the rest would be
// data the picture does not hold, up to 4 GiB of it from a few megabytes
// of file.
constexpr int64_t kGrowthSlack = 64 * 1024;

// The byte at i, or 0 past the end, as the decoder reads.
int byteAt(const std::vector<uint8_t>& b, size_t i) { return i < b.size() ? b[i] : 0; }

// The formats with a signature at the start of the file, in the order they
// are tried.
struct PictureSignature {
  PictureFormat format;
  std::string_view magic;
};
constexpr PictureSignature kPictureSignatures[] = {
    {PictureFormat::Png, std::string_view("\x89PNG\r\n\x1A\n", 8)},
    {PictureFormat::Jpeg, "\xFF\xD8"},  // start of image
    {PictureFormat::Bmp, "BM"},
    {PictureFormat::Gif, "GIF87a"},
    {PictureFormat::Gif, "GIF89a"},
    {PictureFormat::Psd, "8BPS"},
};

// The 18-byte TGA header: colour-map type, image type, the bits of a map
// entry, width and height (little-endian) and the bits of a pixel.
constexpr size_t kTgaHeaderSize = 18;
constexpr size_t kTgaMapType = 1;
constexpr size_t kTgaImageType = 2;
constexpr size_t kTgaMapEntryBits = 7;
constexpr size_t kTgaWidth = 12;
constexpr size_t kTgaHeight = 14;
constexpr size_t kTgaPixelBits = 16;

bool oneOf(int value, std::initializer_list<int> values) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

// A TGA file has no signature; its header is plausible when every field
// holds a value the format defines: a colour-mapped picture (types 1 and
// 9, the latter run-length coded) with map entries of 15 to 32 bits and
// indexes of 8 or 16, or a true-colour or grey one (types 2, 3, 10, 11)
// without a map, and a size of at least 1 x 1.
bool plausibleTgaHeader(const std::vector<uint8_t>& b) {
  if (b.size() < kTgaHeaderSize) return false;
  const int width = b[kTgaWidth] | b[kTgaWidth + 1] << 8;
  const int height = b[kTgaHeight] | b[kTgaHeight + 1] << 8;
  if (width < 1 || height < 1) return false;
  const int type = b[kTgaImageType];
  const int bits = b[kTgaPixelBits];
  switch (b[kTgaMapType]) {
    case 0: return oneOf(type, {2, 3, 10, 11}) && oneOf(bits, {8, 15, 16, 24, 32});
    case 1: return oneOf(type, {1, 9}) && oneOf(b[kTgaMapEntryBits], {15, 16, 24, 32}) && oneOf(bits, {8, 16});
    default: return false;
  }
}

// What the decoder will meet in a JPEG file, found by walking its markers
// as the decoder does: skipping stray bytes between segments, fill bytes
// before a marker and the entropy-coded data after a scan header, and
// reading zeros past the end. The decoder stops at the first segment it
// cannot take, the walk goes on; so it sees every scan the decoder could
// decode, and perhaps more.
struct JpegMarkers {
  // The packaged decoder does not check that a Huffman table lists at most
  // 256 codes and writes past its tables for one that lists more. The walk
  // stops at the first such table.
  bool overlongHuffmanTable = false;
  int64_t scans = 0;
  // The 8 x 8 blocks the scans decode, each scan counted as whole MCUs of
  // the components it names (a scan of one component decodes at most as
  // many); a scan before the frame header, which the decoder refuses,
  // counts none.
  int64_t scanBlocks = 0;
};

// The frame header (the first, as the decoder takes only that one): the
// picture's MCUs and each component's id and blocks in an MCU.
struct JpegFrame {
  int64_t mcus = 0;
  std::vector<std::pair<int, int>> components;
};

JpegFrame jpegFrame(const std::vector<uint8_t>& b, size_t segment) {
  const auto at = [&b](size_t i) { return byteAt(b, i); };
  const int height = at(segment + 3) << 8 | at(segment + 4);
  const int width = at(segment + 5) << 8 | at(segment + 6);
  const int count = at(segment + 7);
  JpegFrame frame;
  int hMax = 1, vMax = 1;
  for (int i = 0; i < count; ++i) {
    const size_t c = segment + 8 + 3 * static_cast<size_t>(i);
    // The decoder refuses sampling factors outside 1 to 4.
    const int h = std::clamp(at(c + 1) >> 4, 1, kJpegMaxSampling);
    const int v = std::clamp(at(c + 1) & 15, 1, kJpegMaxSampling);
    hMax = std::max(hMax, h);
    vMax = std::max(vMax, v);
    frame.components.emplace_back(at(c), h * v);
  }
  const auto mcusAcross = [](int pixels, int factor) {
    return (int64_t{pixels} + kJpegBlockSide * factor - 1) / (kJpegBlockSide * factor);
  };
  frame.mcus = mcusAcross(width, hMax) * mcusAcross(height, vMax);
  return frame;
}

JpegMarkers walkJpegMarkers(const std::vector<uint8_t>& b) {
  JpegMarkers found;
  const auto at = [&b](size_t i) { return byteAt(b, i); };
  size_t p = 0;
  while (p < b.size() && b[p] == kMarkerPrefix) ++p;
  if (p == 0 || at(p) != kMarkerSoi) return found;  // not a JPEG
  ++p;
  JpegFrame frame;
  bool framed = false;
  while (p < b.size()) {
    if (b[p] != kMarkerPrefix) {
      ++p;
      continue;
    }
    size_t q = p;
    while (q < b.size() && b[q] == kMarkerPrefix) ++q;
    if (q >= b.size()) break;
    const int marker = b[q];
    const size_t segment = q + 1;  // the length field
    if (marker == kMarkerEoi) break;
    if (marker == 0 || marker == kMarkerTem || marker == kMarkerSoi ||
        (marker >= kMarkerRst0 && marker <= kMarkerRst7)) {
      p = segment;  // stuffed byte or a marker without a segment
      continue;
    }
    const size_t length = static_cast<size_t>(at(segment) << 8 | at(segment + 1));
    if (marker == kMarkerDht) {
      long left = static_cast<long>(length) - 2;
      size_t i = segment + 2;
      while (left > 0) {
        const int table = at(i++);
        if ((table >> 4) > 1 || (table & 15) > 3) break;  // the decoder refuses this itself
        int codes = 0;
        for (int k = 0; k < kHuffmanCodeLengths; ++k) codes += at(i++);
        if (codes > kHuffmanMaxCodes) {
          found.overlongHuffmanTable = true;
          return found;
        }
        i += static_cast<size_t>(codes);
        left -= 1 + kHuffmanCodeLengths + codes;
      }
    } else if (marker >= kMarkerSof0 && marker <= kMarkerSof2 && !framed) {
      frame = jpegFrame(b, segment);
      framed = true;
    } else if (marker == kMarkerSos) {
      ++found.scans;
      // The decoder refuses a scan of more than 4 components unread.
      const int count = std::min(at(segment + 2), kJpegMaxScanComponents);
      for (int i = 0; i < count; ++i) {
        const int id = at(segment + 3 + 2 * static_cast<size_t>(i));
        const auto c = std::find_if(frame.components.begin(), frame.components.end(),
                                    [id](const std::pair<int, int>& c) { return c.first == id; });
        if (c != frame.components.end()) found.scanBlocks += frame.mcus * c->second;
      }
    }
    // After a scan header the entropy-coded data is passed over byte by
    // byte up to the next marker.
    p = segment + std::max<size_t>(length, 2);
  }
  return found;
}

// The pixels the LZW data of a GIF's first image stands for: the decoder
// reads only that image, and for every code it follows the code's whole
// string, even past the image's last pixel, so this is its work. The file
// is read as the decoder reads it (the screen's colour table, extension
// blocks, the image header and its colour table, data blocks; zeros past
// the end); a code the decoder would refuse ends the count there.
int64_t gifFirstImagePixels(const std::vector<uint8_t>& b) {
  const auto at = [&b](size_t i) { return byteAt(b, i); };
  const auto colourTable = [](int flags) { return (flags & 0x80) ? size_t{3} << ((flags & 7) + 1) : 0; };
  const int screenFlags = at(kGifScreenFlags);
  size_t p = kGifHeaderSize + colourTable(screenFlags);
  for (;;) {
    const int tag = at(p++);
    if (tag == kGifImage) break;
    if (tag != kGifExtension) return 0;  // the trailer, or a block the decoder refuses
    if (at(p++) == kGifGraphicControl) {
      const int length = at(p++);
      p += static_cast<size_t>(length);
      // The decoder takes a graphic control block of another length than
      // 4 as a whole and reads the next block right after it.
      if (length != kGifGraphicControlSize) continue;
    }
    for (int length = at(p++); length != 0; length = at(p++)) p += static_cast<size_t>(length);
  }
  p += kGifImageHeaderSize;
  const int imageFlags = at(p++);
  if (!(imageFlags & 0x80) && !(screenFlags & 0x80)) return 0;  // no colour table: refused
  p += colourTable(imageFlags);

  const int minSize = at(p++);
  if (minSize > kGifMaxCodeBits) return 0;
  const int clear = 1 << minSize;
  std::vector<int64_t> length(kGifMaxCodes + 1, 1);  // pixels of each code's string
  int size = minSize + 1, next = clear + 2, previous = -1;
  bool cleared = false;
  uint32_t bits = 0;
  int held = 0, blockLeft = 0;
  int64_t pixels = 0;
  for (;;) {
    if (held < size) {
      if (blockLeft == 0 && (blockLeft = at(p++)) == 0) return pixels;
      --blockLeft;
      bits |= static_cast<uint32_t>(at(p++)) << held;
      held += 8;
      continue;
    }
    const int code = static_cast<int>(bits & ((1u << size) - 1));
    bits >>= size;
    held -= size;
    if (code == clear) {
      size = minSize + 1, next = clear + 2, previous = -1;
      cleared = true;
      continue;
    }
    if (code == clear + 1 || code > next || !cleared) return pixels;
    if (previous >= 0) {
      if (next >= kGifMaxCodes) return pixels;
      length[static_cast<size_t>(next++)] = length[static_cast<size_t>(previous)] + 1;
    } else if (code == next) {
      return pixels;
    }
    pixels += length[static_cast<size_t>(code)];
    if ((next & ((1 << size) - 1)) == 0 && next < (1 << kGifMaxCodeBits)) ++size;
    previous = code;
  }
}

// What the header declares: the size and the channels of a pixel.
struct Declared {
  int w = 0, h = 0, channels = 0;
  int64_t pixels() const { return int64_t{w} * h; }
};

Declared declared(const std::vector<uint8_t>& bytes) {
  Declared d;
  if (!stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &d.w, &d.h, &d.channels)) return {};
  return d;
}

// The bytes of a PNG's samples, as its header chunk gives the colour type
// and the bits of a sample: each of a whole byte or two, so a picture of
// fewer bits counts more than it holds.
int64_t pngSampleBytes(const std::vector<uint8_t>& b, const Declared& d) {
  const auto be32 = [&b](size_t i) {
    return static_cast<size_t>(byteAt(b, i)) << 24 | byteAt(b, i + 1) << 16 | byteAt(b, i + 2) << 8 | byteAt(b, i + 3);
  };
  // The decoder takes an Apple CgBI chunk before the header chunk.
  for (size_t p = kPngSignatureSize; p + kPngChunkFrame + kPngHeaderSize <= b.size(); p += kPngChunkFrame + be32(p)) {
    if (std::memcmp(&b[p + kPngChunkType], "IHDR", 4) != 0) continue;
    const int depth = b[p + kPngHeaderDepth], colour = b[p + kPngHeaderColour];
    const int samples = colour < static_cast<int>(std::size(kPngSamples)) ? kPngSamples[colour] : 0;
    return d.pixels() * samples * (depth == 16 ? 2 : 1);
  }
  return 0;
}

}  // namespace

PictureFormat DetectPictureFormat(const std::vector<uint8_t>& bytes) {
  const std::string_view head(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  for (const PictureSignature& s : kPictureSignatures)
    if (head.substr(0, s.magic.size()) == s.magic) return s.format;
  return plausibleTgaHeader(bytes) ? PictureFormat::Tga : PictureFormat::None;
}

namespace {

// PictureHeaderProblem, also giving what the header declares.
std::string headerProblem(const std::vector<uint8_t>& bytes, int64_t maxPixels, Declared& d) {
  // Only the six formats ever reach the decoder, whatever their name says.
  const PictureFormat format = DetectPictureFormat(bytes);
  if (format == PictureFormat::None) return kImportUnsupported;
  if (bytes.size() > static_cast<size_t>(INT_MAX)) return kImportTooLarge;
  // Before the decoder reads any table, its header reading included.
  const JpegMarkers jpeg = format == PictureFormat::Jpeg ? walkJpegMarkers(bytes) : JpegMarkers{};
  if (jpeg.overlongHuffmanTable) return kBadHuffmanTable;
  // The header gives the size before any pixel memory is taken.
  d = declared(bytes);
  if (d.pixels() > maxPixels) return kImportTooLarge;
  // The work of the decode, bounded before it starts. A single scan over
  // the block budget is simply too large a picture of its kind (a 4:4:4 or
  // CMYK JPEG near the pixel limit).
  if (jpeg.scans > kJpegMaxScans || (jpeg.scanBlocks > kJpegMaxScanBlocks && jpeg.scans > 1))
    return kImportTooManyScans;
  if (jpeg.scanBlocks > kJpegMaxScanBlocks) return kImportTooMuchData;
  if (format == PictureFormat::Png && pngSampleBytes(bytes, d) > kPngMaxSampleBytes) return kImportTooMuchData;
  if (format == PictureFormat::Gif && gifFirstImagePixels(bytes) > d.pixels()) return kImportTooMuchData;
  return {};
}

}  // namespace

std::string PictureHeaderProblem(const std::vector<uint8_t>& bytes, int64_t maxPixels) {
  Declared d;
  return headerProblem(bytes, maxPixels, d);
}

std::string DecodePicture(const std::vector<uint8_t>& bytes, std::vector<uint32_t>& pixels, int& w, int& h,
                          int64_t maxPixels) {
  Declared d;
  const std::string problem = headerProblem(bytes, maxPixels, d);
  if (!problem.empty()) return problem;
  // A PNG's inflated data: the samples and a filter byte a row.
  const int64_t dataBytes = pngSampleBytes(bytes, d) + d.h;
  tilvoxStbLimitGrowth(static_cast<size_t>(2 * std::max(static_cast<int64_t>(bytes.size()), dataBytes) + kGrowthSlack));
  int iw = 0, ih = 0, channels = 0;
  stbi_uc* decoded =
      stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &iw, &ih, &channels, kDecodeChannels);
  const bool grewTooMuch = tilvoxStbGrowthRefused();
  tilvoxStbLimitGrowth(SIZE_MAX);  // the program's own pictures load on the same thread
  if (!decoded) {
    if (grewTooMuch) return kImportTooMuchData;
    const char* reason = stbi_failure_reason();
    return reason && *reason ? reason : "unknown error";
  }
  const int64_t count = static_cast<int64_t>(iw) * ih;
  if (iw < 1 || ih < 1 || count > maxPixels) {
    stbi_image_free(decoded);
    return kImportTooLarge;
  }
  pixels.resize(static_cast<size_t>(count));
  std::memcpy(pixels.data(), decoded, static_cast<size_t>(count) * kDecodeChannels);
  stbi_image_free(decoded);
  w = iw;
  h = ih;
  return {};
}
