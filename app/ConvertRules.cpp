// The picture import's decoding, conversion and store, and the texts of the
// bitmap-to-charset dialog; see ConvertRules.h.
#include "app/ConvertRules.h"

#include <stb_image.h>

#include <climits>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kDecodeChannels = 4;  // RGBA, whatever the file holds
constexpr size_t kDoneTextSize = 256;
constexpr size_t kSlotTextSize = 128;

}  // namespace

int ImportPicture::usedBackground() const {
  return mode == ImportMode::Petscii ? petsciiConverter.background : colorReducer.background;
}

std::string DecodePicture(const std::vector<uint8_t>& bytes, std::vector<uint32_t>& pixels, int& w, int& h,
                          int64_t maxPixels) {
  if (bytes.size() > static_cast<size_t>(INT_MAX)) return kImportTooLarge;
  // The decoder takes a pointer even for an empty file; it then reports
  // that it knows no such picture type.
  static const stbi_uc kNoBytes = 0;
  const stbi_uc* data = bytes.empty() ? &kNoBytes : bytes.data();
  const int size = static_cast<int>(bytes.size());
  int iw = 0, ih = 0, channels = 0;
  // The header gives the size before any pixel memory is taken.
  if (stbi_info_from_memory(data, size, &iw, &ih, &channels) && static_cast<int64_t>(iw) * ih > maxPixels)
    return kImportTooLarge;
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

std::string LoadImportPicture(ImportPicture& pic, const std::string& name, const std::vector<uint8_t>& bytes,
                              int64_t maxPixels) {
  std::vector<uint32_t> pixels;
  int w = 0, h = 0;
  const std::string reason = DecodePicture(bytes, pixels, w, h, maxPixels);
  if (!reason.empty()) return kImportReadError + reason;
  pic.pixels = std::move(pixels);
  pic.width = w;
  pic.height = h;
  pic.name = name;
  pic.dirty = true;
  pic.pickerShown = true;
  return {};
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
