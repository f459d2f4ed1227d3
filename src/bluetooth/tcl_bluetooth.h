// The classic Bluetooth tool: discovery, pairing, services of a paired device, and a serial
// port profile terminal that sends the transmit box and shows received bytes in hexadecimal.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>

#include "bluetooth/bluetooth_api.h"
#include "bluetooth/connection_reader.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace quillon {

class GuiQueue;

class TclBluetooth : public QDialog {
  Q_OBJECT
 public:
  TclBluetooth(BtManager& manager, QWidget* parent = nullptr);
  ~TclBluetooth() override;

  // Shows a plain message box; tests replace it with a recorder.
  std::function<void(const QString&)> ShowMessage;
  // Asks for the PIN code a device wants for pairing (prefilled "0000"); std::nullopt when the
  // user cancels. Tests replace it.
  std::function<std::optional<QString>(const QString& device)> AskPin;

  void FormShow();
  void ButtonDiscoverClick();
  void btn2Click();
  void btn3Click();
  void btn4Click();
  void btn5Click();
  void btn8Click();
  void btn9Click();
  void btn6Click();
  void btn7Click();
  void btn1Click();

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
  QWidget* BuildSettingPage();
  QWidget* BuildTransferPage();
  void ConnectHandlers();
  bool ManagerConnected();
  void PairedDevices();
  void DevicesDiscoveryEnd(const BtDeviceList& devices);
  void SendData();
  // The paired device of the selected line of ComboboxPaired; nullptr when no line that stands
  // for a device is selected.
  BtDevice* SelectedPairedDevice() const;
  // Creates FSocket for the selected paired device (after dropping a connection to another
  // one) and connects it; false when there is no device or no socket (already told).
  bool MakeConnection();
  // Starts the reader of FSocket when it is connected.
  void StartReader();
  // The window's status line, below both pages.
  void SetStatus(const QString& text);
  static QString PairingText(PairingResult result, const QString& name, const QString& detail);
  // Stops the connection's reader, then closes and frees the connection.
  void DropConnection();
  // Runs a handler; a failure it raises is shown with its text.
  void Guarded(const std::function<void()>& handler);

  QWidget* ts1 = nullptr;
  QWidget* ts2 = nullptr;
  QPushButton* ButtonDiscover = nullptr;
  QProgressBar* actvtyndctr1 = nullptr;
  QPushButton* btn3 = nullptr;
  QComboBox* ComboboxDevices = nullptr;
  QPushButton* btn2 = nullptr;
  QPushButton* btn4 = nullptr;
  QComboBox* ComboboxPaired = nullptr;
  QPushButton* btn5 = nullptr;
  QTreeWidget* ListView1 = nullptr;
  QPushButton* btn8 = nullptr;
  QPushButton* btn9 = nullptr;
  QPlainTextEdit* mmo2 = nullptr;
  QPlainTextEdit* mmo1 = nullptr;
  QCheckBox* chk1 = nullptr;
  QPushButton* btn7 = nullptr;
  QPushButton* btn1 = nullptr;
  QPushButton* btn6 = nullptr;
  QLabel* lbl_status = nullptr;

  int ItemIndex = -1;
  BtManager* FBluetoothManager;
  BtDeviceList FDiscoverDevices;
  BtDeviceList FPairedDevices;
  BtAdapter* FAdapter = nullptr;
  std::unique_ptr<BtSocket> FSocket;
  std::unique_ptr<TServerConnectionTH> ServerConnectionTH;
  GuiQueue* queue_;
  int handler_depth_ = 0;            // handlers running (a stack call may wait in an event loop)
  std::optional<int> close_result_;  // a close asked for while a handler ran
};

}  // namespace quillon
