/* What the program adds to its build of stb_image (StbImage.c): a
   bound on the buffers the decoder grows while it reads. A PNG's image
   data is the only thing it takes in without knowing the size beforehand:
   the compressed chunks are gathered, then inflated into a buffer that
   doubles whenever it fills, up to 4 GiB, however small the picture the
   header declares. The bound holds for the calling thread; a growth past
   it fails as if memory were out, and is remembered until the next
   setting. Every buffer the decoder takes also starts zeroed: stb_image
   leaves parts of some unwritten (the blocks of a JPEG that no scan
   covers, the Huffman tables a scan names but no segment defined), and a
   picture must never show what the memory held before. */
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Sets the largest size a growing buffer may reach on this thread (no
   bound at start) and forgets any earlier refusal. */
void tilvoxStbLimitGrowth(size_t bytes);

/* The size a buffer asked for when it was refused growth on this thread
   since the setting; 0 when none was. */
size_t tilvoxStbGrowthRefused(void);

#ifdef __cplusplus
}
#endif
