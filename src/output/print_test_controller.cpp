// Print test page handlers: presence check, conversion, one raw write per press.
#include "output/print_test_controller.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QImageReader>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>

#include "core/ansi_codepage.h"
#include "core/codepage_warning.h"
#include "core/flow_ui.h"
#include "core/text_conv.h"
#include "output/escpos_tests.h"
#include "output/picture_file.h"
#include "output/raster_print.h"
#include "session/printer_command.h"

namespace quillon {
namespace {

// Picture printing's progress in a dialog that appears only when printing takes a while;
// its cancel button (and Esc) asks the link to stop, which ends the print at the next band.
class ProgressDialogUi final : public FlowUi {
 public:
  ProgressDialogUi(QWidget* parent, Messages& messages, PrinterLink& link)
      : dialog_(QStringLiteral("打印图片"), QStringLiteral("取消"), 0, 1, parent),
        messages_(messages),
        link_(link) {
    dialog_.setWindowModality(Qt::WindowModal);
    dialog_.setMinimumDuration(500);
    dialog_.setAutoClose(true);
    QObject::connect(&dialog_, &QProgressDialog::canceled, [this] { link_.RequestStop(); });
    link_.ClearStop();
  }
  ~ProgressDialogUi() override { link_.ClearStop(); }
  void ClearMemo() override {}
  void MemoLine(const std::string&) override {}
  void SetProgressMax(int64_t max) override { dialog_.setMaximum(static_cast<int>(max)); }
  void SetProgress(int64_t position) override { dialog_.setValue(static_cast<int>(position)); }
  Messages& messages() override { return messages_; }
  bool Cancelled() override { return dialog_.wasCanceled() || link_.StopRequested(); }

 private:
  QProgressDialog dialog_;
  Messages& messages_;
  PrinterLink& link_;
};

}  // namespace

PictureChooser DefaultPictureChooser(QWidget* parent, AppContext& ctx) {
  if (ctx.files) {
    FileDialogs* files = ctx.files;
    return [files] { return QString::fromStdString(files->OpenPicture()); };
  }
  return [parent] {
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
      patterns.append(QStringLiteral("*.") + QString::fromLatin1(format));
    return QFileDialog::getOpenFileName(parent, QString(), QString(),
                                        QStringLiteral("图片 (%1)").arg(patterns.join(' ')));
  };
}

PrintTestController::PrintTestController(QWidget* page, AppContext& ctx,
                                         PictureChooser choose_picture)
    : page_(page), ctx_(ctx), choose_picture_(std::move(choose_picture)) {
  text_ = page->findChild<QPlainTextEdit*>("redt_text");
  charset_ = page->findChild<QComboBox*>("cbb_send_charset");
  esc_ = page->findChild<QCheckBox*>("chk_esc");
  auto connect_button = [&](const char* name, auto handler) {
    if (auto* b = page->findChild<QPushButton*>(name)) {
      connect(b, &QPushButton::clicked, this, handler);
    }
  };
  connect_button("btn_send", [this] { btn_sendClick(); });
  connect_button("btn53", [this] { btn53Click(); });
  connect_button("btn20", [this] { btn20Click(); });
  connect_button("btn43", [this] { btn43Click(); });
  connect_button("btn25", [this] { btn25Click(); });
  for (const EscPosTest& t : EscPosTests()) {
    const QString name = QString::fromUtf8(t.button.data(), static_cast<int>(t.button.size()));
    connect_button(name.toUtf8().constData(), [this, name] { EscPosClick(name); });
  }
}

void PrintTestController::btn_sendClick() {
  if (!text_ || !charset_) return;
  PrinterCommand command(ctx_, msgkey::kBusyText);
  if (!command) return;
  if (ctx_.ShowUSBMessage && !ctx_.ShowUSBMessage()) return;
  // Text typed into the box that names no item selects none: nothing is sent.
  const int index = charset_->findText(charset_->currentText(), Qt::MatchFixedString);
  if (index < 0 || index > 3) return;
  const QByteArray utf8 = text_->toPlainText().toUtf8();
  const TextBytes bytes =
      ConvertTextForSending(static_cast<TextEncoding>(index),
                            std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())),
                            esc_ && esc_->isChecked(), AnsiCodePage());
  if (!bytes.ok) {
    std::string why = bytes.error;
    if (bytes.too_long > 0) {
      why = FillFields(
          TextOr(ctx_.messages, msgkey::kSendTooLong, bytes.error),
          {{"bytes", std::to_string(bytes.too_long)}, {"max", std::to_string(kSendBufferSize)}});
    }
    ctx_.messages.MSGDLG(kMsgWarning, "", why);
    return;
  }
  SendRawBytes(ctx_.link, bytes.bytes);
  WarnReplacedCharacters(ctx_.messages, bytes.replaced, AnsiCodePage());
}

void PrintTestController::btn53Click() {
  if (!text_) return;
  for (const std::string& line : CharacterTableLines()) {
    text_->appendPlainText(QString::fromStdString(line));
  }
}

void PrintTestController::btn20Click() {
  if (!text_) return;
  bool ok = false;
  const QFont font = QFontDialog::getFont(&ok, text_->font(), page_);
  if (ok) text_->setFont(font);  // display only, never the bytes
}

void PrintTestController::btn43Click() {
  if (text_) text_->clear();
}

void PrintTestController::btn25Click() {
  PrinterCommand command(ctx_, msgkey::kBusyPicture);
  if (!command) return;
  if (ctx_.ShowUSBMessage && !ctx_.ShowUSBMessage()) return;
  Picture picture;
  if (!ChooseAndLoadPicture(choose_picture_, ctx_.messages, picture)) return;
  ProgressDialogUi ui(page_, ctx_.messages, ctx_.link);
  PrintPicture(ctx_.link, picture, ui);
}

void PrintTestController::EscPosClick(const QString& button) {
  // No presence check and no message box, success or not; only a refused click is noted
  // in the status bar.
  const EscPosTest* test = FindEscPosTest(button.toStdString());
  if (!test) return;
  PrinterCommand command(ctx_, msgkey::kBusyText);
  if (!command) return;
  SendRawBytes(ctx_.link, test->bytes);
}

std::unique_ptr<QObject> InstallPrintTestPage(QWidget* page, AppContext& ctx) {
  return std::make_unique<PrintTestController>(page, ctx, DefaultPictureChooser(page, ctx));
}

}  // namespace quillon
