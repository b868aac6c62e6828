// Compiles Debian's stb_image decoder into the picture import harness, so
// that the fuzzer sees its branches and the sanitizers check its memory
// accesses; the program itself uses the packaged library. The harness's
// own definitions take precedence over the shared library's.
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
