#include "output/printer_status_line.h"

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "session/printer_command.h"

namespace quillon {
namespace {

std::string Text(Messages& m, const char* key, const char* fallback) {
  const std::string text = m.Text(key);
  return text.empty() || text == "ERROR" ? fallback : text;
}

class StatusLine final : public QObject {
 public:
  StatusLine(QWidget* page, AppContext& ctx) : QObject(page), ctx_(ctx) {
    label_ = page->findChild<QLabel*>("lbl_status");
    auto* button = page->findChild<QPushButton*>("btn_status");
    if (label_)
      label_->setText(
          QString::fromStdString(Text(ctx_.messages, "STATUS_LABEL", "Printer status:")));
    if (button) {
      button->setText(
          QString::fromStdString(Text(ctx_.messages, "STATUS_REFRESH", "Refresh status")));
      connect(button, &QPushButton::clicked, this, &StatusLine::Refresh);
    }
  }

 private:
  void Refresh() {
    PrinterCommand command(ctx_);
    if (!command || !ctx_.ShowUSBMessage()) return;
    const PrinterStatus st = QueryPrinterStatus(ctx_.link);
    if (label_) label_->setText(QString::fromStdString(StatusLineText(st, ctx_.messages)));
  }

  AppContext& ctx_;
  QLabel* label_ = nullptr;
};

}  // namespace

std::string StatusLineText(const PrinterStatus& st, Messages& m) {
  std::string text = Text(m, "STATUS_LABEL", "Printer status:") + " ";
  if (!st.complete()) return text + Text(m, "STATUS_NO_REPLY", "no status reply");
  text += st.ready() ? Text(m, "STATUS_READY", "ready") : Text(m, "STATUS_NOT_READY", "not ready");
  const struct {
    bool on;
    const char* key;
    const char* fallback;
  } flags[] = {
      {st.offline, "STATUS_OFFLINE", "offline"},
      {st.cover_open, "STATUS_COVER_OPEN", "cover open"},
      {st.paper_out, "STATUS_PAPER_OUT", "paper out"},
      {st.stopped_by_paper_out, "STATUS_STOPPED_PAPER_OUT", "printing stopped by paper out"},
      {st.paper_near_end, "STATUS_PAPER_NEAR_END", "paper near end"},
      {st.feed_button, "STATUS_FEED_BUTTON", "feed button pressed"},
      {st.error, "STATUS_ERROR", "error"},
      {st.recoverable_error, "STATUS_RECOVERABLE", "recoverable error"},
      {st.unrecoverable_error, "STATUS_UNRECOVERABLE", "unrecoverable error"},
      {st.auto_recoverable_error, "STATUS_AUTO_RECOVERABLE", "auto-recoverable error"},
      {st.cutter_error, "STATUS_CUTTER", "cutter error"},
  };
  std::string details;
  for (const auto& f : flags) {
    if (f.on) details += (details.empty() ? "" : ", ") + Text(m, f.key, f.fallback);
  }
  return details.empty() ? text : text + " - " + details;
}

std::unique_ptr<QObject> InstallPrinterStatusLine(QWidget* page, AppContext& ctx) {
  return std::make_unique<StatusLine>(page, ctx);
}

}  // namespace quillon
