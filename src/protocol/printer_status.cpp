#include "protocol/printer_status.h"

#include <span>
#include <vector>

#include "protocol/printer_exchange.h"

namespace quillon {
namespace {

constexpr uint8_t kDle = 0x10;
constexpr uint8_t kEot = 0x04;

bool Has(uint8_t byte, uint8_t bits) {
  return (byte & bits) == bits;
}

}  // namespace

std::array<uint8_t, 3> StatusRequest(uint8_t n) {
  return {kDle, kEot, n};
}

bool PrinterStatus::complete() const {
  for (const auto& r : reply) {
    if (!r) return false;
  }
  return true;
}

bool PrinterStatus::ready() const {
  return NotReadyReason().empty();
}

std::string PrinterStatus::NotReadyReason() const {
  if (!complete()) return "no status reply";
  std::vector<const char*> why;
  if (cover_open) why.push_back("cover open");
  if (paper_out) why.push_back("paper out");
  if (stopped_by_paper_out) why.push_back("printing stopped by paper out");
  if (unrecoverable_error) why.push_back("unrecoverable error");
  if (cutter_error) why.push_back("cutter error");
  if (auto_recoverable_error) why.push_back("auto-recoverable error");
  if (recoverable_error) why.push_back("recoverable error");
  // The general error bit and offline without a named cause still stop the printer.
  if (why.empty() && error) why.push_back("error");
  if (why.empty() && offline) why.push_back("offline");
  std::string text;
  for (const char* w : why) text += (text.empty() ? "" : ", ") + std::string(w);
  return text;
}

std::string PrinterStatus::Summary() const {
  std::string text = ready() ? "ready" : "not ready: " + NotReadyReason();
  if (complete() && paper_near_end) text += " (paper near end)";
  return text;
}

PrinterStatus DecodeStatus(const std::array<std::optional<uint8_t>, 4>& replies) {
  using namespace status_bit;
  PrinterStatus s;
  for (size_t i = 0; i < replies.size(); ++i) {
    if (replies[i] && (*replies[i] & kFixedMask) == kFixedValue) s.reply[i] = replies[i];
  }
  if (const auto b = s.reply[0]) {
    s.offline = Has(*b, kOffline);
    s.drawer_pin3 = Has(*b, kDrawerPin3);
  }
  if (const auto b = s.reply[1]) {
    s.cover_open = Has(*b, kCoverOpen);
    s.feed_button = Has(*b, kFeedButton);
    s.stopped_by_paper_out = Has(*b, kStoppedPaperOut);
    s.error = Has(*b, kError);
  }
  if (const auto b = s.reply[2]) {
    s.recoverable_error = Has(*b, kRecoverable);
    s.cutter_error = Has(*b, kCutter);
    s.unrecoverable_error = Has(*b, kUnrecoverable);
    s.auto_recoverable_error = Has(*b, kAutoRecoverable);
  }
  if (const auto b = s.reply[3]) {
    // Printers set both bits of a pair; either one alone is taken as set.
    s.paper_near_end = (*b & kNearEnd) != 0;
    s.paper_out = (*b & kPaperOut) != 0;
  }
  return s;
}

PrinterStatus QueryPrinterStatus(PrinterExchange& link) {
  std::array<std::optional<uint8_t>, 4> replies;
  link.OpenUsb();
  for (uint8_t n = 1; n <= 4; ++n) {
    const auto request = StatusRequest(n);
    uint8_t byte = 0;
    // Exactly one byte is awaited, so the wait ends as soon as it is in.
    if (link.SendAndRecv(request.data(), static_cast<int32_t>(request.size()),
                         std::span<uint8_t>(&byte, 1), 1, kStatusReplyWaitMs,
                         ReplyEnd::kCount) != 1) {
      break;  // a late byte would pass for the answer to the next request
    }
    replies[n - 1] = byte;
  }
  link.CloseUSB();
  return DecodeStatus(replies);
}

}  // namespace quillon
