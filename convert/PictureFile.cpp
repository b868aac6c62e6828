// Picture files for the import: which of the six formats a file is, what
// its header alone refuses, and the decode; see PictureFile.h.
#include "convert/PictureFile.h"

#include "platform/StbImage.h"

#include <stb_image.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <new>
#include <string_view>
#include <utility>

namespace {

constexpr int kDecodeChannels = 4;  // RGBA, whatever the file holds
// The decoder's reason when an allocation failed.
constexpr const char* kStbOutOfMemory = "outofmem";

// JPEG markers and the Huffman table layout.
constexpr int kMarkerPrefix = 0xFF;
constexpr int kMarkerSoi = 0xD8;
constexpr int kMarkerEoi = 0xD9;
constexpr int kMarkerDht = 0xC4;
constexpr int kMarkerDqt = 0xDB;
constexpr int kMarkerSof0 = 0xC0;  // baseline, extended and progressive frames:
constexpr int kMarkerSof2 = 0xC2;  // the three the decoder reads
constexpr int kMarkerSos = 0xDA;
constexpr int kMarkerTem = 0x01;
constexpr int kMarkerRst0 = 0xD0;
constexpr int kMarkerRst7 = 0xD7;
constexpr int kHuffmanCodeLengths = 16;
constexpr int kHuffmanMaxCodes = 256;
constexpr int kJpegScanComponents = 4;  // the decoder refuses a scan of more
constexpr int kJpegTableIds = 4;        // tables 0 to 3 of each kind
constexpr int kJpegQuantValues = 64;    // of 8 or 16 bits, after a byte of precision and id
// The last coefficient of a block: a progressive scan from 0 covers the DC
// coefficients only.
constexpr int kJpegLastCoefficient = 63;
constexpr size_t kJpegFrameComponents = 8;  // the frame's components after its precision, size and count
constexpr size_t kJpegComponentSize = 3;    // id, sampling factors, quantisation table

// The file a picture must stay within: the decoder counts its bytes in an int.
constexpr int64_t kMaxFileBytes = INT_MAX;
constexpr const char* kFileTooLarge = "the file is larger than 2 GB (%lld bytes)";

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

// A reason with its numbers, from one of the formats of PictureFile.h.
[[gnu::format(printf, 1, 2)]] std::string reason(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

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
// decode, and perhaps more. The walk stops at the first thing it refuses
// (`problem`), before the decoder has read a byte.
struct JpegMarkers {
  std::string problem;
  int64_t scans = 0;
  int64_t huffmanTables = 0;
};

// The tables the segments so far defined: Huffman tables of each class (0
// DC, 1 AC) and id, quantisation tables by id.
struct JpegTables {
  std::array<std::array<bool, kJpegTableIds>, 2> huffman{};
  std::array<bool, kJpegTableIds> quant{};
};

// The frame header (the first, as the decoder takes only that one): each
// component's id and quantisation table.
struct JpegFrame {
  bool progressive = false;
  std::vector<std::pair<int, int>> components;
};

JpegFrame jpegFrame(const std::vector<uint8_t>& b, size_t segment, int marker) {
  JpegFrame frame;
  frame.progressive = marker == kMarkerSof2;
  const int count = byteAt(b, segment + kJpegFrameComponents - 1);
  for (int i = 0; i < count; ++i) {
    const size_t c = segment + kJpegFrameComponents + kJpegComponentSize * static_cast<size_t>(i);
    frame.components.emplace_back(byteAt(b, c), byteAt(b, c + 2));
  }
  return frame;
}

// A DHT segment of `length` bytes: each table marked defined and counted;
// a table of more codes than it can hold, or one too many tables, is the
// walk's problem.
void walkHuffmanTables(const std::vector<uint8_t>& b, size_t segment, size_t length, JpegTables& tables,
                       JpegMarkers& found) {
  const auto at = [&b](size_t i) { return byteAt(b, i); };
  long left = static_cast<long>(length) - 2;
  size_t i = segment + 2;
  while (left > 0) {
    const int table = at(i++);
    const int tableClass = table >> 4, id = table & 15;
    if (tableClass > 1 || id >= kJpegTableIds) return;  // the decoder refuses this itself
    int codes = 0;
    for (int k = 0; k < kHuffmanCodeLengths; ++k) codes += at(i++);
    // The packaged decoder does not check that a table lists at most 256
    // codes and writes past its tables for one that lists more.
    if (codes > kHuffmanMaxCodes) {
      found.problem = reason(kImportOverlongTable, static_cast<long long>(codes), static_cast<long long>(kHuffmanMaxCodes));
      return;
    }
    if (++found.huffmanTables > kJpegMaxHuffmanTables) {
      found.problem = reason(kImportTooManyTables, static_cast<long long>(found.huffmanTables),
                             static_cast<long long>(kJpegMaxHuffmanTables));
      return;
    }
    tables.huffman[static_cast<size_t>(tableClass)][static_cast<size_t>(id)] = true;
    i += static_cast<size_t>(codes);
    left -= 1 + kHuffmanCodeLengths + codes;
  }
}

void walkQuantTables(const std::vector<uint8_t>& b, size_t segment, size_t length, JpegTables& tables) {
  long left = static_cast<long>(length) - 2;
  size_t i = segment + 2;
  while (left > 0) {
    const int table = byteAt(b, i++);
    const int precision = table >> 4, id = table & 15;
    if (precision > 1 || id >= kJpegTableIds) return;  // the decoder refuses this itself
    tables.quant[static_cast<size_t>(id)] = true;
    const long size = kJpegQuantValues * (precision + 1);
    i += static_cast<size_t>(size);
    left -= 1 + size;
  }
}

// The tables a scan of the frame makes the decoder read, each checked to
// be defined: for every component it names, the component's quantisation
// table and its Huffman tables as stb_image reads them: a baseline scan
// both, a progressive DC scan (starting at coefficient 0) the DC table
// only on its first pass (a refinement, of a nonzero high bit, reads bits
// without a table), a progressive AC scan only the AC table. A component
// the frame does not have makes the decoder refuse the scan unread.
std::string undefinedTable(const std::vector<uint8_t>& b, size_t segment, const JpegFrame& frame,
                           const JpegTables& tables, int64_t scan) {
  const auto at = [&b](size_t i) { return byteAt(b, i); };
  const int count = at(segment + 2);
  if (count < 1 || count > kJpegScanComponents) return {};  // refused unread
  const size_t selection = segment + 3 + 2 * static_cast<size_t>(count);
  const int start = at(selection), highBit = at(selection + 2) >> 4;
  const bool dc = !frame.progressive || (start == 0 && highBit == 0);
  const bool ac = !frame.progressive || (start > 0 && start <= kJpegLastCoefficient);
  for (int k = 0; k < count; ++k) {
    const size_t c = segment + 3 + 2 * static_cast<size_t>(k);
    const int id = at(c), dcTable = at(c + 1) >> 4, acTable = at(c + 1) & 15;
    const auto component = std::find_if(frame.components.begin(), frame.components.end(),
                                        [id](const std::pair<int, int>& f) { return f.first == id; });
    if (component == frame.components.end()) return {};
    if (dcTable >= kJpegTableIds || acTable >= kJpegTableIds) return {};  // refused unread
    const auto scanReason = [scan](const char* kind, int table) {
      return reason(kImportUndefinedTable, static_cast<long long>(scan), kind, table);
    };
    const int quant = component->second;
    if (quant < kJpegTableIds && !tables.quant[static_cast<size_t>(quant)]) return scanReason("quantization", quant);
    if (dc && !tables.huffman[0][static_cast<size_t>(dcTable)]) return scanReason("DC Huffman", dcTable);
    if (ac && !tables.huffman[1][static_cast<size_t>(acTable)]) return scanReason("AC Huffman", acTable);
  }
  return {};
}

JpegMarkers walkJpegMarkers(const std::vector<uint8_t>& b) {
  JpegMarkers found;
  const auto at = [&b](size_t i) { return byteAt(b, i); };
  size_t p = 0;
  while (p < b.size() && b[p] == kMarkerPrefix) ++p;
  if (p == 0 || at(p) != kMarkerSoi) return found;  // not a JPEG
  ++p;
  JpegFrame frame;
  JpegTables tables;
  bool framed = false;
  while (p < b.size() && found.problem.empty()) {
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
      walkHuffmanTables(b, segment, length, tables, found);
    } else if (marker == kMarkerDqt) {
      walkQuantTables(b, segment, length, tables);
    } else if (marker >= kMarkerSof0 && marker <= kMarkerSof2 && !framed) {
      frame = jpegFrame(b, segment, marker);
      framed = true;
    } else if (marker == kMarkerSos) {
      if (++found.scans > kJpegMaxScans) {
        found.problem = reason(kImportTooManyScans, static_cast<long long>(found.scans),
                               static_cast<long long>(kJpegMaxScans));
        break;
      }
      // The decoder refuses a scan before the frame header.
      if (framed) found.problem = undefinedTable(b, segment, frame, tables, found.scans);
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

// What the header declares: the size, as magnitudes (a BMP declares a
// top-down picture by a negative height, which the decoder reads with
// abs()), and whether the decoder's header reading took it at all.
struct Declared {
  bool known = false;
  int64_t w = 0, h = 0;
  int64_t pixels() const { return w * h; }
};

Declared declared(const std::vector<uint8_t>& bytes) {
  int w = 0, h = 0, channels = 0;
  if (!stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &channels)) return {};
  return {true, std::llabs(w), std::llabs(h)};
}

// The bytes of a PNG's samples, as its header chunk gives the colour type
// and the bits of a sample, for the growth bound (kGrowthSlack): each of a
// whole byte or two, so a picture of fewer bits counts more than it holds.
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
  const int64_t size = static_cast<int64_t>(bytes.size());
  if (size > kMaxFileBytes) return reason(kFileTooLarge, static_cast<long long>(size));
  // Before the decoder reads any table, its header reading included.
  if (format == PictureFormat::Jpeg) {
    const JpegMarkers jpeg = walkJpegMarkers(bytes);
    if (!jpeg.problem.empty()) return jpeg.problem;
  }
  // The header gives the size before any pixel memory is taken. A header
  // the decoder cannot read is left to it, which says why.
  d = declared(bytes);
  const auto sized = [&d](const char* format) {
    return reason(format, static_cast<long long>(d.w), static_cast<long long>(d.h));
  };
  if (d.known && d.pixels() == 0) return sized(kImportNoPixels);
  if (d.pixels() > maxPixels) return sized(kImportTooLarge);
  if (format == PictureFormat::Gif) {
    const int64_t pixels = gifFirstImagePixels(bytes);
    if (pixels > d.pixels())
      return reason(kImportTooManyPixels, static_cast<long long>(pixels), static_cast<long long>(d.w),
                    static_cast<long long>(d.h));
  }
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
  const int64_t growthLimit = 2 * std::max(static_cast<int64_t>(bytes.size()), dataBytes) + kGrowthSlack;
  tilvoxStbLimitGrowth(static_cast<size_t>(growthLimit));
  int iw = 0, ih = 0, channels = 0;
  stbi_uc* decoded =
      stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &iw, &ih, &channels, kDecodeChannels);
  const size_t refusedGrowth = tilvoxStbGrowthRefused();
  tilvoxStbLimitGrowth(SIZE_MAX);  // the program's own pictures load on the same thread
  if (!decoded) {
    if (refusedGrowth)
      return reason(kImportTooMuchData, static_cast<long long>(refusedGrowth), static_cast<long long>(growthLimit),
                    static_cast<long long>(d.w), static_cast<long long>(d.h));
    const char* why = stbi_failure_reason();
    if (why && std::strcmp(why, kStbOutOfMemory) == 0) return kImportOutOfMemory;
    return why && *why ? why : "unknown error";
  }
  const int64_t count = static_cast<int64_t>(iw) * ih;
  if (iw < 1 || ih < 1 || count > maxPixels) {
    stbi_image_free(decoded);
    return reason(kImportTooLarge, static_cast<long long>(iw), static_cast<long long>(ih));
  }
  try {
    pixels.resize(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    stbi_image_free(decoded);
    return kImportOutOfMemory;
  }
  std::memcpy(pixels.data(), decoded, static_cast<size_t>(count) * kDecodeChannels);
  stbi_image_free(decoded);
  w = iw;
  h = ih;
  return {};
}
