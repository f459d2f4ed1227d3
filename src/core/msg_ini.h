// The message file language_msg.ini and the message box behind MSGDLG. Texts are read
// afresh by key on every use; the box itself is shown by a DialogPresenter, so the GUI can
// show a real box and tests can answer it.
#pragma once

#include <string>
#include <vector>

#include "core/messages.h"

namespace quillon {

// Shows one modal message box of an already validated kind (0 to 5) and returns the button
// pressed: 1 (OK), 2 (Cancel), -1 when the box could not be shown.
class DialogPresenter {
 public:
  virtual ~DialogPresenter() = default;
  virtual int Show(int kind, const std::string& caption, const std::string& text) = 0;
};

// Title that message boxes carry when the caller passes an empty caption.
inline constexpr const char* kApplicationTitle = "打印机配置工具";

class MsgIni final : public Messages {
 public:
  // path: the message file; language: the section to read, followed as it changes.
  MsgIni(std::string path, const std::string& language, DialogPresenter& presenter)
      : MsgIni(std::vector<std::string>{std::move(path)}, language, presenter) {}
  // paths: a read order; each key comes from the first file that has it (the user's copy,
  // then the shipped one).
  MsgIni(std::vector<std::string> paths, const std::string& language, DialogPresenter& presenter)
      : paths_(std::move(paths)), language_(language), presenter_(presenter) {}

  std::string Text(const std::string& key) override;
  int MSGDLG(int kind, const std::string& caption, const std::string& text) override;

  const std::string& path() const { return paths_.front(); }

 private:
  std::vector<std::string> paths_;
  const std::string& language_;
  DialogPresenter& presenter_;
};

}  // namespace quillon
