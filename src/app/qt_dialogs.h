// The GUI's message boxes (MSGDLG kinds as QMessageBox) and file open dialogs.
#pragma once

#include <QPointer>
#include <QWidget>

#include "core/file_dialogs.h"
#include "core/msg_ini.h"

namespace quillon {

class QtDialogPresenter final : public DialogPresenter {
 public:
  explicit QtDialogPresenter(QWidget* parent) : parent_(parent) {}
  int Show(int kind, const std::string& caption, const std::string& text) override;

 private:
  QPointer<QWidget> parent_;
};

class QtFileDialogs final : public FileDialogs {
 public:
  explicit QtFileDialogs(QWidget* parent) : parent_(parent) {}
  std::string OpenDataFile() override;
  std::string OpenPicture() override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace quillon
