// stb_image's implementation, compiled once with the program's configuration.
#define STB_IMAGE_IMPLEMENTATION
#include "output/stb_image_config.h"
