// The picture import's decoding, conversion and store, and the texts of the
// bitmap-to-charset dialog; see ConvertRules.h.
#include "app/ConvertRules.h"

#include "core/FileUtil.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kDoneTextSize = 256;
constexpr size_t kSlotTextSize = 128;
constexpr uint64_t kMegabyte = 1024 * 1024;

}  // namespace

int ImportPicture::usedBackground() const {
  return mode == ImportMode::Petscii ? petsciiConverter.background : colorReducer.background;
}

DecodedPicture ReadImportPicture(const std::string& path, int64_t maxPixels) {
  std::vector<uint8_t> bytes;
  errno = 0;
  if (!readWholeFile(path, bytes)) {
    // Without a system error the file was too large to read.
    DecodedPicture failed;
    failed.error = errno ? std::strerror(errno)
                         : "the file is larger than " + std::to_string(kMaxWholeFileSize / kMegabyte) + " MB";
    return failed;
  }
  return DecodeImportPicture(bytes, maxPixels);
}

DecodedPicture DecodeImportPicture(const std::vector<uint8_t>& bytes, int64_t maxPixels) {
  DecodedPicture d;
  d.error = DecodePicture(bytes, d.pixels, d.width, d.height, maxPixels);
  return d;
}

std::string FinishImportPicture(ImportPicture& pic, const std::string& name, DecodedPicture& read) {
  if (!read.error.empty()) return kImportReadError + read.error;
  pic.pixels = std::move(read.pixels);
  pic.width = read.width;
  pic.height = read.height;
  pic.name = name;
  pic.resizedFor = {};
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
  // On a large picture the resize costs far more than all the rest.
  const ImportResize resize{outW, pic.zoomToFit, pic.keepAspect};
  if (pic.resizedFor != resize) {
    pic.sourcePreview = {ColorReducer::Resize(pic.pixels.data(), pic.width, pic.height, outW, pic.zoomToFit,
                                              pic.keepAspect),
                         outW, kReduceHeight};
    pic.resizedFor = resize;
  }
  const std::vector<uint32_t>& resized = pic.sourcePreview.pixels;
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
