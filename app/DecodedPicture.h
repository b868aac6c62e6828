// What reading a picture file gives the picture import: the decoded
// picture, or the reason it could not be read. The import's rules make it
// (app/ConvertRules), its decoder process hands it over (app/PictureJob).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DecodedPicture {
  std::string error;             // empty on success
  std::vector<uint32_t> pixels;  // red lowest, alpha highest, rows top to bottom
  int width = 0;
  int height = 0;
};
