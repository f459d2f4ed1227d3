// Controllers of the firmware and font library pages. The main window creates the pages'
// controls (named btn21, lbl_hardware_path, ...); these find them by name and run the flows.
#pragma once

#include <QObject>
#include <QPointer>

#include "flash/flash_common.h"
#include "flash/page_flow_ui.h"
#include "session/app_context.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QWidget;

namespace quillon {

class FirmwarePage final : public QObject {
 public:
  FirmwarePage(QWidget* page, AppContext& ctx, SerialPortControl serial);
  void SetFileChooser(FileChooser chooser) { choose_ = std::move(chooser); }

  void btn21Click();  // choose the firmware file
  void btn22Click();  // update (older protocol when chk_old is ticked)
  void btn44Click();  // enter flashing mode
  void btn52Click();  // flash unlock

  const FlashOutcome& last_outcome() const { return last_; }

 private:
  QWidget* page_;
  AppContext& ctx_;
  SerialPortControl serial_;
  FileChooser choose_ = ChooseDataFile;
  QPointer<QLabel> path_;
  QPointer<QCheckBox> old_;
  QPointer<QAbstractButton> stop_;
  PageFlowUi ui_;
  FlashOutcome last_;
};

class FontPage final : public QObject {
 public:
  FontPage(QWidget* page, AppContext& ctx);
  void SetFileChooser(FileChooser chooser) { choose_ = std::move(chooser); }

  void btn23Click();  // choose the font file
  void btn24Click();  // download

  const FlashOutcome& last_outcome() const { return last_; }

 private:
  QWidget* page_;
  AppContext& ctx_;
  FileChooser choose_ = ChooseDataFile;
  QPointer<QLabel> path_;
  QPointer<QCheckBox> erase_all_;
  QPointer<QComboBox> packsize_;
  QPointer<QAbstractButton> stop_;
  PageFlowUi ui_;
  FlashOutcome last_;
};

// The controllers have no parent of their own; these install one owned by the page. serial reopens
// and closes the serial port around newer-protocol updates (empty: the port is left as it is).
FirmwarePage* InstallFirmwarePage(QWidget* page, AppContext& ctx, SerialPortControl serial = {});
FontPage* InstallFontPage(QWidget* page, AppContext& ctx);

}  // namespace quillon
