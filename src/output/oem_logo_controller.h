// The OEM page's boot logo button (btn_logo): pick a picture, threshold it, write it.
#pragma once

#include <QObject>
#include <memory>

#include "output/print_test_controller.h"
#include "session/app_context.h"

class QWidget;

namespace quillon {

class OemLogoController : public QObject {
  Q_OBJECT
 public:
  OemLogoController(QWidget* page, AppContext& ctx, PictureChooser choose_picture);
  void btn_logoClick();

 private:
  AppContext& ctx_;
  PictureChooser choose_picture_;
};

// Installs the controller on the OEM page; the caller keeps it for the run.
std::unique_ptr<QObject> InstallOemLogo(QWidget* page, AppContext& ctx);

}  // namespace quillon
