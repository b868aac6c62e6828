/* The picture decoder and the PNG writer of the whole program: Debian's
   stb_image and stb_image_write. Only the loaders of the formats the
   picture import names are built; any other file, whatever it holds, finds
   no loader ("unknown image type"). Callers include <stb_image.h> and
   <stb_image_write.h> for the declarations. */
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
