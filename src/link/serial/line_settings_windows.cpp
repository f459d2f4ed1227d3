// Encoding of the serial line settings into the Windows device control block and their
// application to a port.
#include "link/serial/windows_serial.h"

#include "link/serial/line_settings.h"

namespace quillon {

void EncodeLineSettings(const LineSettings& s, DCB& d) {
  d.BaudRate = s.BaudRate;
  // The whole flag word is replaced: every field below, and the reserved bits cleared.
  d.fBinary = 1;
  d.fParity = s.ParityCheck;
  d.fOutxCtsFlow = s.Outx_CtsFlow;
  d.fOutxDsrFlow = s.Outx_DsrFlow;
  switch (s.DtrControl) {
    case TDtrControl::DtrEnable:
      d.fDtrControl = DTR_CONTROL_ENABLE;
      break;
    case TDtrControl::DtrHandshake:
      d.fDtrControl = DTR_CONTROL_HANDSHAKE;
      break;
    case TDtrControl::DtrDisable:
      d.fDtrControl = DTR_CONTROL_DISABLE;
      break;
  }
  d.fDsrSensitivity = s.DsrSensitivity;
  d.fTXContinueOnXoff = s.TxContinueOnXoff;
  d.fOutX = s.Outx_XonXoffFlow;
  d.fInX = s.Inx_XonXoffFlow;
  d.fErrorChar = s.ReplaceWhenParityError;
  d.fNull = s.IgnoreNullChar;
  switch (s.RtsControl) {
    case TRtsControl::RtsEnable:
      d.fRtsControl = RTS_CONTROL_ENABLE;
      break;
    case TRtsControl::RtsHandshake:
      d.fRtsControl = RTS_CONTROL_HANDSHAKE;
      break;
    case TRtsControl::RtsTransmissionAvailable:
      d.fRtsControl = RTS_CONTROL_TOGGLE;
      break;
    case TRtsControl::RtsDisable:
      d.fRtsControl = RTS_CONTROL_DISABLE;
      break;
  }
  d.fAbortOnError = 0;
  d.fDummy2 = 0;
  d.XonLim = s.XonLimit;
  d.XoffLim = s.XoffLimit;
  d.ByteSize = static_cast<BYTE>(static_cast<int>(s.ByteSize) + 5);
  d.Parity = static_cast<BYTE>(s.Parity);
  d.StopBits = static_cast<BYTE>(s.StopBits);
  d.XonChar = static_cast<char>(s.XonChar);
  d.XoffChar = static_cast<char>(s.XoffChar);
  d.ErrorChar = static_cast<char>(s.ReplacedChar);
}

ModemLineLevels DtrRtsLevels(const LineSettings&) {
  return {};  // the control block sets DTR and RTS itself
}

void ApplyLineSettings(NativeHandle port, const LineSettings& s, SerialLineIo&) {
  DCB d = {};
  d.DCBlength = sizeof d;
  if (!GetCommState(port, &d)) return;
  EncodeLineSettings(s, d);
  (void)SetCommState(port, &d);  // a rate or combination the driver refuses is left alone
}

}  // namespace quillon
