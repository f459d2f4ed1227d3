// Real-time status of the printer: the four DLE EOT requests, the decode of their one-byte
// replies, and the query that asks them over the link in use (USB, serial port or network).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace quillon {

class PrinterExchange;

// Each request is answered by one byte, outside the packet framing, within this time.
inline constexpr uint32_t kStatusReplyWaitMs = 500;

// Bits of the four reply bytes. Every reply has bits 1 and 4 set and bits 0 and 7 clear;
// a byte without that pattern is not a status reply.
namespace status_bit {
inline constexpr uint8_t kFixedMask = 0x93;
inline constexpr uint8_t kFixedValue = 0x12;
// DLE EOT 1, printer status.
inline constexpr uint8_t kDrawerPin3 = 0x04;  // drawer kick-out connector pin 3 high
inline constexpr uint8_t kOffline = 0x08;
// DLE EOT 2, offline cause.
inline constexpr uint8_t kCoverOpen = 0x04;
inline constexpr uint8_t kFeedButton = 0x08;       // paper being fed by the feed button
inline constexpr uint8_t kStoppedPaperOut = 0x20;  // printing stopped by paper out
inline constexpr uint8_t kError = 0x40;
// DLE EOT 3, error cause.
inline constexpr uint8_t kRecoverable = 0x04;
inline constexpr uint8_t kCutter = 0x08;
inline constexpr uint8_t kUnrecoverable = 0x20;
inline constexpr uint8_t kAutoRecoverable = 0x40;
// DLE EOT 4, paper roll sensor: both bits of a pair are set together.
inline constexpr uint8_t kNearEnd = 0x0C;
inline constexpr uint8_t kPaperOut = 0x60;
}  // namespace status_bit

// The three bytes of request n (1 to 4): DLE EOT n.
std::array<uint8_t, 3> StatusRequest(uint8_t n);

struct PrinterStatus {
  // The reply to request i + 1, when a byte with the fixed bits arrived.
  std::array<std::optional<uint8_t>, 4> reply;
  bool offline = false;
  bool drawer_pin3 = false;
  bool cover_open = false;
  bool feed_button = false;
  bool paper_near_end = false;
  bool paper_out = false;
  bool stopped_by_paper_out = false;
  bool error = false;
  bool recoverable_error = false;
  bool unrecoverable_error = false;
  bool auto_recoverable_error = false;
  bool cutter_error = false;

  // Every request was answered.
  bool complete() const;
  // Answered, online, cover closed, paper in and no error (paper near its end still prints).
  bool ready() const;
  // Why the printer is not ready, e.g. "cover open, paper out"; empty when ready.
  std::string NotReadyReason() const;
  // One line for people: "ready" or "not ready: ...", with a paper-low note.
  std::string Summary() const;
};

// Decodes the replies to requests 1 to 4 (nullopt where none came). A byte without the
// fixed bits counts as no reply and its flags are not read.
PrinterStatus DecodeStatus(const std::array<std::optional<uint8_t>, 4>& replies);

// Sends the four requests, one at a time, each waiting for exactly one byte; stops at the
// first request left unanswered. Opens and closes the link around them (one connection on
// the network).
PrinterStatus QueryPrinterStatus(PrinterExchange& link);

}  // namespace quillon
