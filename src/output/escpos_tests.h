// The fixed ESC/POS sequences of the print test page's buttons, and the raw send that
// every test output uses.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace quillon {

class PrinterLink;

struct EscPosTest {
  std::string_view button;   // control name, e.g. "btn28"
  std::string_view caption;  // the button's caption
  std::span<const uint8_t> bytes;
};

// The fifteen test buttons in page order (btn26 ... btn40).
std::span<const EscPosTest> EscPosTests();
// The test of one button, or nullptr for a name that is not one of them.
const EscPosTest* FindEscPosTest(std::string_view button);

// Writes bytes to the printer in one piece, awaiting no reply: OpenUsb, SendAndRecv with
// no reply buffer, reply length 0 and time-out 0, CloseUSB. Also a zero-byte write.
// Returns whether the link took every byte (callers that report success look at it).
bool SendRawBytes(PrinterLink& link, std::span<const uint8_t> bytes);

}  // namespace quillon
