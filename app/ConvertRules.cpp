// The picture import's decoding, conversion and store, and the texts of the
// bitmap-to-charset dialog; see ConvertRules.h.
#include "app/ConvertRules.h"

#include <stb_image.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string_view>

namespace {

constexpr int kDecodeChannels = 4;  // RGBA, whatever the file holds
constexpr size_t kDoneTextSize = 256;
constexpr size_t kSlotTextSize = 128;

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
  int format;
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

int ImportPicture::usedBackground() const {
  return mode == ImportMode::Petscii ? petsciiConverter.background : colorReducer.background;
}

int DetectPictureFormat(const std::vector<uint8_t>& bytes) {
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

std::string BeginImportPicture(ImportPicture& pic, const std::string& name, const std::vector<uint8_t>& bytes,
                               int64_t maxPixels) {
  const std::string problem = PictureHeaderProblem(bytes, maxPixels);
  if (!problem.empty()) return kImportReadError + problem;
  pic.readingName = name;
  // The worker decodes its own copy of the file and touches nothing else.
  pic.reading.start([bytes, maxPixels] {
    DecodedPicture d;
    d.error = DecodePicture(bytes, d.pixels, d.width, d.height, maxPixels);
    return d;
  });
  return {};
}

bool FinishImportPicture(ImportPicture& pic, std::string& error) {
  DecodedPicture d;
  if (!pic.reading.take(d)) return false;
  if (!d.error.empty()) {
    error = kImportReadError + d.error;
    return true;
  }
  // The picture is in, due for a conversion.
  error.clear();
  pic.pixels = std::move(d.pixels);
  pic.width = d.width;
  pic.height = d.height;
  pic.name = pic.readingName;
  pic.dirty = true;
  pic.pickerShown = true;
  return true;
}

Palette ImportPalette(const Palette& appPalette, int index) {
  Palette p;
  p.custom = appPalette.custom;
  p.set(index);
  return p;
}

bool ConvertImportPicture(ImportPicture& pic, const Machine& m, const Palette& appPalette) {
  if (!pic.hasPicture()) return false;
  const int outW = pic.mode == ImportMode::Multicolor ? kMultiWidth : kHiresWidth;
  const Palette pal = ImportPalette(appPalette, pic.paletteIndex);
  const uint8_t* rgb = pal.rgb[0].data();
  pic.colorReducer.SetPalette(rgb);
  std::vector<uint32_t> resized =
      ColorReducer::Resize(pic.pixels.data(), pic.width, pic.height, outW, pic.zoomToFit, pic.keepAspect);
  std::vector<uint32_t> result;
  if (pic.mode == ImportMode::Petscii) {
    PetsciiOptions& o = pic.petsciiOptions;
    o.colors = pic.colors;
    o.background = pic.background;
    o.detail = static_cast<float>(pic.detail) / kImportDetailMax;
    PetsciiConverter& pc = pic.petsciiConverter;
    pc.SetPalette(rgb);
    pc.SetCharset(m, o.charset);
    pc.Convert(resized, o);
    result = pc.Preview();
  } else {
    // The shared background is a multicolour notion; hires chooses freely.
    const int background = pic.mode == ImportMode::Multicolor ? pic.background : -1;
    pic.colorReducer.Reduce(resized, outW, pic.colors, pic.dither, background);
    result = pic.colorReducer.Preview();
  }
  pic.sourcePreview = {std::move(resized), outW, kReduceHeight};
  pic.resultPreview = {std::move(result), outW, kReduceHeight};
  pic.dirty = false;
  return true;
}

void StoreImportPicture(const ImportPicture& pic, Machine& m) {
  if (pic.mode == ImportMode::Petscii)
    pic.petsciiConverter.Store(m, pic.petsciiOptions.charset);
  else
    pic.colorReducer.Store(m);
}

// ---- Bitmap-to-charset dialog ----------------------------------------------

int FirstUsableCharsetSlot(const Machine& m) {
  for (int s = 0; s < kCharsetSlots; ++s)
    if (CharsetSlotProblem(m, s).empty()) return s;
  return 0;
}

std::string CharsetSlotPreview(const Machine& m, int slot) {
  const uint32_t a = charsetSlotAddr(m, slot);
  char text[kSlotTextSize];
  std::snprintf(text, sizeof text, "%d: $%04X-$%04X", slot + 1, a, a + kCharsetSize - 1);
  return text;
}

std::string CharsetSlotRow(const Machine& m, int slot) {
  const std::string problem = CharsetSlotProblem(m, slot);
  const uint32_t a = charsetSlotAddr(m, slot);
  char text[kSlotTextSize];
  std::snprintf(text, sizeof text, "%d: $%04X-$%04X%s%s", slot + 1, a, a + kCharsetSize - 1,
                problem.empty() ? "" : "  - ", problem.c_str());
  return text;
}

std::string CharsetDoneText(const CharsetConvertResult& r) {
  char text[kDoneTextSize];
  std::snprintf(text, sizeof text,
                "Done: %d different cells, %d characters used.\n%d cells use a similar character.\n%d cells had "
                "colors that don't fit the text mode.",
                r.differentCells, r.charsUsed, r.similarCells, r.misfitCells);
  return text;
}

std::string CharsetMatrixText(const Machine& m) {
  char text[kSlotTextSize];
  std::snprintf(text, sizeof text, "The video matrix stays at $%04X. Color memory is rewritten.", m.screenAddr());
  return text;
}
