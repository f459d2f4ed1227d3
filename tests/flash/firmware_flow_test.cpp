// Firmware update flows against the scripted printer: bytes on the wire, memo lines,
// failure paths, the serial link and the older one-piece protocol.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "core/ulog.h"
#include "flash/firmware_flow.h"
#include "flash_rig.h"

namespace quillon::testing {
namespace {

using Bytes = std::vector<uint8_t>;

class NewUpdateTest : public ::testing::Test {
 protected:
  FlashOutcome Run(const Bytes& image) {
    file_ = std::make_unique<TempFile>(image);
    FirmwareJob job;
    job.path = file_->path();
    job.serial.Close = [this] { ++serial_closes; };
    return NewUpdate(rig.ctx, rig.ui, job);
  }
  // Every command after the erase must be a data packet or the final checksum.
  std::vector<size_t> DataSizes() const {
    std::vector<size_t> sizes;
    for (const Received* r : rig.printer.WithCode(0xF1)) sizes.push_back(r->data.size());
    return sizes;
  }

  FlashRig rig;
  int serial_closes = 0;
  std::unique_ptr<TempFile> file_;
};

TEST_F(NewUpdateTest, SendsEraseShortLastPacketAndChecksum) {
  const Bytes image = Pattern(1025);
  const FlashOutcome out = Run(image);

  ASSERT_EQ(out.result, FlashResult::kOk);
  EXPECT_EQ(rig.usb.writes.front(),
            (Bytes{0x04, 0xF0, 0x01, 0x00, 0x04, 0x00, 0x01, 0x04, 0x00, 0x00, 0xFE}));
  EXPECT_EQ(DataSizes(), (std::vector<size_t>{1024, 1}));
  const Received& last = rig.printer.commands.back();
  EXPECT_EQ(last.code, 0xF2);
  EXPECT_EQ(GetLE32(last.data.data()), ImageChecksum(image.data(), image.size()));
  EXPECT_TRUE(rig.printer.boot_verified);
  EXPECT_EQ(rig.printer.boot_image, image);
  EXPECT_EQ(out.bytes, 1025u);

  ASSERT_GE(rig.ui.memo.size(), 5u);
  EXPECT_EQ(rig.ui.memo[0], "MSG0061025");
  EXPECT_EQ(rig.ui.memo[1], "MSG011");
  EXPECT_EQ(rig.ui.memo[2], "MSG013");
  EXPECT_EQ(rig.ui.memo[3], "MSG016");
  EXPECT_EQ(rig.ui.memo[4].rfind("1025 bytes in ", 0), 0u) << rig.ui.memo[4];
  EXPECT_TRUE(rig.messages.boxes.empty());
  EXPECT_EQ(rig.usb.opens, rig.usb.closes);
  EXPECT_EQ(serial_closes, 1);  // closed after every run, also over USB
}

TEST_F(NewUpdateTest, WholePacketsAndPacingOfTenMilliseconds) {
  for (size_t n : {1u, 3u}) {
    rig.printer.commands.clear();
    const uint32_t before = rig.clock.NowMs();
    ASSERT_EQ(Run(Pattern(1024 * n, static_cast<uint32_t>(n))).result, FlashResult::kOk);
    std::vector<size_t> sizes = DataSizes();
    EXPECT_EQ(sizes, std::vector<size_t>(n, 1024)) << n;
    EXPECT_GE(rig.clock.NowMs() - before, 10 * n);
  }
}

TEST_F(NewUpdateTest, ChecksumPacketCarriesAdditiveSum) {
  Bytes image(18, 0xFF);
  image.push_back(0x46);  // 18 * 0xFF + 0x46 = 0x1234
  ASSERT_EQ(Run(image).result, FlashResult::kOk);
  EXPECT_EQ(rig.usb.writes.back(),
            (Bytes{0x04, 0xF2, 0x01, 0x00, 0x04, 0x00, 0x34, 0x12, 0x00, 0x00, 0x41}));
}

TEST_F(NewUpdateTest, ProgressReachesSizeBeforeChecksumCommand) {
  ASSERT_EQ(Run(Pattern(3000)).result, FlashResult::kOk);
  EXPECT_EQ(rig.ui.progress_max, 3000);
  EXPECT_EQ(rig.ui.progress, 3000);
  // Erase + 3 data packets were on the wire, the checksum command not yet.
  EXPECT_EQ(rig.ui.writes_when_full, 4);
}

TEST_F(NewUpdateTest, EraseNotAcknowledgedStopsBeforeData) {
  rig.printer.fault = [](const Received& r, int) {
    return r.code == 0xF0 ? Answer::kSilent : Answer::kAck;
  };
  const FlashOutcome out = Run(Pattern(2048));
  EXPECT_EQ(out.result, FlashResult::kEraseFailed);
  EXPECT_EQ(rig.ui.memo.back(), "MSG012");
  EXPECT_EQ(rig.printer.commands.size(), 1u);
  EXPECT_EQ(rig.usb.opens, rig.usb.closes);
  EXPECT_EQ(serial_closes, 1);
}

TEST_F(NewUpdateTest, DataPacketNotAcknowledgedStopsAtItsOffset) {
  int data_packets = 0;
  rig.printer.fault = [&](const Received& r, int) {
    return r.code == 0xF1 && ++data_packets == 2 ? Answer::kSilent : Answer::kAck;
  };
  const FlashOutcome out = Run(Pattern(4096));
  EXPECT_EQ(out.result, FlashResult::kWriteFailed);
  EXPECT_EQ(out.failed_address, 1024u);
  EXPECT_EQ(out.bytes, 1024u);
  EXPECT_EQ(rig.ui.memo.back(), "MSG014");
  EXPECT_EQ(DataSizes().size(), 2u);  // no retry, nothing after the failed packet
  EXPECT_TRUE(rig.printer.WithCode(0xF2).empty());
  EXPECT_EQ(rig.usb.opens, rig.usb.closes);
  EXPECT_EQ(serial_closes, 1);
}

TEST_F(NewUpdateTest, WrongChecksumReportsVerificationFailure) {
  rig.printer.corrupt_boot_data = true;
  EXPECT_EQ(Run(Pattern(1500)).result, FlashResult::kChecksumFailed);
  EXPECT_EQ(rig.ui.memo.back(), "MSG015");
  EXPECT_FALSE(rig.printer.boot_verified);
}

TEST_F(NewUpdateTest, CancelStopsBetweenPacketsAndClosesLink) {
  rig.ui.cancel_after_progress = 2;  // position 0, then one packet
  const FlashOutcome out = Run(Pattern(4096));
  EXPECT_EQ(out.result, FlashResult::kCancelled);
  EXPECT_EQ(DataSizes().size(), 1u);
  EXPECT_EQ(rig.usb.opens, rig.usb.closes);
}

// Files that must be refused before anything reaches the printer.
TEST_F(NewUpdateTest, RefusedFilesSendNothing) {
  struct Case {
    const char* what;
    std::function<std::string(TempFile&)> path;
    FlashResult result;
  };
  TempFile empty(Bytes{});
  TempFile too_big(Bytes(kFirmwareImageMax + 1, 0x11));
  TempFile ok(Bytes{1});
  const Case cases[] = {
      {"label shows no file", [](TempFile&) { return std::string("MSG030"); },
       FlashResult::kNoFile},
      {"empty path", [](TempFile&) { return std::string(); }, FlashResult::kNoFile},
      {"missing", [](TempFile& f) { return f.path() + ".gone"; }, FlashResult::kFileMissing},
      {"directory", [](TempFile& f) { return f.folder().string(); }, FlashResult::kFileUnreadable},
      {"empty file", [&](TempFile&) { return empty.path(); }, FlashResult::kFileEmpty},
      {"too large", [&](TempFile&) { return too_big.path(); }, FlashResult::kFileTooLarge},
  };
  for (const Case& c : cases) {
    rig.messages.boxes.clear();
    FirmwareJob job;
    job.path = c.path(ok);
    int closes = 0;
    job.serial.Close = [&] { ++closes; };
    EXPECT_EQ(NewUpdate(rig.ctx, rig.ui, job).result, c.result) << c.what;
    EXPECT_EQ(OldUpdate(rig.ctx, rig.ui, job).result, c.result) << c.what;
    ASSERT_EQ(rig.messages.boxes.size(), 2u) << c.what;
    EXPECT_EQ(rig.messages.boxes[0].kind, kMsgPlain);
    EXPECT_NE(rig.messages.boxes[0].text, "ERROR");
    EXPECT_EQ(closes, 0) << c.what;
  }
  EXPECT_NE(rig.messages.boxes[0].text.find("too large"), std::string::npos);
  EXPECT_TRUE(rig.usb.writes.empty());
  EXPECT_EQ(rig.usb.opens, 0);
}

TEST_F(NewUpdateTest, LargestImageFitsTheBuffer) {
  EXPECT_EQ(Run(Pattern(kFirmwareImageMax)).result, FlashResult::kOk);
  EXPECT_EQ(DataSizes().size(), 257u);
  EXPECT_EQ(DataSizes().back(), 1u);
}

TEST_F(NewUpdateTest, NoPrinterAndBusyLinkSendNothing) {
  TempFile file(Pattern(10));
  FirmwareJob job;
  job.path = file.path();
  {
    PrinterLink::BusyScope other(rig.link);
    EXPECT_EQ(NewUpdate(rig.ctx, rig.ui, job).result, FlashResult::kBusy);
    EXPECT_EQ(EnterFlashingMode(rig.ctx), FlashResult::kBusy);
  }
  rig.usb.paths.clear();
  rig.link.FindPrinter();
  EXPECT_EQ(NewUpdate(rig.ctx, rig.ui, job).result, FlashResult::kNoPrinter);
  EXPECT_EQ(OldUpdate(rig.ctx, rig.ui, job).result, FlashResult::kNoPrinter);
  EXPECT_EQ(rig.messages.boxes.back().text, "MSG003");
  EXPECT_TRUE(rig.usb.writes.empty());
}

// A serial port whose printer answers every framed command at once.
class AnsweringPort final : public CommPort {
 public:
  explicit AnsweringPort(PrinterLink& link) : link_(link) {}
  bool WriteCommData(const uint8_t* data, uint16_t size) override {
    if (!open) return false;
    written.emplace_back(data, data + size);
    const Bytes reply = MakeFrame(data[0], data[1], 0, Bytes{1});
    link_.cm_spcommReceiveData(reply.data(), static_cast<uint16_t>(reply.size()));
    return true;
  }
  void SetReadIntervalTimeout(uint32_t) override {}
  bool IsOpen() const override { return open; }
  bool open = false;
  std::vector<Bytes> written;

 private:
  PrinterLink& link_;
};

TEST(NewUpdateSerial, NeedsNoUsbPrinterAndClosesThePort) {
  FlashRig rig;
  rig.usb.paths.clear();
  rig.link.FindPrinter();
  AnsweringPort port(rig.link);
  rig.link.SetCommPort(&port);
  rig.link.SetUseCommPort(true);
  TempFile file(Pattern(2049));
  FirmwareJob job;
  job.path = file.path();
  int restarts = 0;
  job.serial.Restart = [&](std::string&) {
    ++restarts;
    port.open = true;
    return true;
  };
  job.serial.Close = [&] { port.open = false; };

  EXPECT_EQ(NewUpdate(rig.ctx, rig.ui, job).result, FlashResult::kOk);
  EXPECT_EQ(restarts, 1);
  EXPECT_EQ(rig.presence_checks, 0);
  EXPECT_FALSE(port.open);
  EXPECT_EQ(port.written.size(), 5u);  // erase, 3 data packets, checksum
  EXPECT_TRUE(rig.usb.writes.empty());

  // A port that cannot be opened: its error in an error box, nothing sent.
  port.written.clear();
  job.serial.Restart = [](std::string& error) {
    error = "port busy";
    return false;
  };
  EXPECT_EQ(NewUpdate(rig.ctx, rig.ui, job).result, FlashResult::kSerialPortFailed);
  ASSERT_FALSE(rig.messages.boxes.empty());
  EXPECT_EQ(rig.messages.boxes.back().kind, kMsgError);
  EXPECT_EQ(rig.messages.boxes.back().text, "port busy");
  EXPECT_TRUE(port.written.empty());
}

class OldUpdateTest : public ::testing::Test {
 protected:
  FlashOutcome Run(const Bytes& image) {
    TempFile file(image);
    FirmwareJob job;
    job.path = file.path();
    return OldUpdate(rig.ctx, rig.ui, job);
  }
  FlashRig rig;
};

TEST_F(OldUpdateTest, HeaderThenWholeImageAndConfirmation) {
  rig.printer.old_status = 0xAA;
  const FlashOutcome out = Run(Bytes{1, 2, 3});
  EXPECT_EQ(out.result, FlashResult::kOk);
  ASSERT_EQ(rig.usb.writes.size(), 2u);
  EXPECT_EQ(rig.usb.writes[0], (Bytes{0x1B, 0x23, 0x23, 0x55, 0x50, 0x50, 0x47, 0x06, 0x00, 0x00,
                                      0x00, 0x03, 0x00, 0x00, 0x00}));
  EXPECT_EQ(rig.usb.writes[1], (Bytes{1, 2, 3}));
  EXPECT_EQ(rig.ui.memo[0], "MSG0063");
  EXPECT_EQ(rig.ui.memo[1], "MSG007");
  EXPECT_EQ(rig.ui.memo[2], "MSG008");
  EXPECT_EQ(rig.ui.memo[3], "MSG009");
  ASSERT_EQ(rig.messages.boxes.size(), 1u);
  EXPECT_EQ(rig.messages.boxes[0].text, "MSG009");
  EXPECT_EQ(rig.usb.opens, rig.usb.closes);
  EXPECT_EQ(rig.ui.progress_calls, 0);
}

TEST_F(OldUpdateTest, HeaderChecksumMatchesNewerProtocol) {
  rig.printer.old_status = 0xAA;
  const Bytes image = Pattern(70000);
  ASSERT_EQ(Run(image).result, FlashResult::kOk);
  EXPECT_EQ(GetLE32(rig.usb.writes[0].data() + 7), ImageChecksum(image.data(), image.size()));
  EXPECT_EQ(GetLE32(rig.usb.writes[0].data() + 11), 70000u);
  EXPECT_EQ(rig.usb.writes[1], image);  // one raw write
}

// The image write failing (the printer never took it) is not "no confirmation": the printer
// sits in its boot loader and the user must run the update again; no reply is waited for.
TEST_F(OldUpdateTest, ImageNotDeliveredSaysToRunItAgain) {
  rig.printer.old_status = 0xAA;
  rig.usb.accept_writes = 1;  // the header goes out, the image does not
  const uint32_t before = rig.clock.NowMs();
  EXPECT_EQ(Run(Pattern(4096)).result, FlashResult::kNotDelivered);
  EXPECT_LT(rig.clock.NowMs() - before, kOldReplyWaitMs);
  EXPECT_EQ(rig.usb.hold_off_ms, kOldReplyWaitMs);  // the write may wait as long as the reply
  // The failure as always (memo and plain box), then the line about the boot loader.
  ASSERT_GE(rig.ui.memo.size(), 2u);
  EXPECT_EQ(rig.ui.memo[rig.ui.memo.size() - 2], "MSG010");
  EXPECT_NE(rig.ui.memo.back().find("still in its boot loader"), std::string::npos);
  ASSERT_EQ(rig.messages.boxes.size(), 1u);
  EXPECT_EQ(rig.messages.boxes.back().text, "MSG010");
  EXPECT_EQ(rig.messages.boxes.back().kind, kMsgPlain);
  EXPECT_EQ(rig.usb.opens, rig.usb.closes);
}

TEST_F(OldUpdateTest, SilenceOrOtherByteIsFailure) {
  const uint32_t before = rig.clock.NowMs();
  EXPECT_EQ(Run(Bytes{1, 2, 3}).result, FlashResult::kNoConfirmation);
  EXPECT_GE(rig.clock.NowMs() - before, kOldReplyWaitMs);
  EXPECT_EQ(rig.ui.memo.back(), "MSG010");
  EXPECT_EQ(rig.messages.boxes.back().text, "MSG010");

  rig.printer.old_status = 0x55;
  rig.printer.raw_writes.clear();
  EXPECT_EQ(Run(Bytes{1, 2, 3}).result, FlashResult::kNoConfirmation);
  EXPECT_EQ(rig.usb.opens, rig.usb.closes);
}

TEST(MaintenanceCommands, ConfirmOrWarn) {
  FlashRig rig;
  EXPECT_EQ(EnterFlashingMode(rig.ctx), FlashResult::kOk);
  EXPECT_EQ(rig.usb.writes.back(), (Bytes{0x10, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x10}));
  EXPECT_EQ(rig.messages.boxes.back().kind, kMsgInfo);
  EXPECT_EQ(rig.messages.boxes.back().text, "MSG028");

  EXPECT_EQ(FlashUnlock(rig.ctx), FlashResult::kOk);
  EXPECT_EQ(rig.usb.writes.back(), (Bytes{0x04, 0xF3, 0x01, 0x00, 0x01, 0x00, 0x00, 0xF9}));

  rig.printer.fault = [](const Received&, int) { return Answer::kBadChecksum; };
  EXPECT_EQ(FlashUnlock(rig.ctx), FlashResult::kCommandFailed);
  EXPECT_EQ(rig.messages.boxes.back().kind, kMsgWarning);
  EXPECT_EQ(rig.messages.boxes.back().text, "MSG017");
  EXPECT_EQ(EnterFlashingMode(rig.ctx), FlashResult::kCommandFailed);
  EXPECT_EQ(rig.usb.opens, rig.usb.closes);
}

TEST(FlashExchangeLog, PacketsAppearInTheDailyLog) {
  FlashRig rig;
  TempFile file(Bytes{1, 2, 3});
  ExchangeLog log(file.folder().string() + "/");
  log.switches.TXD_ONOFF = 1;
  log.switches.RXD_ONOFF = 1;
  rig.link.set_log(&log);
  FirmwareJob job;
  job.path = file.path();
  ASSERT_EQ(NewUpdate(rig.ctx, rig.ui, job).result, FlashResult::kOk);

  std::ifstream in(log.DailyFileName());
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("TXD\t04 F0 01 00 04 00 03 00 00 00 FC "), std::string::npos) << text;
  EXPECT_NE(text.find("TXD\t04 F1 01 00 03 00 01 02 03 "), std::string::npos);
  EXPECT_NE(text.find("RXD\t04 F2 "), std::string::npos);
}

TEST(TransferSummaryText, BytesTimeAndRate) {
  EXPECT_EQ(TransferSummary(262144, 4100), "262144 bytes in 4.1 s (62.4 KiB/s)");
  EXPECT_EQ(TransferSummary(5, 0), "5 bytes in 0.0 s");
  EXPECT_EQ(TransferSummary(1024, 250), "1024 bytes in 0.250 s (4.0 KiB/s)");
}

}  // namespace
}  // namespace quillon::testing

namespace quillon::testing {
namespace {

// Images whose size is no multiple of the 1024-byte packet: the last packet is short, not
// padded, the progress reaches the size before the checksum command, the summary counts all.
TEST_F(NewUpdateTest, SizesThatDoNotDivideEndWithAShortPacketAndAFullCount) {
  for (const uint32_t size : {1u, 1023u, 1025u, 2049u, 3000u}) {
    SCOPED_TRACE(std::to_string(size) + " bytes");
    rig.printer.commands.clear();
    rig.usb.writes.clear();
    rig.ui.writes_when_full = -1;
    const Bytes image = Pattern(size, size);
    const FlashOutcome out = Run(image);
    ASSERT_EQ(out.result, FlashResult::kOk);
    std::vector<size_t> sizes;
    for (uint32_t at = 0; at < size; at += 1024) sizes.push_back(std::min(1024u, size - at));
    EXPECT_EQ(DataSizes(), sizes);
    const Received& last = *rig.printer.WithCode(0xF1).back();
    EXPECT_EQ(GetLE16(last.raw.data() + 4), sizes.back());
    EXPECT_EQ(rig.printer.boot_image, image);
    EXPECT_TRUE(rig.printer.boot_verified);
    EXPECT_EQ(rig.ui.progress, size);
    // Erase, the data packets, and only then the checksum command.
    EXPECT_EQ(rig.ui.writes_when_full, static_cast<int>(1 + sizes.size()));
    EXPECT_EQ(out.bytes, size);
    EXPECT_EQ(rig.ui.memo.back().rfind(std::to_string(size) + " bytes in ", 0), 0u)
        << rig.ui.memo.back();
  }
}

}  // namespace
}  // namespace quillon::testing
