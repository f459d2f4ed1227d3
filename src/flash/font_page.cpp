// The font library page: choose the font file and download it with the chosen packet size.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>

#include "flash/flash_pages.h"
#include "flash/font_download.h"

namespace quillon {
namespace {

template <typename T>
T* FindControl(QWidget* page, const char* name) {
  return page ? page->findChild<T*>(QString::fromLatin1(name)) : nullptr;
}

}  // namespace

FontPage::FontPage(QWidget* page, AppContext& ctx)
    : page_(page),
      ctx_(ctx),
      path_(FindControl<QLabel>(page, "lbl_hzk_path")),
      erase_all_(FindControl<QCheckBox>(page, "chk_erase_all")),
      packsize_(FindControl<QComboBox>(page, "ccb_packsize")),
      ui_(FindControl<QWidget>(page, "mmo_flash"), FindControl<QProgressBar>(page, "pb_flash"),
          ctx.messages) {
  // The program's own file dialog when it has one (tests answer it), else Qt's.
  if (ctx.files) {
    choose_ = [files = ctx.files](QWidget*) {
      return QString::fromStdString(files->OpenDataFile());
    };
  }
  if (auto* b = FindControl<QAbstractButton>(page, "btn23")) {
    connect(b, &QAbstractButton::clicked, this, [this] { btn23Click(); });
  }
  if (auto* b = FindControl<QAbstractButton>(page, "btn24")) {
    connect(b, &QAbstractButton::clicked, this, [this] { btn24Click(); });
  }
  stop_ = FindControl<QAbstractButton>(page, "btn_stop_flash");
  WireStopButton(stop_, ctx.link, this);
}

void FontPage::btn23Click() {
  const QString file = choose_ ? choose_(page_) : QString();
  if (!path_) return;
  path_->setText(file.isEmpty() ? QString::fromStdString(ctx_.messages.Text("MSG030")) : file);
}

void FontPage::btn24Click() {
  FontJob job;
  job.path = path_ ? path_->text().toStdString() : std::string();
  job.packsize_text = packsize_ ? packsize_->currentText().toStdString() : "1024";
  job.erase_all = erase_all_ && erase_all_->isChecked();
  RunningFlow run(ctx_.link, stop_);
  last_ = FontDownload(ctx_, ui_, job);
  // A stopped download runs no more: its bar does not stay part-way as if it did.
  if (last_.result == FlashResult::kCancelled) ui_.SetProgress(0);
}

FontPage* InstallFontPage(QWidget* page, AppContext& ctx) {
  return new FontPage(page, ctx);
}

}  // namespace quillon
