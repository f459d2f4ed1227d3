// Message boxes and file dialogs of the font editor.
#include "fonteditor/qt_font_editor_prompts.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

#include "core/messages.h"
#include "core/msg_ini.h"
#include "fonteditor/copy_code_page_dialog.h"

namespace quillon {

int QtFontEditorPrompts::MSGDLG(int kind, const std::string& caption, const std::string& text) {
  const QString title =
      caption.empty() ? QString::fromUtf8(kApplicationTitle) : QString::fromStdString(caption);
  QMessageBox box(parent_);
  box.setWindowTitle(title);
  box.setText(QString::fromStdString(text));
  switch (kind) {
    case kMsgPlain:
      box.setIcon(QMessageBox::NoIcon);
      break;
    case kMsgInfo:
      box.setIcon(QMessageBox::Information);
      break;
    case kMsgQuestion:
      box.setIcon(QMessageBox::Question);
      break;
    case kMsgWarning:
      box.setIcon(QMessageBox::Warning);
      break;
    case kMsgError:
    case kMsgErrorCancel:
      box.setIcon(QMessageBox::Critical);
      break;
    default:
      return -1;
  }
  if (kind == kMsgQuestion || kind == kMsgErrorCancel) {
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  return box.exec() == QMessageBox::Ok ? kMsgResultOk : kMsgResultCancel;
}

std::optional<std::string> QtFontEditorPrompts::AskOpenFileName() {
  QFileDialog dialog(parent_);
  dialog.setObjectName("dlgOpen1");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({"Font file (*.bin)", "DZK file (*.dzk)", "All file (*)"});
  dialog.setDefaultSuffix("bin");
  dialog.selectFile("font.bin");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> QtFontEditorPrompts::AskSaveFileName(const std::string& proposed_path) {
  QFileDialog dialog(parent_);
  dialog.setObjectName("dlgSave1");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters({"font bin file (*.bin)"});
  dialog.setDefaultSuffix("bin");
  dialog.selectFile(QString::fromStdString(proposed_path));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

UnsavedChoice QtFontEditorPrompts::AskUnsavedChanges() {
  QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kApplicationTitle),
                  "The font file has changes that are not saved.\nSave them now?",
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_);
  box.setDefaultButton(QMessageBox::Save);
  switch (box.exec()) {
    case QMessageBox::Save:
      return UnsavedChoice::kSave;
    case QMessageBox::Discard:
      return UnsavedChoice::kDiscard;
    default:
      return UnsavedChoice::kCancel;
  }
}

std::optional<CodePageCopyRequest> QtFontEditorPrompts::AskCodePageCopy() {
  TFont_ADJ_8M_CopyCodePage dialog(*this, parent_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return CodePageCopyRequest{dialog.source(), dialog.target()};
}

}  // namespace quillon
