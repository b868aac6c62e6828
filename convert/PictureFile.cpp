// Picture files for the import: which of the six formats a file is, what
// its header alone refuses, and the decode; see PictureFile.h.
#include "convert/PictureFile.h"

#include <stb_image.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <initializer_list>
#include <string_view>

namespace {

constexpr int kDecodeChannels = 4;  // RGBA, whatever the file holds

// JPEG markers and the Huffman table layout.
constexpr int kMarkerPrefix = 0xFF;
constexpr int kMarkerSoi = 0xD8;
constexpr int kMarkerEoi = 0xD9;
constexpr int kMarkerDht = 0xC4;
constexpr int kMarkerTem = 0x01;
constexpr int kMarkerRst0 = 0xD0;
constexpr int kMarkerRst7 = 0xD7;
constexpr int kHuffmanCodeLengths = 16;
constexpr int kHuffmanMaxCodes = 256;
constexpr const char* kBadHuffmanTable = "bad DHT header";

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

// The packaged decoder does not check that a JPEG Huffman table lists at
// most 256 codes and writes past its tables for one that lists more. This
// walks the file's markers as the decoder does (skipping stray bytes
// between segments, fill bytes before a marker and the entropy-coded data
// after a scan header, and reading zeros past the end) and looks at every
// table segment the decoder could read; true when one lists too many.
bool jpegHasOverlongHuffmanTable(const std::vector<uint8_t>& b) {
  const auto at = [&b](size_t i) -> int { return i < b.size() ? b[i] : 0; };
  size_t p = 0;
  while (p < b.size() && b[p] == kMarkerPrefix) ++p;
  if (p == 0 || at(p) != kMarkerSoi) return false;  // not a JPEG
  ++p;
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
        if (codes > kHuffmanMaxCodes) return true;
        i += static_cast<size_t>(codes);
        left -= 1 + kHuffmanCodeLengths + codes;
      }
    }
    // After a scan header the entropy-coded data is passed over byte by
    // byte up to the next marker.
    p = segment + std::max<size_t>(length, 2);
  }
  return false;
}

}  // namespace

PictureFormat DetectPictureFormat(const std::vector<uint8_t>& bytes) {
  const std::string_view head(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  for (const PictureSignature& s : kPictureSignatures)
    if (head.substr(0, s.magic.size()) == s.magic) return s.format;
  return plausibleTgaHeader(bytes) ? PictureFormat::Tga : PictureFormat::None;
}

std::string PictureHeaderProblem(const std::vector<uint8_t>& bytes, int64_t maxPixels) {
  // Only the six formats ever reach the decoder, whatever their name says.
  if (DetectPictureFormat(bytes) == PictureFormat::None) return kImportUnsupported;
  if (bytes.size() > static_cast<size_t>(INT_MAX)) return kImportTooLarge;
  // Before the decoder reads any table, its header reading included.
  if (jpegHasOverlongHuffmanTable(bytes)) return kBadHuffmanTable;
  // The header gives the size before any pixel memory is taken.
  int iw = 0, ih = 0, channels = 0;
  if (stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &iw, &ih, &channels) &&
      static_cast<int64_t>(iw) * ih > maxPixels)
    return kImportTooLarge;
  return {};
}

std::string DecodePicture(const std::vector<uint8_t>& bytes, std::vector<uint32_t>& pixels, int& w, int& h,
                          int64_t maxPixels) {
  const std::string problem = PictureHeaderProblem(bytes, maxPixels);
  if (!problem.empty()) return problem;
  const stbi_uc* data = bytes.data();
  const int size = static_cast<int>(bytes.size());
  int iw = 0, ih = 0, channels = 0;
  stbi_uc* decoded = stbi_load_from_memory(data, size, &iw, &ih, &channels, kDecodeChannels);
  if (!decoded) {
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
