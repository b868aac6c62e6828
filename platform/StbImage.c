/* The picture decoder and the PNG writer of the whole program: Debian's
   stb_image and stb_image_write. Only the loaders of the formats the
   picture import names are built; any other file, whatever it holds, finds
   no loader ("unknown image type"). Callers include <stb_image.h> and
   <stb_image_write.h> for the declarations. Every buffer the decoder
   grows goes through growBuffer, which keeps it within the bound set by
   StbImage.h, and every buffer it takes starts zeroed (StbImage.h says
   why). */
#include "StbImage.h"

#include <stdint.h>
#include <stdlib.h>

static _Thread_local size_t growthLimit = SIZE_MAX;
static _Thread_local size_t growthRefused;

void tilvoxStbLimitGrowth(size_t bytes) {
  growthLimit = bytes;
  growthRefused = 0;
}

size_t tilvoxStbGrowthRefused(void) { return growthRefused; }

static void *growBuffer(void *p, size_t bytes) {
  if (bytes > growthLimit) {
    growthRefused = bytes;
    return NULL;
  }
  return realloc(p, bytes);
}

/* calloc takes fresh pages from the system as they are, already zero: a
   large picture's buffers cost nothing more. */
#define STBI_MALLOC(bytes) calloc(1, bytes)
#define STBI_REALLOC(p, bytes) growBuffer(p, bytes)
#define STBI_FREE(p) free(p)
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#define STBI_ONLY_TGA
#define STBI_ONLY_PSD
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
