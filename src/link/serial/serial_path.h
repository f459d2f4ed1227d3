// How the program uses its serial port: the main window's stored port settings, the
// wiring of the port into the printer link, and applying the choice made in the serial
// settings dialog.
#pragma once

#include <cstdint>
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

// OK of the serial settings dialog, in this order: the port name is stored; the baud
// text is converted and stored (applied at once when the port is open); then, with use
// set, the port is stopped and started again with that name and rate and UseCommPort is
// set only if it opened; without use, UseCommPort is cleared and the port left alone.
// Returns "" on success, else the text to show: the conversion error (nothing after the
// name changed) or the open error (UseCommPort left false).
std::string ApplySerialChoice(PrinterLink& link, TComm& comm, const std::string& name,
                              const std::string& baud_text, bool use);

// The presence check while the serial port is the link: true when it is open.
bool SerialLinkReady(const PrinterLink& link);

}  // namespace quillon
