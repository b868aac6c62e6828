// Candidate colour sets of the picture conversions.
#include "convert/ImportColors.h"

namespace {

constexpr int kMono[] = {0, 1};
// Dark to light greys between black and white, black first so that it wins
// ties.
constexpr int kGray[] = {0, 11, 12, 15, 1};
constexpr int kColor[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

}  // namespace

std::span<const int> importCandidates(int colors) {
  if (colors == ImportColors::Mono) return kMono;
  if (colors == ImportColors::Grayscale) return kGray;
  return kColor;
}
