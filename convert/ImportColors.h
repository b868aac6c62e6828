// The colour choices shared by the picture conversions: which C64 colours a
// picture may be mapped to (Mono, Grayscale, Color) and the error-diffusion
// methods of the bitmap import. The order of each candidate set settles
// ties between equally near colours.
#pragma once

#include <span>

// Colour choice of an import (a plain int; any other value means Color).
namespace ImportColors {
enum : int {
  Mono = 0,       // black and white
  Grayscale = 1,  // black, the three greys and white
  Color = 2,      // all 16 colours
};
}  // namespace ImportColors

// Error diffusion of the bitmap import (any other value diffuses nothing).
namespace DitherMethod {
enum : int {
  None = 0,
  FloydSteinberg = 1,
  Jarvis = 2,
  Stucki = 3,
};
}  // namespace DitherMethod

// The colours a picture may use under an ImportColors value, in tie order.
std::span<const int> importCandidates(int colors);
