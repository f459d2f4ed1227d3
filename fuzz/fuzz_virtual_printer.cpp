// Arbitrary host bytes, in arbitrary pieces, fed to the virtual printer: nothing may be
// read or written out of bounds, and every reply it queues must be a well-formed frame
// (or the one status byte of the older firmware protocol).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "protocol/frame.h"
#include "protocol/printer_status.h"
#include "virtualprinter/virtual_printer.h"

namespace {

class FuzzClock final : public quillon::Clock {
 public:
  uint32_t NowMs() override { return 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // One printer for the whole run (its 8 MiB flash is costly to build); each input starts
  // on a fresh connection and a fresh roll, the stored state carries over.
  static FuzzClock clock;
  static quillon::vp::VirtualPrinter printer(
      quillon::vp::VirtualPrinter::Options{.factory_font = {}, .load_factory_font = false}, clock);
  printer.Plug();
  printer.ResetInput();
  printer.ClearPaper();
  // ESC/POS answers (status, printer ID, graphics) are bytes of their own shapes: they are
  // collected apart, so that everything else must be frames or status bytes.
  std::vector<uint8_t> escpos_replies;
  printer.WithRenderer([&](quillon::vp::EscPosRenderer& r) {
    r.Reset();
    r.ClearReport();
    r.reply = [&](std::vector<uint8_t> bytes) {
      if (bytes.empty() || bytes.size() > 65536) std::abort();
      escpos_replies.insert(escpos_replies.end(), bytes.begin(), bytes.end());
    };
  });
  // The first byte sets the size of the pieces the rest arrives in.
  const size_t piece = 1 + data[0] % 64;
  std::vector<uint8_t> replies;
  uint8_t buf[4096];
  for (size_t pos = 1; pos < size; pos += piece) {
    const size_t n = std::min(piece, size - pos);
    printer.Receive(data + pos, n);
    for (size_t got; (got = printer.TakeReply(buf, sizeof buf)) > 0;) {
      replies.insert(replies.end(), buf, buf + got);
    }
  }
  size_t at = 0;
  while (at < replies.size()) {
    // One-byte answers outside the framing: the older update's status, and real-time status
    // bytes (their fixed bits never start a frame).
    const uint8_t b = replies[at];
    const bool status_byte =
        (b & quillon::status_bit::kFixedMask) == quillon::status_bit::kFixedValue;
    if (b == quillon::vp::kOldUpdateOk || b == quillon::vp::kOldUpdateFailed || status_byte) {
      ++at;
      continue;
    }
    auto frame = quillon::ParseFrame(std::span<const uint8_t>(replies).subspan(at));
    if (!frame || !frame->checksum_ok) std::abort();
    at += frame->length;
  }
  std::string error;
  printer.SavePng("/dev/null", error);
  printer.SaveReport("/dev/null", error);
  printer.WithRenderer([](quillon::vp::EscPosRenderer& r) { r.reply = nullptr; });
  return 0;
}
