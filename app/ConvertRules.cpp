// The picture import's decoding, conversion and store, and the texts of the
// bitmap-to-charset dialog; see ConvertRules.h.
#include "app/ConvertRules.h"

#include "core/FileUtil.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

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

ImportResize WantedImportResize(const ImportPicture& pic) {
  return {pic.mode == ImportMode::Multicolor ? kMultiWidth : kHiresWidth, pic.zoomToFit, pic.keepAspect};
}

bool ImportResizeTooLargeForFrame(const ImportPicture& pic) {
  return pic.hasPicture() && pic.resizedFor != WantedImportResize(pic) &&
         static_cast<int64_t>(pic.width) * pic.height > kImportFrameResizePixels;
}

DecodedPicture ResizeImportPicture(const uint32_t* pixels, int w, int h, const ImportResize& r) {
  DecodedPicture d;
  d.pixels = ColorReducer::Resize(pixels, w, h, r.outW, r.zoomToFit, r.keepAspect);
  d.width = r.outW;
  d.height = kReduceHeight;
  return d;
}

bool InstallImportResize(ImportPicture& pic, const ImportResize& r, DecodedPicture& resized) {
  if (!resized.error.empty() || r != WantedImportResize(pic) || resized.width != r.outW ||
      resized.height != kReduceHeight || resized.pixels.size() != static_cast<size_t>(r.outW) * kReduceHeight)
    return false;
  pic.sourcePreview = {std::move(resized.pixels), r.outW, kReduceHeight};
  pic.resizedFor = r;
  return true;
}

bool ConvertImportPicture(ImportPicture& pic, const Machine& m, const Palette& appPalette) {
  if (!pic.hasPicture()) return false;
  const ImportResize resize = WantedImportResize(pic);
  const int outW = resize.outW;
  const Palette pal = ImportPalette(appPalette, pic.paletteIndex);
  const uint8_t* rgb = pal.rgb[0].data();
  pic.colorReducer.SetPalette(rgb);
  // On a large picture the resize costs far more than all the rest.
  if (pic.resizedFor != resize) {
    DecodedPicture resized = ResizeImportPicture(pic.pixels.data(), pic.width, pic.height, resize);
    InstallImportResize(pic, resize, resized);
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
