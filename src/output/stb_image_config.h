// The one configuration of stb_image: the four picture formats we offer, decoding from
// memory only (files are read by us, through UTF-8 paths), no floating-point images.
#pragma once

#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS (1 << 24)
#include <stb_image.h>
