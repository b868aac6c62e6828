// The picture import's read done at once, for tests and the fuzz harness:
// the program's own path (header checks, then the background decode),
// waited for. Returns the error text, empty when the picture is in.
#pragma once

#include "app/ConvertRules.h"

#include <string>
#include <vector>

inline std::string readPictureNow(ImportPicture& pic, const std::string& name, const std::vector<uint8_t>& bytes,
                                  int64_t maxPixels = kImportMaxPixels) {
  std::string error = BeginImportPicture(pic, name, bytes, maxPixels);
  if (!error.empty()) return error;
  pic.reading.wait();
  FinishImportPicture(pic, error);
  return error;
}
