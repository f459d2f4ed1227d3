// What the firmware and font flows share: their result, the figures they hand back to the
// page or the CLI, the serial port seam, and the file reading with its clear refusals.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/flow_ui.h"
#include "core/message_text.h"
#include "core/messages.h"
#include "session/app_context.h"

namespace quillon {

enum class FlashResult {
  kOk,                // every packet acknowledged (and, for firmware, the image verified)
  kBusy,              // another printer command or flow was running; nothing sent
  kNoPrinter,         // the presence check failed; nothing sent
  kSerialPortFailed,  // the serial port could not be reopened; nothing sent
  kNoFile,            // the file label still says "no file loaded"; nothing sent
  kFileMissing,       // no file at that path; nothing sent
  kFileUnreadable,    // the file exists but could not be read; nothing sent
  kFileEmpty,         // the firmware file holds no byte; nothing sent
  kFileTooLarge,      // larger than the image buffer (firmware) or 32-bit addresses (font)
  kBadPackSize,       // the packet size text is not a usable number; nothing sent
  kEraseFailed,       // the printer did not acknowledge an erase
  kWriteFailed,       // a data packet was not acknowledged (after its retries)
  kChecksumFailed,    // the boot loader did not confirm the image checksum
  kNoConfirmation,    // older protocol: no 0xAA status byte came back
  kNotDelivered,      // older protocol: the image could not be written to the printer whole
  kCommandFailed,     // enter-flashing-mode or flash-unlock not acknowledged
  kCancelled,         // the user stopped the flow between two packets
};

// What a flow hands back besides the memo lines.
struct FlashOutcome {
  FlashResult result = FlashResult::kOk;
  uint64_t bytes = 0;           // data bytes acknowledged by the printer
  uint32_t elapsed_ms = 0;      // from the first command of the transfer to its last reply
  uint32_t failed_address = 0;  // offset of the packet or sector that failed
  // Older protocol: the image goes as one write and the printer answers once, after
  // flashing; the time says when it answered and gives no transfer rate.
  bool answered_once = false;
  bool ok() const { return result == FlashResult::kOk; }
  double seconds() const { return elapsed_ms / 1000.0; }
};

// The serial port component as the newer firmware flow needs it: it reopens the port before
// a run over the serial link and closes it after every run. Empty functions do nothing.
struct SerialPortControl {
  // StopComm then StartComm; false with the component's error text when it cannot open.
  std::function<bool(std::string& error)> Restart;
  // StopComm.
  std::function<void()> Close;
};

// "262144 bytes in 4.1 s (62.4 KiB/s)"; the rate is left out when no time was measured.
std::string TransferSummary(uint64_t bytes, uint32_t elapsed_ms);
// The same line in the message file's language; for the older protocol
// (outcome.answered_once) "... bytes sent, the printer answered after ... s", no rate.
std::string TransferSummary(Messages& messages, const FlashOutcome& outcome);

// Reads a whole file for a flow. On failure returns the result to report and fills
// `problem` with a sentence for the user; max_size refuses larger files before reading.
struct FileRead {
  FlashResult result = FlashResult::kOk;
  std::vector<uint8_t> bytes;
  std::string problem;
};
FileRead ReadFlashFile(const std::string& path, uint64_t max_size, Messages& messages);

// ShowUSBMessage(0) of the context; without one, the link's presence flag and MSG003.
bool PresenceCheck(AppContext& ctx, Messages& messages);
// True (after telling the user, in the status bar when there is one) when another printer
// command or flow holds the link: waits pump messages, so a second click could otherwise
// start a second flow.
bool RefuseWhenBusy(AppContext& ctx, Messages& messages);

// True when the link has lost its printer: the USB device reported itself gone (the link
// dropped its handle) or the serial port is closed. Retrying a command then only waits out
// its time-out again, up to minutes for the erase retries.
bool PrinterGone(const PrinterLink& link);

// The user asked the running flow to stop: the page's Stop button or Esc, or SIGINT/SIGTERM
// in the CLI (the link's stop request), or the flow UI's own cancel.
bool StopAsked(PrinterLink& link, FlowUi& ui);
// The memo line that says the serial line was lost (the port hung up), "" otherwise.
std::string LostLineNote(const PrinterLink& link, Messages& messages);

// Sum of all bytes taken as unsigned, modulo 2^32 (the boot loader's image checksum).
uint32_t ImageChecksum(const uint8_t* data, size_t size);

}  // namespace quillon
