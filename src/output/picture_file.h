// The window's picture choice: asks for a file and decodes it with the core decoder.
#pragma once

#include <QString>
#include <functional>

#include "core/messages.h"
#include "output/bitmap_conv.h"

namespace quillon {

// Asks the user for a picture file; an empty text means cancelled.
using PictureChooser = std::function<QString()>;

// Asks for a picture and loads it. False when the user cancelled or the file is not a
// readable picture (an error box has then said why).
bool ChooseAndLoadPicture(const PictureChooser& choose, Messages& messages, Picture& out);

}  // namespace quillon
