/* Debian's stb_truetype, for the font import's test: an independent
   rasteriser the FreeType rendering is compared with. The program itself
   reads fonts with FreeType. */
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>
