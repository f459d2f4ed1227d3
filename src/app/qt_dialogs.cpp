#include "app/qt_dialogs.h"

#include <QFileDialog>
#include <QImageReader>
#include <QMessageBox>

namespace quillon {

int QtDialogPresenter::Show(int kind, const std::string& caption, const std::string& text) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  QMessageBox::StandardButton default_button = QMessageBox::Ok;
  switch (kind) {
    case kMsgPlain:
      break;
    case kMsgInfo:
      icon = QMessageBox::Information;
      break;
    case kMsgQuestion:
      icon = QMessageBox::Question;
      buttons = QMessageBox::Ok | QMessageBox::Cancel;
      default_button = QMessageBox::Cancel;
      break;
    case kMsgWarning:
      icon = QMessageBox::Warning;
      break;
    case kMsgError:
      icon = QMessageBox::Critical;
      break;
    case kMsgErrorCancel:
      icon = QMessageBox::Critical;
      buttons = QMessageBox::Ok | QMessageBox::Cancel;
      break;
    default:
      return -1;
  }
  QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text), buttons,
                  parent_);
  box.setDefaultButton(default_button);
  switch (box.exec()) {
    case QMessageBox::Ok:
      return kMsgResultOk;
    case QMessageBox::Cancel:
      return kMsgResultCancel;
    default:
      return -1;
  }
}

std::string QtFileDialogs::OpenDataFile() {
  return QFileDialog::getOpenFileName(parent_, QString(), QString(),
                                      QStringLiteral("数据文件 (*.bin)"))
      .toStdString();
}

std::string QtFileDialogs::OpenPicture() {
  QStringList patterns;
  for (const QByteArray& format : QImageReader::supportedImageFormats())
    patterns.append(QStringLiteral("*.") + QString::fromLatin1(format));
  return QFileDialog::getOpenFileName(parent_, QString(), QString(),
                                      QStringLiteral("图片 (%1)").arg(patterns.join(' ')))
      .toStdString();
}

}  // namespace quillon
