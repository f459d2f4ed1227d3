// Shared pieces of the firmware and font flows: summary line, own texts, file reading.
#include "flash/flash_common.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "link/tcp_link.h"
#include "session/printer_command.h"

namespace quillon {

std::string TransferSummary(uint64_t bytes, uint32_t elapsed_ms) {
  char line[128];
  const double seconds = elapsed_ms / 1000.0;
  if (elapsed_ms == 0) {
    std::snprintf(line, sizeof line, "%llu bytes in 0.0 s", static_cast<unsigned long long>(bytes));
  } else {
    // Short transfers keep their milliseconds instead of showing "0.0 s".
    std::snprintf(line, sizeof line,
                  elapsed_ms < 1000 ? "%llu bytes in %.3f s (%.1f KiB/s)"
                                    : "%llu bytes in %.1f s (%.1f KiB/s)",
                  static_cast<unsigned long long>(bytes), seconds,
                  static_cast<double>(bytes) / 1024.0 / seconds);
  }
  return line;
}

std::string TransferSummary(Messages& messages, const FlashOutcome& outcome) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, outcome.elapsed_ms < 1000 ? "%.3f" : "%.1f",
                outcome.seconds());
  const std::string bytes = std::to_string(outcome.bytes);
  if (outcome.answered_once) {
    return FillFields(TextOr(messages, msgkey::kOldTransfer,
                             "{bytes} bytes sent; the printer answered after {seconds} s"),
                      {{"bytes", bytes}, {"seconds", seconds}});
  }
  if (outcome.elapsed_ms == 0) {
    return FillFields(TextOr(messages, msgkey::kTransferNoRate, "{bytes} bytes in {seconds} s"),
                      {{"bytes", bytes}, {"seconds", "0.0"}});
  }
  char rate[32];
  std::snprintf(rate, sizeof rate, "%.1f",
                static_cast<double>(outcome.bytes) / 1024.0 / outcome.seconds());
  return FillFields(
      TextOr(messages, msgkey::kTransfer, "{bytes} bytes in {seconds} s ({rate} KiB/s)"),
      {{"bytes", bytes}, {"seconds", seconds}, {"rate", rate}});
}

FileRead ReadFlashFile(const std::string& path, uint64_t max_size, Messages& messages) {
  FileRead read;
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path file = fs::u8path(path);
  if (path.empty() || !fs::exists(file, ec)) {
    read.result = FlashResult::kFileMissing;
    read.problem = messages.Text("MSG005");
    return read;
  }
  const bool regular = fs::is_regular_file(file, ec);
  const uintmax_t size = regular ? fs::file_size(file, ec) : 0;
  if (!regular || ec) {
    read.result = FlashResult::kFileUnreadable;
    read.problem = TextOr(messages, "FLASH_FILE_UNREADABLE", "The file could not be read:") + " " +
                   path + (ec ? " (" + ec.message() + ")" : " (not a regular file)");
    return read;
  }
  if (size > max_size) {
    read.result = FlashResult::kFileTooLarge;
    read.problem = FillFields(
        TextOr(messages, msgkey::kFileTooLarge,
               "The file is too large: {path} ({size} bytes, at most {max})"),
        {{"path", path}, {"size", std::to_string(size)}, {"max", std::to_string(max_size)}});
    return read;
  }
  std::ifstream in(file, std::ios::binary);
  if (in) {
    read.bytes.resize(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(read.bytes.data()), static_cast<std::streamsize>(size));
  }
  // A file that shrank or vanished while being read is as unusable as an unreadable one.
  if (!in || in.gcount() != static_cast<std::streamsize>(size)) {
    const int err = errno;
    read.bytes.clear();
    read.result = FlashResult::kFileUnreadable;
    read.problem = TextOr(messages, "FLASH_FILE_UNREADABLE", "The file could not be read:") + " " +
                   path + (err ? std::string(" (") + std::strerror(err) + ")" : "");
  }
  return read;
}

bool PresenceCheck(AppContext& ctx, Messages& messages) {
  if (ctx.ShowUSBMessage) return ctx.ShowUSBMessage();
  if (ctx.link.USB().isFindPrint) return true;
  messages.MSGDLG(kMsgPlain, "", messages.Text("MSG003"));
  return false;
}

bool RefuseWhenBusy(AppContext& ctx, Messages& messages) {
  if (!ctx.link.Busy()) return false;
  if (ctx.StatusNote) {
    ctx.StatusNote(BusyNote(messages, ctx.link));
  } else {
    messages.MSGDLG(kMsgWarning, "", BusyNote(messages, ctx.link));
  }
  return true;
}

uint32_t ImageChecksum(const uint8_t* data, size_t size) {
  uint32_t sum = 0;
  for (size_t i = 0; i < size; ++i) sum += data[i];
  return sum;
}

bool PrinterGone(const PrinterLink& link) {
  return link.PrinterGone();
}

bool StopAsked(PrinterLink& link, FlowUi& ui) {
  return link.StopRequested() || ui.Cancelled();
}

std::string LostLineNote(const PrinterLink& link, Messages& messages) {
  if (!link.SerialLineLost()) return "";
  return TextOr(messages, "SERIAL_LINE_LOST",
                "The serial line was lost (the port hung up): check the cable or the Bluetooth "
                "link, then start again.");
}

}  // namespace quillon
