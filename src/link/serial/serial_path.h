// How the program uses its serial port: the main window's stored port settings, the
// wiring of the port into the printer link, and applying the choice made in the serial
// settings dialog.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "link/printer_link.h"
#include "link/serial/tcomm.h"

namespace quillon {

// The main window's values: "COM3", 115200 baud, 8N1, DTR and RTS on, no hardware flow
// control, XON/XOFF on input only (limits 500), read interval 100 ms, total time-outs 0.
void ConfigureMainWindowPort(TComm& comm);

// Makes comm the link's serial port and hands its received bytes to the link's CommBuf;
// a hang-up of the line closes the port.
void AttachSerialPort(PrinterLink& link, TComm& comm);

// The runtime's whole-number conversion of a text (leading blanks, an optional sign,
// decimal digits, 32-bit range). On failure returns false and sets error to
// "'<text>' is not a valid integer value".
bool TextToInt(const std::string& text, int32_t& value, std::string& error);

// Whether the line behind an open port is connected. A Bluetooth serial port (rfcomm)
// opens at once and connects afterwards: it is connected once the printer's side shows
// its modem lines (carrier, DSR or CTS). Every other port is connected when open.
using PortConnectedCheck = std::function<bool(TComm&)>;
bool PortConnected(TComm& comm);
inline constexpr uint32_t kSerialConnectTimeoutMs = 10000;

// Waits, pumping, until connected says so, at most timeout_ms or until a stop request.
// Returns "" or the text to show ("the Bluetooth printer on /dev/rfcomm0 did not connect
// within 10 s").
std::string WaitPortConnected(TComm& comm, MessagePump& pump, Clock& clock, uint32_t timeout_ms,
                              const PortConnectedCheck& connected = PortConnected);

// OK of the serial settings dialog, in this order: the port name is stored; the baud
// text is converted and stored (applied at once when the port is open); then, with use
// set, the port is stopped and started again with that name and rate and UseCommPort is
// set only if it opened (and, for a Bluetooth port, connected within connect_timeout_ms);
// without use, UseCommPort is cleared and the port left alone. What was handed to the
// port before is delivered before it is stopped. Returns "" on success, else the text to
// show: the conversion error (nothing after the name changed), the open error or the
// connect error (UseCommPort left false, the port closed).
std::string ApplySerialChoice(PrinterLink& link, TComm& comm, const std::string& name,
                              const std::string& baud_text, bool use,
                              uint32_t connect_timeout_ms = kSerialConnectTimeoutMs,
                              const PortConnectedCheck& connected = PortConnected);

// The presence check while the serial port is the link: true when it is open.
bool SerialLinkReady(const PrinterLink& link);

}  // namespace quillon
