// The open dialogs that pages use to pick a file, behind an interface so GUI tests can
// answer them. The GUI shows the platform's file dialogs.
#pragma once

#include <string>

namespace quillon {

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // dlgOpen1: a data file (filter "数据文件|*.bin"). The full path, or "" when cancelled.
  virtual std::string OpenDataFile() = 0;
  // dlgOpenPic1: a picture of any type the platform reads. The full path, or "".
  virtual std::string OpenPicture() = 0;
};

}  // namespace quillon
