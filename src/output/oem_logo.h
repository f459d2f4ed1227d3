// The printer screen's boot logo: a picture thresholded (no dithering) into a packed
// raster and written with one OEM logo command.
#pragma once

#include <string>

#include "output/bitmap_conv.h"

namespace quillon {

class EscCmd;
class Messages;

// Why the picture cannot become a logo (empty when it can): its raster must fit the
// command's 4092 data bytes. Texts from messages when given, else the English ones.
std::string CheckLogoPicture(const Picture& img, Messages* messages = nullptr);

// Converts and writes the logo, then shows MSG018 (written, information box) or MSG017
// (not written, warning box). A picture that cannot be a logo gets a warning box and
// nothing is sent. Returns true when the printer acknowledged the logo.
bool WriteOemLogo(EscCmd& esc, Messages& messages, const Picture& img);

}  // namespace quillon
