// The virtual printer's engine: takes the host's byte stream, answers the framed commands
// as a printer does, keeps the printer's state and prints raw output onto virtual paper.
// Transports (in-process USB device, pseudo-terminal) feed Receive and drain the replies.
// The engine puts its parts together behind one lock: the input's split
// (input_parser.h), the answers (answer.h), plugging and faults (fault_switch.h), the
// replies' timing (reply_queue.h) and the paper (escpos_renderer.h).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "link/clock.h"
#include "virtualprinter/answer.h"
#include "virtualprinter/escpos_renderer.h"
#include "virtualprinter/fault_switch.h"
#include "virtualprinter/faults.h"
#include "virtualprinter/input_parser.h"
#include "virtualprinter/paper.h"
#include "virtualprinter/printer_state.h"
#include "virtualprinter/reply_queue.h"
#include "virtualprinter/wire_frame.h"

namespace quillon::vp {

// Folder of the program + "sample_font.bin": the font library built with Quillon.
std::string DefaultSampleFontPath();

class VirtualPrinter {
 public:
  struct Options {
    // Font library put into the flash at factory state; empty = DefaultSampleFontPath().
    // A missing file leaves the flash erased.
    std::string factory_font;
    bool load_factory_font = true;
    int paper_width = 384;  // 384 or 576 dots
  };

  explicit VirtualPrinter(Clock& clock = SystemClock());
  VirtualPrinter(const Options& options, Clock& clock = SystemClock());
  VirtualPrinter(const VirtualPrinter&) = delete;
  VirtualPrinter& operator=(const VirtualPrinter&) = delete;

  // --- Input -------------------------------------------------------------------------
  // Consumes bytes from the host: framed packets are answered, everything else is raw
  // output. A frame or command cut short waits for the rest. Ignored while unplugged.
  void Receive(const uint8_t* data, size_t len);
  void Receive(std::span<const uint8_t> bytes) { Receive(bytes.data(), bytes.size()); }
  // Replies nobody read are discarded (a fresh open of the USB device starts with an
  // empty IN pipe). The input parser carries on, as a printer's does.
  void DiscardReplies();
  // Partial input, a raster band and an older-protocol image still being received are
  // abandoned, and unread replies discarded.
  void ResetInput();

  // --- Replies -----------------------------------------------------------------------
  // Copies reply bytes that are ready (up to cap) without waiting; returns their count.
  size_t TakeReply(uint8_t* buf, size_t cap);
  // Waits up to timeout_ms for reply bytes, blocking on a condition variable. Returns
  // their count, 0 when none came in time, -1 when the printer is unplugged.
  int WaitReply(uint8_t* buf, size_t cap, uint32_t timeout_ms);
  // Milliseconds until the next queued reply byte is ready: 0 ready now, -1 none queued.
  int64_t MsUntilReply();
  // Called (under the engine's lock, so it must be quick) whenever a reply is queued or
  // the printer is unplugged; the pseudo-terminal uses it to wake its thread.
  void SetReplyNotifier(std::function<void()> notify);
  // Tests with a fake clock: waits move time on through advance instead of blocking.
  void UseManualTime(std::function<void(uint32_t)> advance);

  // --- Presence ----------------------------------------------------------------------
  bool Plugged();
  void Unplug();
  // Back on the bus; the packet count of the faults starts again.
  void Plug();
  // The hang-up fault has struck: the transport closes its side of the line.
  bool HangUpDue();

  // --- Faults ------------------------------------------------------------------------
  void SetFaults(const Faults& faults);
  Faults faults();

  // --- State -------------------------------------------------------------------------
  // Runs fn on the state under the engine's lock (reads and edits from other threads).
  void WithState(const std::function<void(PrinterState&)>& fn);
  // Runs fn on the ESC/POS renderer under the engine's lock (its modes and report).
  void WithRenderer(const std::function<void(EscPosRenderer&)>& fn);
  // Writes the renderer's report (commands, unknown commands, symbols, text lines) as JSON.
  bool SaveReport(const std::string& path, std::string& error);
  // Direct access for single-threaded use (tests between exchanges, the program's setup).
  PrinterState& state() { return state_; }
  bool SaveState(const std::string& path, std::string& error);
  bool LoadState(const std::string& path, std::string& error);
  // Counts every change of the state, so a caller can save only when something changed.
  uint64_t state_version();
  // Puts a font library image into the flash (the rest erased).
  bool LoadFontImage(const std::string& path, std::string& error);

  // --- Paper -------------------------------------------------------------------------
  const Paper& paper() const { return paper_; }
  // Prints text still waiting for its line feed, then writes the paper as a PNG.
  bool SavePng(const std::string& path, std::string& error);
  void ClearPaper();
  // Puts in a roll of another width (384 or 576 dots); what was printed is discarded.
  void SetPaperWidth(int dots);

  // Packets answered or dropped since the last Plug(), and frames seen in all.
  uint32_t packets();
  // Whole packets refused because their checksum did not add up (never answered).
  uint32_t bad_checksums();

 private:
  // Acts on the piece at the start of in; the bytes used (0: wait for more).
  size_t StepLocked(std::span<const uint8_t> in);
  // Raw output (text and ESC/POS) goes to the renderer; the bytes it used. The place for
  // replies the renderer itself gives (status requests of ESC/POS) to be queued.
  size_t PrintRawLocked(std::span<const uint8_t> in);
  void HandlePacketLocked(const Packet& packet);
  // Queues a reply frame to request / bytes answered to code, as the faults shape them.
  void QueueFrameLocked(const Packet& request, const std::vector<uint8_t>& data);
  void QueueBytesLocked(std::vector<uint8_t> bytes, uint8_t code);
  void NotifyLocked();
  void Touch() { ++state_version_; }
  std::vector<std::string> TestPageLines() const;

  Clock& clock_;
  std::mutex mu_;
  std::condition_variable reply_cv_;
  std::function<void()> notify_;
  std::function<void(uint32_t)> advance_;

  PrinterState state_;
  uint64_t state_version_ = 0;
  Paper paper_;
  EscPosRenderer renderer_;
  FaultSwitch faults_;
  uint32_t frames_total_ = 0;
  uint32_t bad_checksums_ = 0;

  std::vector<uint8_t> in_;  // input not yet consumed
  uint64_t stream_at_ = 0;  // bytes of the host's stream consumed so far
  ReplyQueue replies_;
  BootLoad boot_;         // newer firmware protocol: the image the boot loader collects
  OldUpdate old_update_;  // older firmware protocol: the raw image after its header
};

}  // namespace quillon::vp
