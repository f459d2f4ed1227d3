#include "settings/settings_dialogs.h"

#include "settings/net_edit_dialog.h"
#include "settings/paper_roll_dialog.h"
#include "settings/rfid_test_dialog.h"
#include "settings/serial_number_dialog.h"
#include "settings/wifi_dialog.h"

namespace quillon {
namespace {

void ShowModal(std::unique_ptr<QDialog> dialog, const Localise& localise) {
  if (localise) localise(dialog.get());
  dialog->exec();
}

}  // namespace

std::unique_ptr<QDialog> CreateWifiDialog(QWidget* parent, AppContext& ctx) {
  return std::make_unique<Twifi>(ctx, parent);
}
std::unique_ptr<QDialog> CreateNetEditDialog(QWidget* parent, AppContext& ctx) {
  return std::make_unique<Tnet_edit>(ctx, parent);
}
std::unique_ptr<QDialog> CreateSerialNumberDialog(QWidget* parent, AppContext& ctx) {
  return std::make_unique<Tserial_number>(ctx, parent);
}
std::unique_ptr<QDialog> CreatePaperRollDialog(QWidget* parent, AppContext& ctx) {
  return std::make_unique<TPaper_roll>(ctx, parent);
}
std::unique_ptr<QDialog> CreateRfidTestDialog(QWidget* parent, AppContext& ctx) {
  return std::make_unique<Trfid_test>(ctx, parent);
}

void ShowWifiDialog(QWidget* parent, AppContext& ctx, const Localise& localise) {
  ShowModal(CreateWifiDialog(parent, ctx), localise);
}
void ShowNetEditDialog(QWidget* parent, AppContext& ctx, const Localise& localise) {
  ShowModal(CreateNetEditDialog(parent, ctx), localise);
}
void ShowSerialNumberDialog(QWidget* parent, AppContext& ctx, const Localise& localise) {
  ShowModal(CreateSerialNumberDialog(parent, ctx), localise);
}
void ShowPaperRollDialog(QWidget* parent, AppContext& ctx) {
  ShowModal(CreatePaperRollDialog(parent, ctx), {});
}
void ShowRfidTestDialog(QWidget* parent, AppContext& ctx) {
  ShowModal(CreateRfidTestDialog(parent, ctx), {});
}

}  // namespace quillon
