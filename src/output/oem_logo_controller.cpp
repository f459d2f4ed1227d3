// Boot logo button: presence check, picture dialog, conversion without dithering, one packet.
#include "output/oem_logo_controller.h"

#include <QPushButton>

#include "output/oem_logo.h"
#include "output/picture_file.h"
#include "session/printer_command.h"

namespace quillon {

OemLogoController::OemLogoController(QWidget* page, AppContext& ctx, PictureChooser choose_picture)
    : ctx_(ctx), choose_picture_(std::move(choose_picture)) {
  if (auto* b = page->findChild<QPushButton*>("btn_logo")) {
    connect(b, &QPushButton::clicked, this, [this] { btn_logoClick(); });
  }
}

void OemLogoController::btn_logoClick() {
  PrinterCommand command(ctx_, msgkey::kBusyLogo);
  if (!command) return;
  if (ctx_.ShowUSBMessage && !ctx_.ShowUSBMessage()) return;
  Picture picture;
  if (!ChooseAndLoadPicture(choose_picture_, ctx_.messages, picture)) return;
  WriteOemLogo(ctx_.esc, ctx_.messages, picture);
}

std::unique_ptr<QObject> InstallOemLogo(QWidget* page, AppContext& ctx) {
  return std::make_unique<OemLogoController>(page, ctx, DefaultPictureChooser(page, ctx));
}

}  // namespace quillon
