// The serial port's place in the program: stored settings, link wiring, the dialog's OK.
#include "link/serial/serial_path.h"

#include <cctype>
#include <limits>

namespace quillon {

void ConfigureMainWindowPort(TComm& comm) {
  comm.SetCommName("COM3");
  comm.SetBaudRate(115200);
  comm.SetParityCheck(false);
  comm.SetOutx_CtsFlow(false);
  comm.SetOutx_DsrFlow(false);
  comm.SetDtrControl(TDtrControl::DtrEnable);
  comm.SetDsrSensitivity(false);
  comm.SetTxContinueOnXoff(false);
  comm.SetOutx_XonXoffFlow(false);
  comm.SetInx_XonXoffFlow(true);
  comm.SetReplaceWhenParityError(false);
  comm.SetIgnoreNullChar(false);
  comm.SetRtsControl(TRtsControl::RtsEnable);
  comm.SetXonLimit(500);
  comm.SetXoffLimit(500);
  comm.SetByteSize(TByteSize::_8);
  comm.SetParity(TParity::None);
  comm.SetStopBits(TStopBits::_1);
  comm.SetXonChar(17);
  comm.SetXoffChar(19);
  comm.SetReplacedChar(0);
  comm.SetReadIntervalTimeout(100);
  comm.SetReadTotalTimeoutMultiplier(0);
  comm.SetReadTotalTimeoutConstant(0);
  comm.SetWriteTotalTimeoutMultiplier(0);
  comm.SetWriteTotalTimeoutConstant(0);
}

void AttachSerialPort(PrinterLink& link, TComm& comm) {
  link.SetCommPort(&comm);
  comm.OnReceiveData = [&link](TComm&, const uint8_t* buffer, uint16_t length) {
    link.cm_spcommReceiveData(buffer, length);
  };
  // The line went away (device unplugged, the other side closed): close the port, so the
  // wait in progress ends and the presence check says so instead of every command waiting
  // out its time-out on a dead line. The request may have been queued by a port since
  // closed and opened again: only a line that is hung up now is closed.
  comm.OnRequestHangup = [](TComm& sender) { sender.CloseIfHungUp(); };
}

bool TextToInt(const std::string& text, int32_t& value, std::string& error) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t magnitude = 0;
  const size_t first_digit = i;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > int64_t{std::numeric_limits<int32_t>::max()} + 1) break;
  }
  const int64_t signed_value = negative ? -magnitude : magnitude;
  if (i == first_digit || i != text.size() || signed_value > std::numeric_limits<int32_t>::max() ||
      signed_value < std::numeric_limits<int32_t>::min()) {
    error = "'" + text + "' is not a valid integer value";
    return false;
  }
  value = static_cast<int32_t>(signed_value);
  return true;
}

bool PortConnected(TComm& comm) {
  if (comm.CommName().find("rfcomm") == std::string::npos) return true;
  return (comm.GetModemState() & (MS_RLSD_ON | MS_DSR_ON | MS_CTS_ON)) != 0;
}

std::string WaitPortConnected(TComm& comm, MessagePump& pump, Clock& clock, uint32_t timeout_ms,
                              const PortConnectedCheck& connected) {
  const uint32_t start = clock.NowMs();
  while (!connected(comm)) {
    if (ElapsedMs(start, clock.NowMs()) >= timeout_ms || pump.stop().Requested()) {
      return "the Bluetooth printer on " + CommDevicePath(comm.CommName()) +
             " did not connect within " + std::to_string((timeout_ms + 999) / 1000) + " s";
    }
    pump.ProcessMessages(kReadSliceMs);
  }
  return "";
}

std::string ApplySerialChoice(PrinterLink& link, TComm& comm, const std::string& name,
                              const std::string& baud_text, bool use, uint32_t connect_timeout_ms,
                              const PortConnectedCheck& connected) {
  comm.SetCommName(name);
  int32_t baud = 0;
  std::string error;
  if (!TextToInt(baud_text, baud, error)) return error;
  // A rate of 0 or below would hang the line up or wrap to a nonsense rate.
  if (baud <= 0) return "'" + baud_text + "' is not a valid baud rate";
  comm.SetBaudRate(static_cast<uint32_t>(baud));
  if (!use) {
    link.SetUseCommPort(false);
    return "";
  }
  comm.StopCommDelivered([&link] { return link.StopRequested(); });
  try {
    comm.StartComm();
  } catch (const ECommsError& e) {
    link.SetUseCommPort(false);
    return e.what();
  }
  const std::string not_connected =
      WaitPortConnected(comm, link.pump(), link.clock(), connect_timeout_ms, connected);
  if (!not_connected.empty()) {
    comm.StopComm();
    link.SetUseCommPort(false);
    return not_connected;
  }
  link.SetUseCommPort(true);
  return "";
}

bool SerialLinkReady(const PrinterLink& link) {
  return link.UseCommPort() && link.cm_spcomm() != nullptr && link.cm_spcomm()->IsOpen();
}

}  // namespace quillon
