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

namespace {

// One download once its file and packet size are known: the erase, the writes, and what
// every step shares (the outcome so far, the stop check, the pause between packets).
class Download {
 public:
  Download(AppContext& ctx, FlowUi& ui, const std::vector<uint8_t>& data, uint32_t max_pack)
      : link_(ctx.link),
        esc_(ctx.esc),
        ui_(ui),
        m_(ui.messages()),
        data_(data),
        size_(static_cast<uint32_t>(data.size())),
        max_pack_(max_pack) {}

  FlashOutcome Run(const FontJob& job) {
    PrinterLink::UsbHold hold(link_);  // the device stays claimed for the whole download
    FineTimerSlack slack;              // 3072 pauses of 1 ms: each must cost 1 ms, not 1.2
    start_ = link_.clock().NowMs();
    ui_.SetPhase("erase");
    ui_.SetProgressMax(size_);
    ui_.SetProgress(0);
    if (auto failed = job.erase_all ? EraseAll() : EraseSectors()) return Finish(*failed);
    if (auto failed = Write()) return Finish(*failed);
    Finish(FlashResult::kOk);
    ui_.MemoLine(m_.Text("MSG024"));
    ui_.MemoLine("END:" + TimeText(job));
    ui_.MemoLine(TransferSummary(m_, out_));
    return out_;
  }

 private:
  FlashOutcome Finish(FlashResult result) {
    out_.result = result;
    out_.elapsed_ms = ElapsedMs(start_, link_.clock().NowMs());
    link_.SetWaitNote("");
    link_.CloseUSB();
    if (result != FlashResult::kOk) {
      const std::string lost = LostLineNote(link_, m_);
      if (!lost.empty()) ui_.MemoLine(lost);
    }
    return out_;
  }

  bool Cancelled(uint32_t idx) {
    if (!StopAsked(link_, ui_)) return false;
    out_.failed_address = idx;
    // What was erased or written so far is lost for the font library: the user must know
    // that the printer's fonts are broken until the download is run again.
    ui_.MemoLine(FillFields(TextOr(m_, "FONT_STOPPED",
                                   "Stopped by the user at address {address}. The font library "
                                   "in the printer is now incomplete; download it again to "
                                   "complete it."),
                            {{"address", std::to_string(idx)}}));
    return true;
  }

  void Pause(uint32_t idx) {
    ui_.SetProgress(idx);
    link_.pump().ProcessMessages(0);
    Delay(link_.clock(), link_.pump(), kFlashStepPauseMs);
  }

  // Each step: nullopt when done, else how the download ended.
  std::optional<FlashResult> EraseAll() {
    link_.SetWaitNote("erase of the whole flash, up to 120 s");
    if (!esc_.cmd_flash_erase(0, 0)) {
      if (Cancelled(0)) return FlashResult::kCancelled;
      ui_.MemoLine(m_.Text("MSG012"));
      return FlashResult::kEraseFailed;
    }
    ui_.SetProgress(size_);
    return std::nullopt;
  }

  std::optional<FlashResult> EraseSectors() {
    for (uint32_t idx = 0; idx < size_;) {
      if (Cancelled(idx)) return FlashResult::kCancelled;
      const uint32_t step = idx + kFlashSector < size_ ? kFlashSector : size_ - idx;
      int attempt = 0;
      auto note = [&] {
        link_.SetWaitNote("erase at " + std::to_string(idx) + ", attempt " +
                          std::to_string(attempt + 1) + " of " + std::to_string(kEraseAttempts) +
                          ", up to 120 s each");
      };
      note();
      while (!esc_.cmd_flash_erase(idx, 1)) {
        if (Cancelled(idx)) return FlashResult::kCancelled;
        if (++attempt == kEraseAttempts || PrinterGone(link_)) {
          out_.failed_address = idx;
          ui_.MemoLine(m_.Text("MSG012"));
          return FlashResult::kEraseFailed;
        }
        note();
      }
      idx += step;
      Pause(idx);
    }
    return std::nullopt;
  }

  std::optional<FlashResult> Write() {
    ui_.MemoLine(m_.Text("MSG013"));
    ui_.SetPhase("write");
    ui_.SetProgressMax(size_);
    ui_.SetProgress(0);
    link_.SetWaitNote("");
    for (uint32_t idx = 0; idx < size_;) {
      if (Cancelled(idx)) return FlashResult::kCancelled;
      const uint32_t pack = idx + max_pack_ < size_ ? max_pack_ : size_ - idx;
      for (int attempt = 1; !esc_.cmd_flash_write(idx, pack, data_.data() + idx); ++attempt) {
        if (Cancelled(idx)) return FlashResult::kCancelled;
        if (attempt == kWriteAttempts || PrinterGone(link_)) {
          out_.failed_address = idx;
          ui_.MemoLine(m_.Text("MSG021") + std::to_string(idx));
          return FlashResult::kWriteFailed;
        }
        ui_.MemoLine(m_.Text("MSG021") + std::to_string(idx) + m_.Text("MSG022") +
                     std::to_string(attempt) + m_.Text("MSG023"));
      }
      idx += pack;
      out_.bytes = idx;
      Pause(idx);
    }
    return std::nullopt;
  }

  PrinterLink& link_;
  EscCmd& esc_;
  FlowUi& ui_;
  Messages& m_;
  const std::vector<uint8_t>& data_;
  const uint32_t size_;
  const uint32_t max_pack_;
  FlashOutcome out_;
  uint32_t start_ = 0;
};

}  // namespace

FlashOutcome FontDownload(AppContext& ctx, FlowUi& ui, const FontJob& job) {
  Messages& m = ui.messages();
  if (RefuseWhenBusy(ctx, m)) return Outcome(FlashResult::kBusy);
  if (!PresenceCheck(ctx, m)) return Outcome(FlashResult::kNoPrinter);
  PrinterLink::BusyScope busy(ctx.link, BusyWhat(m, msgkey::kBusyFont));

  if (!job.image && (job.path.empty() || job.path == m.Text("MSG030"))) {
    m.MSGDLG(kMsgPlain, "", m.Text("MSG019"));
    return Outcome(FlashResult::kNoFile);
  }
  FileRead file;
  if (job.image)
    file.bytes = *job.image;
  else
    file = ReadFlashFile(job.path, kFontFileMax, m);
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

  ui.ClearMemo();
  ui.MemoLine("START:" + TimeText(job));
  ui.MemoLine(m.Text("MSG020") + std::to_string(file.bytes.size()));
  ui.MemoLine(m.Text("MSG011"));
  return Download(ctx, ui, file.bytes, *max_pack).Run(job);
}

}  // namespace quillon
