// The window's picture choice over the core decoder.
#include "output/picture_file.h"

#include <string>

#include "output/picture_decode.h"

namespace quillon {

bool ChooseAndLoadPicture(const PictureChooser& choose, Messages& messages, Picture& out) {
  const QString path = choose ? choose() : QString();
  if (path.isEmpty()) return false;
  std::string error;
  if (!LoadPictureFile(path.toStdString(), out, error)) {
    messages.MSGDLG(kMsgError, "", error);
    return false;
  }
  return true;
}

}  // namespace quillon
