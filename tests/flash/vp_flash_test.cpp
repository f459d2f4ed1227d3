// The flows against the virtual printer: its boot loader verifies the firmware, its font
// flash ends up equal to the file, and its fault switches reach the failure paths.
#include <gtest/gtest.h>

#include "flash/firmware_flow.h"
#include "flash/font_download.h"
#include "flash_rig.h"
#include "link/serial/serial_path.h"
#include "link/serial/tcomm.h"
#include "virtualprinter/pty_transport.h"
#include "virtualprinter/virtual_printer.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon::testing {
namespace {

using Bytes = std::vector<uint8_t>;

vp::VirtualPrinter::Options ErasedFlash() {
  vp::VirtualPrinter::Options o;
  o.load_factory_font = false;
  return o;
}

struct VpRig {
  explicit VpRig(const vp::Faults& faults = {}) {
    printer.UseManualTime([this](uint32_t ms) { clock.Advance(ms); });
    printer.SetFaults(faults);
    link.SetUsbIds("1fc9", "2016");
    link.FindPrinter();
  }
  FlashOutcome Firmware(const Bytes& image, bool old = false) {
    TempFile file(image);
    FirmwareJob job;
    job.path = file.path();
    job.serial.Close = [this] { ++serial_closes; };
    return old ? OldUpdate(ctx, ui, job) : NewUpdate(ctx, ui, job);
  }
  FlashOutcome Font(const Bytes& content, const std::string& packsize) {
    TempFile file(content, "font.bin");
    FontJob job;
    job.path = file.path();
    job.packsize_text = packsize;
    return FontDownload(ctx, ui, job);
  }

  FakeClock clock{1000};
  FakeClockPump pump{clock};
  vp::VirtualPrinter printer{ErasedFlash(), clock};
  vp::VirtualUsbBackend usb{printer, "1fc9", "2016"};
  PrinterLink link{usb, clock, pump};
  EscCmd esc{link};
  RecordingMessages messages;
  RecordingUi ui{messages};
  AppContext ctx{link, esc, messages, nullptr};
  int serial_closes = 0;
};

TEST(VirtualPrinterFirmware, BootLoaderVerifiesTheImage) {
  VpRig rig;
  const Bytes image = Pattern(1025);
  EXPECT_EQ(rig.Firmware(image).result, FlashResult::kOk);
  EXPECT_EQ(rig.printer.state().firmware, image);
  EXPECT_EQ(rig.ui.memo[3], "MSG016");

  VpRig old;
  EXPECT_EQ(old.Firmware(Bytes{1, 2, 3}, true).result, FlashResult::kOk);
  EXPECT_EQ(old.messages.boxes.back().text, "MSG009");
}

TEST(VirtualPrinterFirmware, FaultSwitchesReachEachFailure) {
  vp::Faults no_erase;
  no_erase.drop_replies_to_code = 0xF0;
  VpRig erase(no_erase);
  EXPECT_EQ(erase.Firmware(Pattern(3000)).result, FlashResult::kEraseFailed);
  EXPECT_EQ(erase.ui.memo.back(), "MSG012");

  vp::Faults no_second_packet;
  no_second_packet.drop_reply_to_packet = 3;  // erase, first packet, second packet
  VpRig data(no_second_packet);
  const FlashOutcome out = data.Firmware(Pattern(3000));
  EXPECT_EQ(out.result, FlashResult::kWriteFailed);
  EXPECT_EQ(out.failed_address, 1024u);
  EXPECT_EQ(data.ui.memo.back(), "MSG014");
  EXPECT_EQ(data.printer.packets(), 3u);
  EXPECT_EQ(data.serial_closes, 1);
  EXPECT_FALSE(data.link.USB().hDevHandle);

  vp::Faults bad_verify;
  bad_verify.fault_code = 0xF2;
  bad_verify.corrupt_checksum = true;
  VpRig verify(bad_verify);
  EXPECT_EQ(verify.Firmware(Pattern(3000)).result, FlashResult::kChecksumFailed);
  EXPECT_EQ(verify.ui.memo.back(), "MSG015");
}

TEST(VirtualPrinterFont, FlashEqualsTheFile) {
  VpRig rig;
  const Bytes font = Pattern(8388608, 7);
  ASSERT_EQ(rig.Font(font, "4096").result, FlashResult::kOk);
  EXPECT_EQ(rig.printer.state().flash.bytes(), font);
  EXPECT_EQ(rig.printer.packets(), 4096u);
}

TEST(VirtualPrinterFont, RetriesAndUnplugMidway) {
  vp::Faults lost_reply;
  lost_reply.drop_reply_to_packet = 3;  // two sector erases, then the first write
  VpRig retry(lost_reply);
  const Bytes font = Pattern(5000);
  ASSERT_EQ(retry.Font(font, "1024").result, FlashResult::kOk);
  EXPECT_EQ(std::count(retry.ui.memo.begin(), retry.ui.memo.end(), "MSG0210MSG0221MSG023"), 1);
  const auto flash = retry.printer.state().flash.Read(0, 5000);
  EXPECT_EQ(Bytes(flash.begin(), flash.end()), font);

  vp::Faults unplug;
  unplug.unplug_after_packets = 4;  // two erases, two writes, then gone
  VpRig gone(unplug);
  const FlashOutcome out = gone.Font(font, "1024");
  EXPECT_EQ(out.result, FlashResult::kWriteFailed);
  EXPECT_EQ(out.failed_address, 2048u);
  EXPECT_EQ(gone.ui.memo.back(), "MSG0212048");
  EXPECT_FALSE(gone.link.USB().hDevHandle);
}

// The serial link with the program's own port component: the flow opens the port, needs
// no USB printer, and closes the port when done.
TEST(VirtualPrinterSerial, NewerUpdateOpensAndClosesThePort) {
  vp::VirtualPrinter printer{ErasedFlash()};
  vp::PtyTransport transport{printer};
  std::string error;
  ASSERT_TRUE(transport.Start(error)) << error;
  QueueNotifier notifier;
  ScriptedUsb usb;
  usb.paths.clear();  // no USB printer at all
  PrinterLink link{usb, SystemClock(), notifier};
  TComm comm{notifier};
  ConfigureMainWindowPort(comm);
  AttachSerialPort(link, comm);
  comm.SetCommName(transport.port_path());
  link.SetUseCommPort(true);
  EscCmd esc{link};
  RecordingMessages messages;
  RecordingUi ui{messages};
  int presence_checks = 0;
  AppContext ctx{link, esc, messages, [&] { return ++presence_checks, false; }};

  const Bytes image = Pattern(2049);
  TempFile file(image);
  FirmwareJob job;
  job.path = file.path();
  EXPECT_EQ(NewUpdate(ctx, ui, job).result, FlashResult::kOk);
  printer.WithState([&](vp::PrinterState& s) { EXPECT_EQ(s.firmware, image); });
  EXPECT_FALSE(comm.IsOpen());
  EXPECT_EQ(presence_checks, 0);
  EXPECT_TRUE(usb.writes.empty());

  // A port that cannot be opened: the component's error in an error box, nothing sent.
  comm.SetCommName("/nonexistent/quillon-tty");
  EXPECT_EQ(NewUpdate(ctx, ui, job).result, FlashResult::kSerialPortFailed);
  ASSERT_FALSE(messages.boxes.empty());
  EXPECT_EQ(messages.boxes.back().kind, kMsgError);
  EXPECT_EQ(messages.boxes.back().text,
            CommOpenErrorText(PortOpenFailure::kMissing, "/nonexistent/quillon-tty"));
}

}  // namespace
}  // namespace quillon::testing
