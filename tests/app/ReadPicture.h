// The picture import's read done at once, for tests and the fuzz harness:
// the decode the background read runs (header checks included), then the
// rules' finish step, all in this process. Returns the error text, empty
// when the picture is in.
#pragma once

#include "app/ConvertRules.h"

#include <string>
#include <vector>

inline std::string readPictureNow(ImportPicture& pic, const std::string& name, const std::vector<uint8_t>& bytes,
                                  int64_t maxPixels = kImportMaxPixels) {
  DecodedPicture read = DecodeImportPicture(bytes, maxPixels);
  return FinishImportPicture(pic, name, read);
}
