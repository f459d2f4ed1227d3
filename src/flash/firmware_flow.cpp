// Firmware update flows: the newer boot-loader protocol, the older one-piece protocol,
// and the enter-flashing-mode and flash-unlock commands.
#include "flash/firmware_flow.h"

#include <cstring>
#include <span>

#include "flash/flash_serial.h"
#include "link/precise_pause.h"
#include "session/printer_command.h"

namespace quillon {
namespace {

// The checks both protocols run before anything is sent: a file chosen, present, readable,
// not empty and small enough for the image buffer.
FlashResult LoadFirmware(const FirmwareJob& job, Messages& m, std::vector<uint8_t>& image) {
  const std::string& path = job.path;
  if (job.image) {  // read before (and checked) by the caller
    image = *job.image;
    return FlashResult::kOk;
  }
  if (path.empty() || path == m.Text("MSG030")) {
    m.MSGDLG(kMsgPlain, "", m.Text("MSG004"));
    return FlashResult::kNoFile;
  }
  FileRead file = ReadFlashFile(path, kFirmwareImageMax, m);
  if (file.result == FlashResult::kOk && file.bytes.empty()) {
    file.result = FlashResult::kFileEmpty;
    file.problem = TextOr(m, "FLASH_FIRMWARE_EMPTY", "The firmware file is empty:") + " " + path;
  }
  if (file.result != FlashResult::kOk) {
    m.MSGDLG(kMsgPlain, "", file.problem);
    return file.result;
  }
  image = std::move(file.bytes);
  return FlashResult::kOk;
}

FlashOutcome Outcome(FlashResult result) {
  FlashOutcome out;
  out.result = result;
  return out;
}

// Closes the link, and the serial port when the run reopened it, on every way out.
class CloseAtEnd {
 public:
  CloseAtEnd(PrinterLink& link, const SerialPortControl* serial) : link_(link), serial_(serial) {}
  ~CloseAtEnd() {
    link_.CloseUSB();
    if (serial_ && serial_->Close) serial_->Close();
  }
  CloseAtEnd(const CloseAtEnd&) = delete;
  CloseAtEnd& operator=(const CloseAtEnd&) = delete;

 private:
  PrinterLink& link_;
  const SerialPortControl* serial_;
};

FlashResult ConfirmCommand(AppContext& ctx, bool accepted) {
  Messages& m = ctx.messages;
  if (accepted) {
    m.MSGDLG(kMsgInfo, "", m.Text("MSG028"));
    return FlashResult::kOk;
  }
  m.MSGDLG(kMsgWarning, "", m.Text("MSG017"));
  return FlashResult::kCommandFailed;
}

}  // namespace

std::array<uint8_t, 15> OldUpdateHeader(uint32_t crc, uint32_t size) {
  std::array<uint8_t, 15> h{0x1B, 0x23, '#', 'U', 'P', 'P', 'G'};
  PutLE32(h.data() + 7, crc);
  PutLE32(h.data() + 11, size);
  return h;
}

FlashOutcome NewUpdate(AppContext& ctx, FlowUi& ui, const FirmwareJob& job) {
  Messages& m = ui.messages();
  PrinterLink& link = ctx.link;
  if (RefuseWhenBusy(ctx, m)) return Outcome(FlashResult::kBusy);
  const SerialPortControl serial =
      job.serial.Restart || job.serial.Close ? job.serial : SerialControlFor(link);

  // Over the serial link the port is reopened and no USB printer is needed.
  if (link.UseCommPort()) {
    std::string error;
    if (serial.Restart && !serial.Restart(error)) {
      m.MSGDLG(kMsgError, "", error);
      return Outcome(FlashResult::kSerialPortFailed);
    }
  } else if (!PresenceCheck(ctx, m)) {
    return Outcome(FlashResult::kNoPrinter);
  }
  PrinterLink::BusyScope busy(link, BusyWhat(m, msgkey::kBusyFirmware));
  std::vector<uint8_t> image;
  if (FlashResult r = LoadFirmware(job, m, image); r != FlashResult::kOk) return Outcome(r);

  CloseAtEnd close(link, &serial);
  const uint32_t size = static_cast<uint32_t>(image.size());
  const uint32_t crc = ImageChecksum(image.data(), image.size());
  PrinterLink::UsbHold hold(link);  // the device stays claimed for the whole update
  FineTimerSlack slack;             // a 10 ms pause after every packet, and no more
  ui.ClearMemo();
  ui.MemoLine(m.Text("MSG006") + std::to_string(size));
  ui.MemoLine(m.Text("MSG011"));

  FlashOutcome out;
  const uint32_t start = link.clock().NowMs();
  auto finish = [&](FlashResult result, const std::string& line) {
    out.result = result;
    out.elapsed_ms = ElapsedMs(start, link.clock().NowMs());
    link.SetWaitNote("");
    ui.MemoLine(line);
    if (out.ok()) ui.MemoLine(TransferSummary(m, out));
    const std::string lost = out.ok() ? "" : LostLineNote(link, m);
    if (!lost.empty()) ui.MemoLine(lost);
    return out;
  };
  // Stopped once the erase has begun: the old firmware may be gone already.
  auto stopped = [&](uint32_t idx) {
    out.failed_address = idx;
    return finish(FlashResult::kCancelled,
                  TextOr(m, "FIRMWARE_STOPPED",
                         "Stopped by the user. The printer is left in its boot loader without "
                         "a complete firmware: run the update again to recover.") +
                      " (offset " + std::to_string(idx) + ")");
  };

  uint32_t erase_size = size;
  link.SetWaitNote("firmware erase, up to 10 s");
  if (!ctx.esc.cmd_boot_update_erase(erase_size)) {
    if (StopAsked(link, ui)) return stopped(0);
    return finish(FlashResult::kEraseFailed, m.Text("MSG012"));
  }
  ui.MemoLine(m.Text("MSG013"));
  ui.SetProgressMax(size);
  ui.SetProgress(0);

  for (uint32_t idx = 0; idx < size;) {
    if (StopAsked(link, ui)) return stopped(idx);
    const uint16_t pack =
        idx + kBootPacketSize < size ? kBootPacketSize : static_cast<uint16_t>(size - idx);
    link.SetWaitNote("acknowledgement of the data at offset " + std::to_string(idx) +
                     ", up to 5 s");
    if (!ctx.esc.cmd_boot_update_data(pack, image.data() + idx)) {
      if (StopAsked(link, ui)) return stopped(idx);
      out.failed_address = idx;
      return finish(FlashResult::kWriteFailed, m.Text("MSG014"));
    }
    Delay(link.clock(), link.pump(), kBootPacketPauseMs);
    idx += pack;
    out.bytes = idx;
    ui.SetProgress(idx);
    link.pump().ProcessMessages(0);
  }

  link.SetWaitNote("checksum verification, up to 5 s");
  if (!ctx.esc.cmd_boot_update_checkcrc(crc)) {
    if (StopAsked(link, ui)) return stopped(size);
    return finish(FlashResult::kChecksumFailed, m.Text("MSG015"));
  }
  return finish(FlashResult::kOk, m.Text("MSG016"));
}

FlashOutcome OldUpdate(AppContext& ctx, FlowUi& ui, const FirmwareJob& job) {
  Messages& m = ui.messages();
  PrinterLink& link = ctx.link;
  if (RefuseWhenBusy(ctx, m)) return Outcome(FlashResult::kBusy);
  if (!PresenceCheck(ctx, m)) return Outcome(FlashResult::kNoPrinter);
  PrinterLink::BusyScope busy(link, BusyWhat(m, msgkey::kBusyFirmware));
  std::vector<uint8_t> image;
  if (FlashResult r = LoadFirmware(job, m, image); r != FlashResult::kOk) return Outcome(r);

  const uint32_t size = static_cast<uint32_t>(image.size());
  ui.ClearMemo();
  ui.MemoLine(m.Text("MSG006") + std::to_string(size));
  const auto header = OldUpdateHeader(ImageChecksum(image.data(), image.size()), size);

  FlashOutcome out;
  uint8_t status[1] = {0};  // stays 0 when the printer says nothing: a failure
  bool delivered = false;
  {
    CloseAtEnd close(link, nullptr);
    PrinterLink::UsbHold hold(link);
    ui.MemoLine(m.Text("MSG007"));
    ui.MemoLine(m.Text("MSG008"));
    const uint32_t start = link.clock().NowMs();
    link.SendAndRecv(header.data(), static_cast<int32_t>(header.size()), {}, 0, 0);
    link.SetWaitNote("the printer's status byte, up to " +
                     std::to_string(job.old_reply_wait_ms / 1000) + " s");
    link.SendAndRecv(image.data(), static_cast<int32_t>(size), std::span<uint8_t>(status), 1,
                     job.old_reply_wait_ms);
    link.SetWaitNote("");
    delivered = link.last_write_ok();
    // The exchange returns with the printer's one answer (or at its time-out), so this is
    // the time to the answer, flashing included: no transfer rate can be read from it.
    out.elapsed_ms = ElapsedMs(start, link.clock().NowMs());
    out.answered_once = true;
  }
  if (status[0] != kOldUpdateOk && StopAsked(link, ui)) {
    out.result = FlashResult::kCancelled;
    ui.MemoLine(TextOr(m, "FIRMWARE_STOPPED",
                       "Stopped by the user. The printer is left in its boot loader without a "
                       "complete firmware: run the update again to recover."));
    return out;
  }
  if (!delivered) {
    // A failed update like any other, and the printer has taken the header and waits in its
    // boot loader for an image it never got whole: the memo says it must be run again.
    out.result = FlashResult::kNotDelivered;
    ui.MemoLine(m.Text("MSG010"));
    ui.MemoLine(TextOr(m, "FLASH_OLD_NOT_DELIVERED",
                       "The image was not delivered; the printer is still in its boot loader: "
                       "run the update again."));
    m.MSGDLG(kMsgPlain, "", m.Text("MSG010"));
    return out;
  }
  if (status[0] != kOldUpdateOk) {
    out.result = FlashResult::kNoConfirmation;
    ui.MemoLine(m.Text("MSG010"));
    m.MSGDLG(kMsgPlain, "", m.Text("MSG010"));
    return out;
  }
  out.bytes = size;
  ui.MemoLine(m.Text("MSG009"));
  ui.MemoLine(TransferSummary(m, out));
  m.MSGDLG(kMsgPlain, "", m.Text("MSG009"));
  return out;
}

FlashResult EnterFlashingMode(AppContext& ctx) {
  if (RefuseWhenBusy(ctx, ctx.messages)) return FlashResult::kBusy;
  if (!PresenceCheck(ctx, ctx.messages)) return FlashResult::kNoPrinter;
  PrinterLink::BusyScope busy(ctx.link, BusyWhat(ctx.messages, msgkey::kBusyCommand));
  return ConfirmCommand(ctx, ctx.esc.cmd_enter_updatemode(1));
}

FlashResult FlashUnlock(AppContext& ctx) {
  if (RefuseWhenBusy(ctx, ctx.messages)) return FlashResult::kBusy;
  if (!PresenceCheck(ctx, ctx.messages)) return FlashResult::kNoPrinter;
  PrinterLink::BusyScope busy(ctx.link, BusyWhat(ctx.messages, msgkey::kBusyCommand));
  uint8_t unlocked = 0;
  return ConfirmCommand(ctx, ctx.esc.cmd_boot_flash_lock(1, unlocked));
}

}  // namespace quillon
