// Font library download: sector erases with retries (or one whole-flash erase), then
// write packets with retries, each acknowledged before the next is sent.
#include "flash/font_download.h"

#include <cctype>

#include "core/message_text.h"
#include "core/platform.h"
#include "link/precise_pause.h"
#include "protocol/esc_cmd.h"
#include "session/printer_command.h"

namespace quillon {
namespace {

std::tm LocalNow() {
  return LocalTime(std::time(nullptr));
}

std::string TimeText(const FontJob& job) {
  const std::tm tm = job.local_time ? job.local_time() : LocalNow();
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

FlashOutcome Outcome(FlashResult result) {
  FlashOutcome out;
  out.result = result;
  return out;
}

}  // namespace

std::optional<uint32_t> ParsePackSize(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  if (begin == end || end - begin > 9) return std::nullopt;
  uint32_t value = 0;
  for (size_t i = begin; i < end; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    value = value * 10 + static_cast<uint32_t>(text[i] - '0');
  }
  if (value == 0 || value > kMaxFlashWriteData) return std::nullopt;
  return value;
}

FlashOutcome FontDownload(AppContext& ctx, FlowUi& ui, const FontJob& job) {
  Messages& m = ui.messages();
  PrinterLink& link = ctx.link;
  EscCmd& esc = ctx.esc;
  if (RefuseWhenBusy(ctx, m)) return Outcome(FlashResult::kBusy);
  if (!PresenceCheck(ctx, m)) return Outcome(FlashResult::kNoPrinter);
  PrinterLink::BusyScope busy(link, BusyWhat(m, msgkey::kBusyFont));

  if (job.path.empty() || job.path == m.Text("MSG030")) {
    m.MSGDLG(kMsgPlain, "", m.Text("MSG019"));
    return Outcome(FlashResult::kNoFile);
  }
  FileRead file = ReadFlashFile(job.path, kFontFileMax, m);
  if (file.result != FlashResult::kOk) {
    m.MSGDLG(kMsgPlain, "", file.problem);
    return Outcome(file.result);
  }
  // Checked before the erase, so a typing slip cannot leave the font flash erased.
  const std::optional<uint32_t> max_pack = ParsePackSize(job.packsize_text);
  if (!max_pack) {
    m.MSGDLG(kMsgPlain, "",
             TextOr(m, "FLASH_BAD_PACKSIZE", "The packet size must be a whole number from 1 to") +
                 " " + std::to_string(kMaxFlashWriteData) + ": \"" + job.packsize_text + "\"");
    return Outcome(FlashResult::kBadPackSize);
  }

  const std::vector<uint8_t>& data = file.bytes;
  const uint32_t size = static_cast<uint32_t>(data.size());
  ui.ClearMemo();
  ui.MemoLine("START:" + TimeText(job));
  ui.MemoLine(m.Text("MSG020") + std::to_string(size));
  ui.MemoLine(m.Text("MSG011"));

  FlashOutcome out;
  PrinterLink::UsbHold hold(link);  // the device stays claimed for the whole download
  FineTimerSlack slack;             // 3072 pauses of 1 ms: each must cost 1 ms, not 1.2
  const uint32_t start = link.clock().NowMs();
  auto finish = [&](FlashResult result) {
    out.result = result;
    out.elapsed_ms = ElapsedMs(start, link.clock().NowMs());
    link.SetWaitNote("");
    link.CloseUSB();
    if (result != FlashResult::kOk) {
      const std::string lost = LostLineNote(link, m);
      if (!lost.empty()) ui.MemoLine(lost);
    }
    return out;
  };
  auto cancelled = [&](uint32_t idx) {
    if (!StopAsked(link, ui)) return false;
    out.failed_address = idx;
    // What was erased or written so far is lost for the font library: the user must know
    // that the printer's fonts are broken until the download is run again.
    ui.MemoLine(FillFields(TextOr(m, "FONT_STOPPED",
                                  "Stopped by the user at address {address}. The font library "
                                  "in the printer is now incomplete; download it again to "
                                  "complete it."),
                           {{"address", std::to_string(idx)}}));
    return true;
  };
  auto pause = [&](uint32_t idx) {
    ui.SetProgress(idx);
    link.pump().ProcessMessages(0);
    Delay(link.clock(), link.pump(), kFlashStepPauseMs);
  };

  ui.SetPhase("erase");
  ui.SetProgressMax(size);
  ui.SetProgress(0);
  if (job.erase_all) {
    link.SetWaitNote("erase of the whole flash, up to 120 s");
    if (!esc.cmd_flash_erase(0, 0)) {
      if (cancelled(0)) return finish(FlashResult::kCancelled);
      ui.MemoLine(m.Text("MSG012"));
      return finish(FlashResult::kEraseFailed);
    }
    ui.SetProgress(size);
  } else {
    for (uint32_t idx = 0; idx < size;) {
      if (cancelled(idx)) return finish(FlashResult::kCancelled);
      const uint32_t step = idx + kFlashSector < size ? kFlashSector : size - idx;
      int attempt = 0;
      auto note = [&] {
        link.SetWaitNote("erase at " + std::to_string(idx) + ", attempt " +
                         std::to_string(attempt + 1) + " of " + std::to_string(kEraseAttempts) +
                         ", up to 120 s each");
      };
      note();
      while (!esc.cmd_flash_erase(idx, 1)) {
        if (cancelled(idx)) return finish(FlashResult::kCancelled);
        if (++attempt == kEraseAttempts || PrinterGone(link)) {
          out.failed_address = idx;
          ui.MemoLine(m.Text("MSG012"));
          return finish(FlashResult::kEraseFailed);
        }
        note();
      }
      idx += step;
      pause(idx);
    }
  }

  ui.MemoLine(m.Text("MSG013"));
  ui.SetPhase("write");
  ui.SetProgressMax(size);
  ui.SetProgress(0);
  link.SetWaitNote("");
  for (uint32_t idx = 0; idx < size;) {
    if (cancelled(idx)) return finish(FlashResult::kCancelled);
    const uint32_t pack = idx + *max_pack < size ? *max_pack : size - idx;
    for (int attempt = 1; !esc.cmd_flash_write(idx, pack, data.data() + idx); ++attempt) {
      if (cancelled(idx)) return finish(FlashResult::kCancelled);
      if (attempt == kWriteAttempts || PrinterGone(link)) {
        out.failed_address = idx;
        ui.MemoLine(m.Text("MSG021") + std::to_string(idx));
        return finish(FlashResult::kWriteFailed);
      }
      ui.MemoLine(m.Text("MSG021") + std::to_string(idx) + m.Text("MSG022") +
                  std::to_string(attempt) + m.Text("MSG023"));
    }
    idx += pack;
    out.bytes = idx;
    pause(idx);
  }

  finish(FlashResult::kOk);
  ui.MemoLine(m.Text("MSG024"));
  ui.MemoLine("END:" + TimeText(job));
  ui.MemoLine(TransferSummary(m, out));
  return out;
}

}  // namespace quillon
