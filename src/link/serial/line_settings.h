// Line settings of the serial port as termios: the encoding (a pure function, tested on
// the structure it builds) and its application to an open port.
#pragma once

#include "link/serial/comm_types.h"
#include "link/serial/serial_io.h"

struct termios2;  // <asm/termbits.h>; kept out of this header (it clashes with <termios.h>)
struct _DCB;      // Windows: the device control block of <windows.h>

namespace quillon {

// Rewrites t, as read from the port, for s: raw mode, rate (a standard Bnnn code, else
// BOTHER with the exact rate; rate 0 keeps the current rate rather than hanging up), data
// bits, parity (mark and space through CMSPAR), stop bits (1.5 becomes 2), CRTSCTS, IXON,
// IXOFF and the XON/XOFF characters. Settings without a termios counterpart (DSR flow,
// XON/XOFF limits, parity replacement, null stripping) are kept only as values.
void EncodeLineSettings(const LineSettings& s, termios2& t);

// Windows: rewrites the device control block d, as read from the port, for s. Every flag
// is set from the settings (binary mode always on, abort on error off); the EOF and event
// characters keep their values.
void EncodeLineSettings(const LineSettings& s, _DCB& d);

// The TIOCM_ lines to raise and to drop for the DTR and RTS settings.
struct ModemLineLevels {
  int set = 0;
  int clear = 0;
};
ModemLineLevels DtrRtsLevels(const LineSettings& s);

// Reads the port's settings, encodes s into them and writes them back, then sets DTR and
// RTS. Whatever the driver refuses is left as it was, silently.
void ApplyLineSettings(NativeHandle fd, const LineSettings& s, SerialLineIo& io);

}  // namespace quillon
