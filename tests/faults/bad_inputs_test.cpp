// Bad inputs typed or chosen by the user: each is refused with a message before anything
// reaches the printer, and the printer keeps what it had.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "faults/reliability_table.h"
#include "faults/usb_host.h"
#include "link/serial/serial_path.h"
#include "link/serial/tcomm.h"
#include "settings/net_records.h"
#include "support/scripted_usb.h"

namespace quillon::faults {
namespace {

constexpr const char* kArea = "Bad inputs";

// "refused before sending (<reason>), printer unchanged" or what went wrong instead.
std::string Refusal(bool ok, const std::string& reason, uint32_t packets_sent, bool unchanged) {
  if (ok) return "ACCEPTED";
  return "refused (" + reason + "), " +
         (packets_sent == 0 ? std::string("nothing sent")
                            : "SENT " + std::to_string(packets_sent)) +
         (unchanged ? ", printer unchanged" : ", PRINTER CHANGED");
}

TEST(BadInputs, OverLongTextsForThePrinterAreRefusedBeforeSending) {
  UsbHost host;
  vp::PrinterState before = host.printer().state();
  const uint32_t packets = host.printer().packets();

  std::string serial(kMaxSerialNumber + 1, '7');
  const bool serial_ok = host.esc().cmd_serial_number(1, serial);
  const CmdFailure serial_why = host.esc().last_failure();
  std::string name(kMaxPacketData + 1, 'N');
  const bool name_ok = host.esc().cmd_blue_name(1, name);
  std::vector<uint8_t> logo(kMaxLogoData + 1, 0xFF);
  const bool logo_ok =
      host.esc().cmd_oem_lcdlogo(1, static_cast<int32_t>(logo.size()), logo.data());

  const uint32_t sent = host.printer().packets() - packets;
  const vp::PrinterState& after = host.printer().state();
  const bool unchanged = after.serial_number == before.serial_number &&
                         after.settings.blue_name == before.settings.blue_name &&
                         after.logo == before.logo;
  EXPECT_FALSE(serial_ok);
  EXPECT_FALSE(name_ok);
  EXPECT_FALSE(logo_ok);
  EXPECT_EQ(serial_why, CmdFailure::kTooLong);
  EXPECT_EQ(sent, 0u);
  EXPECT_TRUE(unchanged);
  EXPECT_TRUE(host.LinkClosed());
  Record(kArea, "serial number of 32 characters (31 fit)", "refused before sending",
         Refusal(serial_ok, CmdFailureText(serial_why), sent, unchanged));
  Record(kArea, "Bluetooth name longer than a packet, logo longer than 4092 bytes",
         "refused before sending",
         Refusal(name_ok || logo_ok, CmdFailureText(host.esc().last_failure()), sent, unchanged));
}

TEST(BadInputs, WifiAndNetworkTextsThatDoNotFitOrAreNotNumbers) {
  std::string error;
  struct Case {
    const char* scenario;
    WifiTexts texts;
  };
  WifiTexts good{"bench-ap",    "secret",      "192.168.1.20", "255.255.255.0",
                 "192.168.1.1", "192.168.1.1", "192.168.1.2"};
  WifiTexts long_ssid = good, long_password = good;
  long_ssid.ssid = std::string(24, 'S');
  long_password.password = std::string(24, 'p');
  for (const Case& c : {Case{"Wi-Fi name of 24 characters (23 fit)", long_ssid},
                        Case{"Wi-Fi password of 24 characters (23 fit)", long_password}}) {
    error.clear();
    const auto record = BuildWifiPar(c.texts, true, 9100, &error);
    EXPECT_FALSE(record.has_value()) << c.scenario;
    EXPECT_FALSE(error.empty()) << c.scenario;
    Record(kArea, c.scenario, "refused with a message naming the field and its limit",
           record ? "ACCEPTED" : "refused: \"" + error + "\"");
  }
  error.clear();
  const auto net = BuildNetPar("192.168.one.20", "255.255.255.0", "192.168.1.1", false, &error);
  EXPECT_FALSE(net.has_value());
  EXPECT_FALSE(error.empty());
  Record(kArea, "network address \"192.168.one.20\"", "refused with a message",
         net ? "ACCEPTED" : "refused: \"" + error + "\"");
  const auto port = ParseWholeNumber("91OO");
  EXPECT_FALSE(port.has_value());
  Record(kArea, "port \"91OO\"", "refused as not a number", port ? "ACCEPTED" : "refused");
}

TEST(BadInputs, NonNumericBaudRateLeavesTheSerialPortAlone) {
  QueueNotifier notifier;
  quillon::testing::ScriptedUsb usb;
  PrinterLink link{usb, SystemClock(), notifier};
  TComm comm{notifier};
  ConfigureMainWindowPort(comm);
  AttachSerialPort(link, comm);
  const uint32_t rate = comm.BaudRate();
  const std::string message = ApplySerialChoice(link, comm, "/dev/null-port", "fast", true);
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(comm.BaudRate(), rate);
  EXPECT_FALSE(comm.IsOpen());
  EXPECT_FALSE(link.UseCommPort());
  Record(kArea, "serial baud rate \"fast\"", "refused with a message, the port left alone",
         "refused: \"" + message + "\", rate kept, port not opened, serial path off");
}

}  // namespace
}  // namespace quillon::faults
