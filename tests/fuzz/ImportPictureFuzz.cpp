// The picture import's decoding path: any file is either refused with
// "Couldn't read the image: " and a reason, leaving the import state as it
// was, or gives width x height pixels within the pixel limit. Decoded
// pictures are then resized into the frame as the window does, with
// options chosen by the file's size, so odd picture sizes reach it too.
#include "app/ConvertRules.h"
#include "tests/fuzz/FuzzUtil.h"

#include <string>

namespace {

// Smaller than the program's limit so that every run stays quick; the
// limit is the same code either way.
constexpr int64_t kFuzzMaxPixels = 1 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  ImportPicture pic;
  pic.dirty = false;
  const std::string error = LoadImportPicture(pic, "fuzz.png", bytes, kFuzzMaxPixels);
  if (!error.empty()) {
    fuzz::check(error.rfind(kImportReadError, 0) == 0, "a refusal starts with the error text");
    fuzz::check(error.size() > std::string(kImportReadError).size(), "a refusal gives a reason");
    fuzz::check(!pic.hasPicture() && pic.width == 0 && !pic.dirty && pic.name.empty(),
                "a refused file changes nothing");
    return 0;
  }
  fuzz::check(pic.width >= 1 && pic.height >= 1, "a decoded picture has pixels");
  fuzz::check(static_cast<int64_t>(pic.width) * pic.height <= kFuzzMaxPixels, "the pixel limit holds");
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
