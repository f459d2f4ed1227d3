// The firmware page: choose the image, run the newer or older update, and the two
// maintenance buttons.
#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>

#include "core/message_text.h"
#include "flash/firmware_flow.h"
#include "flash/flash_pages.h"

namespace quillon {
namespace {

template <typename T>
T* Control(QWidget* page, const char* name) {
  return page ? page->findChild<T*>(QString::fromLatin1(name)) : nullptr;
}

}  // namespace

FirmwarePage::FirmwarePage(QWidget* page, AppContext& ctx, SerialPortControl serial)
    : page_(page),
      ctx_(ctx),
      serial_(std::move(serial)),
      path_(Control<QLabel>(page, "lbl_hardware_path")),
      old_(Control<QCheckBox>(page, "chk_old")),
      ui_(Control<QWidget>(page, "mmo_update_info"), Control<QProgressBar>(page, "pb_update"),
          ctx.messages) {
  // The program's own file dialog when it has one (tests answer it), else Qt's.
  if (ctx.files) {
    choose_ = [files = ctx.files](QWidget*) {
      return QString::fromStdString(files->OpenDataFile());
    };
  }
  auto wire = [&](const char* name, void (FirmwarePage::*handler)()) {
    if (auto* button = Control<QAbstractButton>(page, name)) {
      connect(button, &QAbstractButton::clicked, this, [this, handler] { (this->*handler)(); });
    }
  };
  wire("btn21", &FirmwarePage::btn21Click);
  wire("btn22", &FirmwarePage::btn22Click);
  wire("btn44", &FirmwarePage::btn44Click);
  wire("btn52", &FirmwarePage::btn52Click);
  stop_ = Control<QAbstractButton>(page, "btn_stop_update");
  WireStopButton(stop_, ctx.link, this);
}

void FirmwarePage::btn21Click() {
  const QString file = choose_ ? choose_(page_) : QString();
  if (!path_) return;
  path_->setText(file.isEmpty() ? QString::fromStdString(ctx_.messages.Text("MSG030")) : file);
}

void FirmwarePage::btn22Click() {
  FirmwareJob job;
  job.path = path_ ? path_->text().toStdString() : std::string();
  job.serial = serial_;
  // A stopped update leaves the printer in its boot loader: a stray Esc must not do that.
  RunningFlow run(ctx_.link, stop_,
                  TextOr(ctx_.messages, "FIRMWARE_STOP_ASK",
                         "Stop the firmware update? The printer will stay in its boot loader "
                         "until the update is run again."));
  last_ = old_ && old_->isChecked() ? OldUpdate(ctx_, ui_, job) : NewUpdate(ctx_, ui_, job);
}

void FirmwarePage::btn44Click() {
  last_.result = EnterFlashingMode(ctx_);
}

void FirmwarePage::btn52Click() {
  last_.result = FlashUnlock(ctx_);
}

FirmwarePage* InstallFirmwarePage(QWidget* page, AppContext& ctx, SerialPortControl serial) {
  auto* controller = new FirmwarePage(page, ctx, std::move(serial));
  controller->setParent(page);
  return controller;
}

}  // namespace quillon
