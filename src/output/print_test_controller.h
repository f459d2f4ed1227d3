// The print test page's behaviour: the fifteen ESC/POS buttons, picture printing (btn25)
// and the text panel (btn_send, btn53, btn20, btn43). Finds its controls on the page by
// object name.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

#include "session/app_context.h"

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QWidget;

namespace quillon {

// Asks the user for a picture file; an empty text when cancelled.
using PictureChooser = std::function<QString()>;
// The program's picture dialog (ctx.files), or where it has none a file dialog listing
// every picture type Qt reads.
PictureChooser DefaultPictureChooser(QWidget* parent, AppContext& ctx);

class PrintTestController : public QObject {
  Q_OBJECT
 public:
  PrintTestController(QWidget* page, AppContext& ctx, PictureChooser choose_picture);

  void btn_sendClick();
  void btn53Click();
  void btn20Click();
  void btn43Click();
  void btn25Click();
  // One of the ESC/POS buttons btn26 ... btn40.
  void EscPosClick(const QString& button);

 private:
  QWidget* page_;
  AppContext& ctx_;
  PictureChooser choose_picture_;
  QPointer<QPlainTextEdit> text_;
  QPointer<QComboBox> charset_;
  QPointer<QCheckBox> esc_;
};

// Installs the controller on the print test page; the caller keeps it for the run.
std::unique_ptr<QObject> InstallPrintTestPage(QWidget* page, AppContext& ctx);

}  // namespace quillon
