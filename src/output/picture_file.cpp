// Picture files decoded by Qt into 32-bit pixels.
#include "output/picture_file.h"

#include <QFileInfo>
#include <QImageReader>
#include <cstring>

namespace quillon {

Picture PictureFromImage(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  Picture p{argb.width(), argb.height(), {}};
  p.pixels.resize(static_cast<size_t>(p.width) * p.height);
  for (int y = 0; y < p.height; ++y) {
    std::memcpy(p.pixels.data() + static_cast<size_t>(y) * p.width, argb.constScanLine(y),
                sizeof(uint32_t) * static_cast<size_t>(p.width));
  }
  return p;
}

bool LoadPictureFile(const QString& path, Picture& out, std::string& error) {
  QImageReader reader(path);
  reader.setAutoTransform(true);
  const QImage image = reader.read();
  if (image.isNull()) {
    error = "\"" + QFileInfo(path).fileName().toStdString() + "\" cannot be read as a picture (" +
            reader.errorString().toStdString() + "). Nothing was sent.";
    return false;
  }
  out = PictureFromImage(image);
  return true;
}

}  // namespace quillon

namespace quillon {

bool ChooseAndLoadPicture(const PictureChooser& choose, Messages& messages, Picture& out) {
  const QString path = choose ? choose() : QString();
  if (path.isEmpty()) return false;
  std::string error;
  if (!LoadPictureFile(path, out, error)) {
    messages.MSGDLG(kMsgError, "", error);
    return false;
  }
  return true;
}

}  // namespace quillon
