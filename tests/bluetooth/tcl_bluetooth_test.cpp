// The classic and low-energy Bluetooth windows driven through their controls on a fake stack,
// and the system stack's answer on a machine without a Bluetooth service.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpontaneKeyEvent>
#include <QTest>
#include <QTreeWidget>

#include "bluetooth/fake_bluetooth.h"
#include "bluetooth/qt_bluetooth.h"
#include "bluetooth/tcl_bluetooth.h"
#include "bluetooth/tcl_bluetooth_ble.h"
#include "core/ansi_codepage.h"

namespace quillon {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::ConnectOutcome;
using testing::FakeDevice;
using testing::FakeLink;
using testing::MakeDevice;

// Shown without painting: the show handlers run, but the toolkit's painting threads (whose
// hand-overs the race checker cannot see) never start.
void ShowOffScreen(QWidget& window) {
  window.setAttribute(Qt::WA_DontShowOnScreen, true);
  window.setUpdatesEnabled(false);
  window.show();
}

// The show event the window system sends when a minimised window is restored.
struct RestoreShowEvent : QShowEvent {
  RestoreShowEvent() { QSpontaneKeyEvent::setSpontaneous(this); }
};

template <typename T>
T* Find(QWidget& window, const char* name) {
  T* w = window.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

class ClassicTool : public ::testing::Test {
 protected:
  void Open() {
    window = std::make_unique<TclBluetooth>(manager);
    window->ShowMessage = [this](const QString& text) { messages.push_back(text.toStdString()); };
    ShowOffScreen(*window);
  }
  void Click(const char* name) { Find<QPushButton>(*window, name)->click(); }
  QComboBox* Paired() { return Find<QComboBox>(*window, "ComboboxPaired"); }
  QComboBox* Devices() { return Find<QComboBox>(*window, "ComboboxDevices"); }
  QPlainTextEdit* Memo(const char* name) { return Find<QPlainTextEdit>(*window, name); }
  std::vector<std::string> TakeMessages() { return std::exchange(messages, {}); }
  bool WaitForReceiveText(const QString& text) {
    return QTest::qWaitFor([&] { return Memo("mmo2")->toPlainText() == text; }, 20000);
  }
  // A paired printer selected and connected through "Connect Bluetooth".
  std::shared_ptr<FakeLink> ConnectPrinter() {
    Open();
    Click("btn8");
    EXPECT_EQ(printer->links.size(), 1u);
    return printer->links.empty() ? nullptr : printer->links.back();
  }

  std::shared_ptr<FakeDevice> printer = MakeDevice("Printer", "00:11:22:33:44:55");
  std::shared_ptr<FakeDevice> phone = MakeDevice("Phone", "66:77:88:99:AA:BB");
  testing::FakeManager manager;
  std::unique_ptr<TclBluetooth> window;
  std::vector<std::string> messages;

  void SetUp() override { manager.paired_devices = {printer, phone}; }
};

TEST_F(ClassicTool, WithoutRadioEveryActionDoesNothing) {
  manager.connected = false;
  Open();
  auto* discover = Find<QPushButton>(*window, "ButtonDiscover");
  EXPECT_EQ(discover->text(), "Discover devices");
  EXPECT_EQ(Paired()->count(), 0);
  // Discover says at once that there is no radio and gives the button back.
  Click("ButtonDiscover");
  EXPECT_EQ(discover->text(), "Discover devices");
  EXPECT_TRUE(discover->isEnabled());
  EXPECT_EQ(TakeMessages(),
            std::vector<std::string>{"No Bluetooth adapter is present (or it is switched off)."});
  for (const char* button : {"btn2", "btn3", "btn4", "btn5", "btn6", "btn9"}) Click(button);
  EXPECT_EQ(manager.discoveries, 0);
  EXPECT_EQ(manager.paired_queries, 0);
  EXPECT_EQ(Paired()->count(), 0);
  EXPECT_TRUE(manager.adapter.paired.empty());
  EXPECT_TRUE(manager.adapter.unpaired.empty());
  EXPECT_TRUE(printer->links.empty());
  EXPECT_TRUE(TakeMessages().empty());
  // Pair says at once why it cannot work.
  EXPECT_EQ(Find<QLabel>(*window, "lbl_status")->text(),
            "The Bluetooth service (bluetoothd) is not running");
  // Connect does not ask for the radio; with no paired list it has nothing to connect to.
  Click("btn8");
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{"No paired device selected"});
}

TEST_F(ClassicTool, ShowingListsPairedDevicesAndSelectsTheFirst) {
  Open();
  ASSERT_EQ(Paired()->count(), 2);
  EXPECT_EQ(Paired()->itemText(0), "Printer");
  EXPECT_EQ(Paired()->itemText(1), "Phone");
  EXPECT_EQ(Paired()->currentIndex(), 0);
  Click("btn2");  // a refresh selects nothing
  EXPECT_EQ(Paired()->count(), 2);
  EXPECT_EQ(Paired()->currentIndex(), -1);
  Paired()->hidePopup();
  Paired()->setCurrentIndex(1);
  const int queries = manager.paired_queries;
  RestoreShowEvent restored;  // back from minimised: no new showing
  QCoreApplication::instance()->notify(window.get(), &restored);  // sendEvent would clear the flag
  EXPECT_EQ(Paired()->currentIndex(), 1);
  EXPECT_EQ(manager.paired_queries, queries);
}

TEST_F(ClassicTool, NoPairedDevicesLineIsNotADevice) {
  manager.paired_devices.clear();
  Open();
  ASSERT_EQ(Paired()->count(), 1);
  EXPECT_EQ(Paired()->itemText(0), "No Paired Devices");
  EXPECT_EQ(Paired()->currentIndex(), 0);
  Click("btn5");
  Click("btn4");
  Click("btn8");
  EXPECT_EQ(TakeMessages(),
            (std::vector<std::string>{"No paired device selected", "No Paired device selected",
                                      "No paired device selected"}));
}

TEST_F(ClassicTool, DiscoveryEndFillsTheListFromAnotherThread) {
  Open();
  Click("ButtonDiscover");
  auto* discover = Find<QPushButton>(*window, "ButtonDiscover");
  EXPECT_EQ(discover->text(), "Discovering...");
  EXPECT_FALSE(discover->isEnabled());
  EXPECT_EQ(manager.last_timeout_ms, 10000);
  ASSERT_TRUE(manager.EndDiscovery({printer, phone}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Devices()->count() == 2; }, 20000));
  EXPECT_EQ(Devices()->itemText(0), "Printer  -> 00:11:22:33:44:55");
  EXPECT_EQ(Devices()->itemText(1), "Phone  -> 66:77:88:99:AA:BB");
  EXPECT_EQ(Devices()->currentIndex(), 0);
  EXPECT_EQ(discover->text(), "Discover devices");
  EXPECT_TRUE(discover->isEnabled());

  Devices()->setCurrentIndex(1);
  Click("btn3");
  EXPECT_EQ(manager.adapter.paired, std::vector<std::string>{"Phone"});
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(ClassicTool, PairingAsksForThePinAndShowsHowItWent) {
  Open();
  std::vector<std::string> asked;
  window->AskPin = [&](const QString& device) -> std::optional<QString> {
    asked.push_back(device.toStdString());
    if (device == "Phone") return std::nullopt;  // the user cancels
    return QStringLiteral("1234");
  };
  Click("ButtonDiscover");
  ASSERT_TRUE(manager.EndDiscovery({printer, phone}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Devices()->count() == 2; }, 20000));
  auto* status = Find<QLabel>(*window, "lbl_status");
  const struct {
    int device;
    PairingResult result;
    const char* detail;
    std::optional<std::string> pin;
    const char* shown;
  } cases[] = {
      {0, PairingResult::kPaired, "", "1234", "Paired with Printer"},
      {1, PairingResult::kRefused, "Authentication Canceled", std::nullopt,
       "Pairing with Phone refused: Authentication Canceled"},
      {0, PairingResult::kTimedOut, "", "1234", "Pairing with Printer timed out"},
      {0, PairingResult::kFailed, "Page Scan failed", "1234",
       "Pairing with Printer failed: Page Scan failed"},
  };
  for (const auto& c : cases) {
    Devices()->setCurrentIndex(c.device);
    Click("btn3");
    EXPECT_EQ(status->text(),
              QStringLiteral("Pairing with %1...").arg(c.device ? "Phone" : "Printer"));
    ASSERT_TRUE(manager.adapter.pairing.AskPin && manager.adapter.pairing.Finished);
    EXPECT_EQ(manager.adapter.pairing.AskPin(), c.pin);
    manager.adapter.pairing.Finished(c.result, c.detail);
    EXPECT_EQ(status->text().toStdString(), c.shown);
  }
  EXPECT_EQ(asked, (std::vector<std::string>{"Printer", "Phone", "Printer", "Printer"}));
  EXPECT_TRUE(TakeMessages().empty());

  Click("btn3");  // a pairing still running when the window closes is cancelled
  window->close();
  EXPECT_EQ(manager.adapter.cancelled_pairings, 1);
}

TEST_F(ClassicTool, PairUnPairAndServicesNeedASelection) {
  Open();
  Click("btn3");  // nothing discovered yet
  Paired()->setCurrentIndex(-1);
  Click("btn4");
  Click("btn5");
  EXPECT_EQ(TakeMessages(),
            (std::vector<std::string>{"No device selected", "No Paired device selected",
                                      "No paired device selected"}));
  EXPECT_TRUE(manager.adapter.paired.empty());
  EXPECT_TRUE(manager.adapter.unpaired.empty());

  Paired()->setCurrentIndex(1);
  Click("btn4");
  EXPECT_EQ(manager.adapter.unpaired, std::vector<std::string>{"Phone"});
  EXPECT_EQ(Paired()->count(), 2);  // the list is not refreshed
}

TEST_F(ClassicTool, ServicesShowNameOrUnknownAndBracedUpperCaseUuid) {
  printer->services = {{"Serial Port", kSppUuid}, {"", BaseUuid(0x110B)}};
  Open();
  auto* list = Find<QTreeWidget>(*window, "ListView1");
  new QTreeWidgetItem(list, {"stale", "row"});
  Click("btn5");
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(list->topLevelItem(0)->text(0), "Serial Port");
  EXPECT_EQ(list->topLevelItem(0)->text(1), "{00001101-0000-1000-8000-00805F9B34FB}");
  EXPECT_EQ(list->topLevelItem(0)->data(0, Qt::UserRole).toInt(), 3);
  EXPECT_EQ(list->topLevelItem(1)->text(0), "<Unknown>");
  EXPECT_EQ(list->topLevelItem(1)->text(1), "{0000110B-0000-1000-8000-00805F9B34FB}");
  EXPECT_EQ(list->topLevelItem(1)->data(0, Qt::UserRole).toInt(), 1);
}

TEST_F(ClassicTool, FailedConnectBlocksTheSameDeviceUntilDisConnect) {
  printer->outcome = ConnectOutcome::kThrows;
  Open();
  Click("btn8");
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Connection refused"});
  ASSERT_EQ(printer->links.size(), 1u);
  EXPECT_EQ(printer->socket_uuids.back(), kSppUuid);
  Click("btn8");  // the half-made connection is kept: nothing happens
  EXPECT_EQ(printer->links.size(), 1u);
  EXPECT_TRUE(TakeMessages().empty());
  Click("btn9");
  EXPECT_TRUE(printer->links[0]->closed);
  printer->outcome = ConnectOutcome::kConnects;
  Click("btn8");
  ASSERT_EQ(printer->links.size(), 2u);
  EXPECT_TRUE(printer->links[1]->connected);
  EXPECT_EQ(manager.adapter.server_names, std::vector<std::string>{"Basic Text Server"});
}

TEST_F(ClassicTool, MissingSocketAndConnectionThatStaysDown) {
  printer->gives_socket = false;
  Open();
  Click("btn8");
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Out of time -15s-"});
  printer->gives_socket = true;
  printer->outcome = ConnectOutcome::kStaysDown;
  Click("btn8");
  ASSERT_EQ(printer->links.size(), 1u);
  EXPECT_EQ(printer->links[0]->receive_calls, 0);  // no reader for a link that is not up
  EXPECT_TRUE(manager.adapter.server_names.empty());
}

TEST_F(ClassicTool, ReceivedChunksBecomeHexLines) {
  auto link = ConnectPrinter();
  link->Push({0x00, 0xFF});
  ASSERT_TRUE(WaitForReceiveText("00 FF "));
  link->Push({});
  link->Push({0x1B, 0x40, 0x0A});
  ASSERT_TRUE(WaitForReceiveText("00 FF \n1B 40 0A "));  // the empty receive added no line
  Click("btn1");
  EXPECT_TRUE(Memo("mmo2")->toPlainText().isEmpty());
  link->Break("Connection reset by peer");
  ASSERT_TRUE(WaitForReceiveText("Server Socket closed: Connection reset by peer"));
  Click("btn9");
  EXPECT_EQ(link->receives_after_break, 1);
}

TEST_F(ClassicTool, HexSendingReadsPairs) {
  auto link = ConnectPrinter();
  Find<QCheckBox>(*window, "chk1")->setChecked(true);
  const std::pair<const char*, Bytes> cases[] = {
      {"1b 40\n0a", {0x1B, 0x40, 0x0A}}, {"1B4", {0x1B}}, {"ZZ", {0x00}}, {"", {}}, {"1", {}}};
  for (const auto& [text, bytes] : cases) {
    Memo("mmo1")->setPlainText(QString::fromUtf8(text));
    Click("btn6");
    EXPECT_EQ(link->TakeSent(), bytes) << text;
  }
  EXPECT_TRUE(TakeMessages().empty());
  // Zero bytes were never handed to the stack, which takes them for a broken link.
  link->Push({0x06});
  ASSERT_TRUE(WaitForReceiveText("06 "));
  EXPECT_EQ(printer->links.size(), 1u);
}

TEST_F(ClassicTool, PlainSendingKeepsCrLfAndAddsNothing) {
  auto link = ConnectPrinter();
  EXPECT_EQ(Memo("mmo1")->toPlainText(), "测试数据");
  Memo("mmo1")->setPlainText("AB\nCD");
  Click("btn6");
  EXPECT_EQ(link->TakeSent(), (Bytes{'A', 'B', '\r', '\n', 'C', 'D'}));
  Click("btn7");
  EXPECT_TRUE(Memo("mmo1")->toPlainText().isEmpty());
}

TEST_F(ClassicTool, CharactersTheCodePageLacksAreToldOnce) {
  auto link = ConnectPrinter();
  const int before = AnsiCodePage();
  SetAnsiCodePage(1252);
  auto* status = Find<QLabel>(*window, "lbl_status");
  Click("btn6");  // the sample text
  EXPECT_EQ(link->TakeSent(), (Bytes{0x3F, 0x3F, 0x3F, 0x3F}));
  EXPECT_EQ(status->text(),
            "4 characters cannot be written in code page 1252 and were sent as '?': set "
            "ANSI_CODEPAGE=936 in config.ini for Chinese printers");
  status->clear();
  Click("btn6");
  SetAnsiCodePage(before);
  EXPECT_EQ(link->TakeSent(), (Bytes{0x3F, 0x3F, 0x3F, 0x3F}));
  EXPECT_TRUE(status->text().isEmpty());
}

TEST_F(ClassicTool, SendConnectsWhenNeededAndSwallowsFailures) {
  Open();
  Memo("mmo1")->setPlainText("A");
  Click("btn6");  // no connection yet: SEND makes one for the selected device
  ASSERT_EQ(printer->links.size(), 1u);
  EXPECT_EQ(printer->links[0]->TakeSent(), Bytes{'A'});
  printer->links[0]->Push({0x41});  // with a reader of its own
  ASSERT_TRUE(WaitForReceiveText("41 "));

  // SEND with another device selected moves the connection and its reader to that device.
  Paired()->setCurrentIndex(1);
  Click("btn6");
  ASSERT_EQ(phone->links.size(), 1u);
  EXPECT_TRUE(printer->links[0]->closed);
  EXPECT_FALSE(printer->links[0]->closed_while_receiving);
  EXPECT_EQ(phone->links[0]->TakeSent(), Bytes{'A'});
  phone->links[0]->Push({0x42});
  ASSERT_TRUE(WaitForReceiveText("41 \n42 "));
  Click("btn9");
  Paired()->setCurrentIndex(0);

  phone->outcome = ConnectOutcome::kThrows;
  Paired()->setCurrentIndex(1);
  Click("btn6");
  EXPECT_EQ(phone->links.size(), 2u);
  EXPECT_TRUE(TakeMessages().empty());  // the failure is swallowed

  Paired()->setCurrentIndex(-1);
  Click("btn6");
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{"No paired device selected"});
}

TEST_F(ClassicTool, ReaderStopsBeforeItsConnectionCloses) {
  auto first = ConnectPrinter();
  ASSERT_TRUE(first->WaitFor([&] { return first->receiving == 1; }));
  EXPECT_EQ(*manager.adapter.servers_alive, 1);

  Paired()->setCurrentIndex(1);  // a new Connect for another device
  Click("btn8");
  ASSERT_EQ(phone->links.size(), 1u);
  auto second = phone->links[0];
  EXPECT_TRUE(first->closed);
  EXPECT_FALSE(first->closed_while_receiving);
  EXPECT_FALSE(first->receive_after_close);
  EXPECT_EQ(*manager.adapter.servers_alive, 1);
  ASSERT_TRUE(second->WaitFor([&] { return second->receiving == 1; }));

  Click("btn9");  // DisConnect
  EXPECT_TRUE(second->closed);
  EXPECT_FALSE(second->closed_while_receiving);
  EXPECT_EQ(*manager.adapter.servers_alive, 0);

  Click("btn8");
  auto third = phone->links.back();
  ASSERT_TRUE(third->WaitFor([&] { return third->receiving == 1; }));
  window->close();  // closing the window ends the reader, then the connection
  EXPECT_TRUE(third->closed);
  EXPECT_FALSE(third->closed_while_receiving);
  EXPECT_FALSE(third->receive_after_close);
  EXPECT_EQ(third->receiving, 0);
  EXPECT_EQ(*manager.adapter.servers_alive, 0);
  window.reset();
  EXPECT_FALSE(manager.EndDiscovery({}));  // nothing reaches a closed window
}

TEST_F(ClassicTool, ClosingWhileConnectingWaitsForTheConnectToReturn) {
  Open();
  printer->during_connect = [this] { window->close(); };
  Click("btn8");  // the socket being connected is not freed under the running connect
  EXPECT_FALSE(window->isVisible());
  ASSERT_EQ(printer->links.size(), 1u);
  EXPECT_TRUE(printer->links[0]->closed);
  EXPECT_EQ(printer->links[0]->receiving, 0);
}

TEST(BleTool, PrintsOkEachAddressAndEnd) {
  testing::FakeBleScanner scanner;
  TclBluetooth_BLE window(scanner);
  ShowOffScreen(window);
  auto* memo = Find<QPlainTextEdit>(window, "mmo1");
  Find<QPushButton>(window, "btn1")->click();
  EXPECT_EQ(scanner.last_timeout_ms, 50000);
  ASSERT_TRUE(scanner.Found("AA:BB:CC:DD:EE:01"));
  ASSERT_TRUE(scanner.Found("AA:BB:CC:DD:EE:02"));
  ASSERT_TRUE(scanner.End());
  EXPECT_TRUE(QTest::qWaitFor([&] { return memo->toPlainText().endsWith("end."); }, 20000));
  EXPECT_EQ(memo->toPlainText(), "mmo1\nOK\nAA:BB:CC:DD:EE:01\nAA:BB:CC:DD:EE:02\nend.");

  scanner.starts = false;  // no radio: nothing to tell
  Find<QPushButton>(window, "btn1")->click();
  QCoreApplication::processEvents();
  EXPECT_EQ(memo->toPlainText(), "mmo1\nOK\nAA:BB:CC:DD:EE:01\nAA:BB:CC:DD:EE:02\nend.");

  memo->clear();
  scanner.start_error = "Discovery method not supported";  // an adapter without low energy
  Find<QPushButton>(window, "btn1")->click();
  EXPECT_EQ(memo->toPlainText(), "Discovery method not supported\nend.");
  scanner.starts = true;
  Find<QPushButton>(window, "btn1")->click();
  ASSERT_TRUE(scanner.End("Bluetooth adapter powered off"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return memo->toPlainText().endsWith("end."); }, 20000));
  EXPECT_EQ(memo->toPlainText(),
            "Discovery method not supported\nend.\nOK\nBluetooth adapter powered off\nend.");
}

// The test program points the system bus at a socket that does not exist, as on a machine
// without Bluetooth: the system stack must answer "no radio" without blocking.
TEST(SystemStack, WithoutBluetoothServiceNothingHappens) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the toolkit's own D-Bus thread hands over in ways the race checker cannot see";
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
  GTEST_SKIP() << "the toolkit's own D-Bus thread hands over in ways the race checker cannot see";
#endif
#endif
  const std::unique_ptr<BtManager> manager = CreateSystemBtManager();
  EXPECT_FALSE(manager->ConnectionState());
  EXPECT_EQ(manager->Unavailable(), "No system message bus: Bluetooth cannot be reached");
  EXPECT_EQ(manager->CurrentAdapter(), nullptr);
  EXPECT_TRUE(manager->GetPairedDevices().empty());
  bool ended = false;
  manager->StartDiscovery(10000, [&](BtDeviceList) { ended = true; });
  const std::unique_ptr<BleScanner> scanner = CreateSystemBleScanner();
  std::string error;
  EXPECT_FALSE(scanner->DiscoverDevices(
      50000, [](const std::string&) {}, [](const std::string&) {}, &error));
  EXPECT_EQ(error, "");

  EXPECT_TRUE(ended);  // a discovery that cannot start ends at once, with nothing found

  TclBluetooth window(*manager);
  std::vector<std::string> said;
  window.ShowMessage = [&](const QString& text) { said.push_back(text.toStdString()); };
  ShowOffScreen(window);
  Find<QPushButton>(window, "ButtonDiscover")->click();
  EXPECT_EQ(Find<QPushButton>(window, "ButtonDiscover")->text(), "Discover devices");
  EXPECT_EQ(said.size(), 1u);
}

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/quillon-test-no-system-bus");
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
