// Reading a picture file (Windows bitmaps of every depth, PNG, JPEG, GIF and whatever
// else Qt's image plug-ins read) into the pixels the raster conversion takes.
#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <string>

#include "core/messages.h"
#include "output/bitmap_conv.h"

namespace quillon {

// The image as 0xAARRGGBB pixels (transparency kept; the conversion counts it as white).
Picture PictureFromImage(const QImage& image);

// Loads path into out. False, with a message for the user in error, when the file cannot
// be read as a picture.
bool LoadPictureFile(const QString& path, Picture& out, std::string& error);

// Asks the user for a picture file; an empty text means cancelled.
using PictureChooser = std::function<QString()>;

// Asks for a picture and loads it. False when the user cancelled or the file is not a
// readable picture (an error box has then said why).
bool ChooseAndLoadPicture(const PictureChooser& choose, Messages& messages, Picture& out);

}  // namespace quillon
