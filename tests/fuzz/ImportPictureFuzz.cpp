// The picture import's decoding path: any file is either refused with
// "Couldn't read the image: " and a reason, leaving the import state as it
// was, or gives width x height pixels within the program's pixel limit, so
// that a small file that decodes slowly shows up as a slow input. Files of
// no format the import names, among them the PNM, Radiance and Softimage
// PIC files the full decoder would read by their content, are refused as
// unsupported, and the decoder itself has no loader for those three.
// Decoded pictures are then resized into the frame as the window does,
// with options chosen by the file's size, so odd picture sizes reach it too.
// The decode and the rules' finish step run here, in this process: the
// program runs them in a child process, whose coverage would never reach
// the fuzzer.
#include "app/ConvertRules.h"
#include "tests/app/ReadPicture.h"
#include "tests/fuzz/FuzzUtil.h"

#include <stb_image.h>

#include <cstring>
#include <string>

namespace {

// The first bytes of PNM (P1-P7), Radiance ("#?") and Softimage PIC files.
bool otherFormatSignature(const std::vector<uint8_t>& b) {
  static const uint8_t kPic[] = {0x53, 0x80, 0xF6, 0x34};
  if (b.size() >= 2 && b[0] == 'P' && b[1] >= '1' && b[1] <= '7') return true;
  if (b.size() >= 2 && b[0] == '#' && b[1] == '?') return true;
  return b.size() >= sizeof kPic && std::memcmp(b.data(), kPic, sizeof kPic) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  ImportPicture pic;
  pic.dirty = false;
  const std::string error = readPictureNow(pic, "fuzz.png", bytes);
  if (DetectPictureFormat(bytes) == PictureFormat::None)
    fuzz::check(error == std::string(kImportReadError) + kImportUnsupported, "an unknown format is unsupported");
  if (otherFormatSignature(bytes)) {
    fuzz::check(DetectPictureFormat(bytes) == PictureFormat::None, "PNM, Radiance and PIC are no import format");
    int w = 0, h = 0, n = 0;
    fuzz::check(!stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &n, 4) &&
                    std::strcmp(stbi_failure_reason(), "unknown image type") == 0,
                "the decoder has no PNM, Radiance or PIC loader");
  }
  if (!error.empty()) {
    fuzz::check(error.rfind(kImportReadError, 0) == 0, "a refusal starts with the error text");
    fuzz::check(error.size() > std::string(kImportReadError).size(), "a refusal gives a reason");
    fuzz::check(!pic.hasPicture() && pic.width == 0 && !pic.dirty && pic.name.empty(),
                "a refused file changes nothing");
    return 0;
  }
  fuzz::check(pic.width >= 1 && pic.height >= 1, "a decoded picture has pixels");
  fuzz::check(static_cast<int64_t>(pic.width) * pic.height <= kImportMaxPixels, "the pixel limit holds");
  fuzz::check(pic.pixels.size() == static_cast<size_t>(pic.width) * pic.height, "one word per pixel");
  fuzz::check(pic.dirty && pic.name == "fuzz.png", "a new picture asks for a conversion");

  // The window resizes the picture into the frame before any conversion;
  // the rest of the conversion works on that fixed size.
  const int outW = size & 1 ? kMultiWidth : kHiresWidth;
  const std::vector<uint32_t> resized =
      ColorReducer::Resize(pic.pixels.data(), pic.width, pic.height, outW, size & 2, size & 4);
  fuzz::check(resized.size() == static_cast<size_t>(outW) * kReduceHeight, "the frame is filled");
  for (const uint32_t px : resized) fuzz::check(px >> 24 == 255, "resized pixels are opaque");
  return 0;
}
