// The serial port's line-setting types, its line settings record and the bit values that
// its events carry.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace quillon {

// Ordinals are part of the component's interface: they are what the settings store.
enum class TParity : uint8_t { None, Odd, Even, Mark, Space };
enum class TStopBits : uint8_t { _1, _1_5, _2 };
enum class TByteSize : uint8_t { _5, _6, _7, _8 };  // data bits = ordinal + 5
enum class TDtrControl : uint8_t {
  DtrEnable,     // DTR on while the port is open
  DtrDisable,    // DTR off
  DtrHandshake,  // DTR handshake (no Linux counterpart: DTR is kept on)
};
enum class TRtsControl : uint8_t {
  RtsEnable,                 // RTS on while the port is open
  RtsDisable,                // RTS off
  RtsHandshake,              // RTS/CTS hardware handshake
  RtsTransmissionAvailable,  // RTS raised only while sending (no Linux counterpart: kept on)
};

// Bits of OnModemStateChange.
inline constexpr uint32_t ME_CTS = 1;   // declared for completeness, never produced
inline constexpr uint32_t ME_DSR = 2;   // declared for completeness, never produced
inline constexpr uint32_t ME_RING = 4;  // the ring indicator fired
inline constexpr uint32_t ME_RLSD = 8;  // carrier detect changed

// Line-error flags of OnReceiveError (the values serial drivers have traditionally used).
inline constexpr uint32_t CE_RXOVER = 0x0001;    // the driver's input buffer overflowed
inline constexpr uint32_t CE_OVERRUN = 0x0002;   // the UART lost a byte (hardware overrun)
inline constexpr uint32_t CE_RXPARITY = 0x0004;  // parity error
inline constexpr uint32_t CE_FRAME = 0x0008;     // framing error
inline constexpr uint32_t CE_BREAK = 0x0010;     // break received

// Bits of GetModemState: the modem input lines that are on.
inline constexpr uint32_t MS_CTS_ON = 0x0010;
inline constexpr uint32_t MS_DSR_ON = 0x0020;
inline constexpr uint32_t MS_RING_ON = 0x0040;
inline constexpr uint32_t MS_RLSD_ON = 0x0080;

// Everything that line settings are made from; defaults are the component's.
struct LineSettings {
  uint32_t BaudRate = 9600;
  bool ParityCheck = false;
  bool Outx_CtsFlow = false;
  bool Outx_DsrFlow = false;
  TDtrControl DtrControl = TDtrControl::DtrEnable;
  bool DsrSensitivity = false;
  bool TxContinueOnXoff = true;
  bool Outx_XonXoffFlow = true;
  bool Inx_XonXoffFlow = true;
  bool ReplaceWhenParityError = false;
  bool IgnoreNullChar = false;
  TRtsControl RtsControl = TRtsControl::RtsEnable;
  uint16_t XonLimit = 500;
  uint16_t XoffLimit = 500;
  TByteSize ByteSize = TByteSize::_8;
  TParity Parity = TParity::None;
  TStopBits StopBits = TStopBits::_1;
  uint8_t XonChar = 17;   // DC1
  uint8_t XoffChar = 19;  // DC3
  uint8_t ReplacedChar = 0;
};

inline constexpr size_t INPUTBUFFERSIZE = 4096;  // most bytes one received block holds

// The read time-outs (milliseconds), handed to the read worker at once when set while open.
struct ReadTimeouts {
  std::atomic<uint32_t> interval{100};
  std::atomic<uint32_t> total_multiplier{0};
  std::atomic<uint32_t> total_constant{0};
};

}  // namespace quillon
