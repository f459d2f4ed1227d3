// TComm: one serial port (a cable or a Bluetooth virtual port) with its read and write
// workers. Sending is queued; received bytes, line errors, modem changes, hang-up requests
// and a drained send queue reach the owner as events, on the owner's thread, through a
// Notifier that the owner drains while it processes its messages.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "link/comm_port.h"
#include "link/serial/comm_delivery.h"
#include "link/serial/comm_notifier.h"
#include "link/serial/comm_types.h"
#include "link/serial/native_handle.h"
#include "link/serial/serial_io.h"

namespace quillon {

// The workers and their close signal (comm_workers.h).
class TReadThread;
class TWriteThread;
class CloseSignal;

// The only failure the component raises (from StartComm); carries the text to show.
class ECommsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The texts of ECommsError.
inline constexpr const char* kCommAlreadyOpen = "此串口已经打开";
inline constexpr const char* kCommOpenFailed = "打开串口出错\r\n此串口不存在或被占用";
inline constexpr const char* kCommSetupFailed = "初始化缓冲区出错";
inline constexpr const char* kCommEventFailed = "无法创建事件";
inline constexpr const char* kCommReadThreadFailed = "无法创建读线程";
inline constexpr const char* kCommWriteThreadFailed = "无法创建写线程";

// Linux: "ttyUSB0" names /dev/ttyUSB0; a name with a '/' is a path and is used as it is.
// Windows: "COM3" names \\.\COM3; a name starting with \\ is a device path already.
std::string CommDevicePath(const std::string& name);

// The open error: the component's two fixed lines, then a third saying why the port at path
// could not be opened and, where there is one, what to do about it.
std::string CommOpenErrorText(PortOpenFailure why, const std::string& path,
                              const std::string& detail = "");

class TComm final : public CommPort {
 public:
  using TReceiveDataEvent =
      std::function<void(TComm& Sender, const uint8_t* Buffer, uint16_t BufferLength)>;
  using TReceiveErrorEvent = std::function<void(TComm& Sender, uint32_t EventMask)>;
  using TModemStateChangeEvent = std::function<void(TComm& Sender, uint32_t ModemEvent)>;
  using TSendDataEmptyEvent = std::function<void(TComm& Sender)>;
  using TNotifyEvent = std::function<void(TComm& Sender)>;

  // Nothing is opened. The notifier and io must outlive the component.
  explicit TComm(Notifier& notifier, SerialLineIo& io = SystemSerialLineIo());
  TComm(const TComm&) = delete;
  TComm& operator=(const TComm&) = delete;
  // Stops an open port first (the workers refer to the component) and drops the
  // component's undelivered notifications.
  ~TComm() override;

  // Opens CommName and starts both workers; raises ECommsError and stays closed on failure
  // (except "already open", which leaves the open port alone).
  void StartComm();
  // Stops both workers and closes the port; nothing when closed. Queued writes are dropped
  // (an abort: the driver's output is discarded too).
  void StopComm();
  // Waits until every block handed to WriteCommData has been written and the driver has
  // sent it, at most as long as the bytes still queued need at the line rate (start, data,
  // parity and stop bits of each byte) plus kDeliverySlackMs. stopped is asked before and
  // between short slices of both waits and gives up at once. Nothing to wait for while
  // closed.
  CommDelivery WaitDelivered(const std::function<bool()>& stopped = {});
  // WaitDelivered, then StopComm; the driver's output is discarded only when it could not
  // be delivered. Every close that is not an abort goes this way.
  CommDelivery StopCommDelivered(const std::function<bool()>& stopped = {});
  // After a worker's hang-up request: when the line behind the port has gone, closes the
  // port (nothing more can pass) and returns true.
  bool CloseIfHungUp();
  // The port was closed because its line hung up (until the next StartComm).
  bool LineLost() const override { return line_lost_; }
  // Queues a copy of the bytes for the write worker. False when closed, when size is 0 or
  // when the write worker has ended.
  bool WriteCommData(const uint8_t* pDataToWrite, uint16_t dwSizeofDataToWrite) override;
  // MS_ bits of the modem input lines; 0 when closed or when the driver does not say.
  uint32_t GetModemState();

  // The open port's descriptor or handle; kNoPort when closed.
  NativeHandle Handle() const { return hCommFile; }
  bool SendDataEmpty() const { return FSendDataEmpty.load(); }
  bool IsOpen() const override { return hCommFile != kNoPort; }

  // Owner's thread: handles one notification from a worker (the Notifier calls this).
  void CommWndProc(const CommMessage& message);

  // Properties. Setting a line property to a new value while open applies the line
  // settings at once; CommName and Parity are stored only (they act at the next open, or
  // for Parity the next time line settings are applied). Time-out setters hand the new
  // value to the read worker at once.
  const std::string& CommName() const { return FCommName; }
  void SetCommName(const std::string& value) { FCommName = value; }
  uint32_t BaudRate() const { return line_.BaudRate; }
  void SetBaudRate(uint32_t value) { SetLine(line_.BaudRate, value); }
  bool ParityCheck() const { return line_.ParityCheck; }
  void SetParityCheck(bool value) { SetLine(line_.ParityCheck, value); }
  bool Outx_CtsFlow() const { return line_.Outx_CtsFlow; }
  void SetOutx_CtsFlow(bool value) { SetLine(line_.Outx_CtsFlow, value); }
  bool Outx_DsrFlow() const { return line_.Outx_DsrFlow; }
  void SetOutx_DsrFlow(bool value) { SetLine(line_.Outx_DsrFlow, value); }
  TDtrControl DtrControl() const { return line_.DtrControl; }
  void SetDtrControl(TDtrControl value) { SetLine(line_.DtrControl, value); }
  bool DsrSensitivity() const { return line_.DsrSensitivity; }
  void SetDsrSensitivity(bool value) { SetLine(line_.DsrSensitivity, value); }
  bool TxContinueOnXoff() const { return line_.TxContinueOnXoff; }
  void SetTxContinueOnXoff(bool value) { SetLine(line_.TxContinueOnXoff, value); }
  bool Outx_XonXoffFlow() const { return line_.Outx_XonXoffFlow; }
  void SetOutx_XonXoffFlow(bool value) { SetLine(line_.Outx_XonXoffFlow, value); }
  bool Inx_XonXoffFlow() const { return line_.Inx_XonXoffFlow; }
  void SetInx_XonXoffFlow(bool value) { SetLine(line_.Inx_XonXoffFlow, value); }
  bool ReplaceWhenParityError() const { return line_.ReplaceWhenParityError; }
  void SetReplaceWhenParityError(bool value) { SetLine(line_.ReplaceWhenParityError, value); }
  bool IgnoreNullChar() const { return line_.IgnoreNullChar; }
  void SetIgnoreNullChar(bool value) { SetLine(line_.IgnoreNullChar, value); }
  TRtsControl RtsControl() const { return line_.RtsControl; }
  void SetRtsControl(TRtsControl value) { SetLine(line_.RtsControl, value); }
  uint16_t XonLimit() const { return line_.XonLimit; }
  void SetXonLimit(uint16_t value) { SetLine(line_.XonLimit, value); }
  uint16_t XoffLimit() const { return line_.XoffLimit; }
  void SetXoffLimit(uint16_t value) { SetLine(line_.XoffLimit, value); }
  TByteSize ByteSize() const { return line_.ByteSize; }
  void SetByteSize(TByteSize value) { SetLine(line_.ByteSize, value); }
  TParity Parity() const { return line_.Parity; }
  void SetParity(TParity value) { line_.Parity = value; }
  TStopBits StopBits() const { return line_.StopBits; }
  void SetStopBits(TStopBits value) { SetLine(line_.StopBits, value); }
  uint8_t XonChar() const { return line_.XonChar; }
  void SetXonChar(uint8_t value) { SetLine(line_.XonChar, value); }
  uint8_t XoffChar() const { return line_.XoffChar; }
  void SetXoffChar(uint8_t value) { SetLine(line_.XoffChar, value); }
  uint8_t ReplacedChar() const { return line_.ReplacedChar; }
  void SetReplacedChar(uint8_t value) { SetLine(line_.ReplacedChar, value); }

  uint32_t ReadIntervalTimeout() const { return FReadIntervalTimeout; }
  void SetReadIntervalTimeout(uint32_t value) override { SetTimeout(FReadIntervalTimeout, value); }
  uint32_t ReadTotalTimeoutMultiplier() const { return FReadTotalTimeoutMultiplier; }
  void SetReadTotalTimeoutMultiplier(uint32_t value) {
    SetTimeout(FReadTotalTimeoutMultiplier, value);
  }
  uint32_t ReadTotalTimeoutConstant() const { return FReadTotalTimeoutConstant; }
  void SetReadTotalTimeoutConstant(uint32_t value) { SetTimeout(FReadTotalTimeoutConstant, value); }
  // Kept for the settings record: a write here always goes on until it is whole.
  uint32_t WriteTotalTimeoutMultiplier() const { return FWriteTotalTimeoutMultiplier; }
  void SetWriteTotalTimeoutMultiplier(uint32_t value) { FWriteTotalTimeoutMultiplier = value; }
  uint32_t WriteTotalTimeoutConstant() const { return FWriteTotalTimeoutConstant; }
  void SetWriteTotalTimeoutConstant(uint32_t value) { FWriteTotalTimeoutConstant = value; }

  // All line settings at once (the values the next application of line settings uses).
  const LineSettings& line_settings() const { return line_; }

  // Events, run on the owner's thread while it processes messages, only when assigned.
  TReceiveDataEvent OnReceiveData;  // Buffer[BufferLength] is 0; copy what you keep
  TReceiveErrorEvent OnReceiveError;
  TModemStateChangeEvent OnModemStateChange;
  TNotifyEvent OnRequestHangup;  // nothing is closed by itself: call StopComm
  TSendDataEmptyEvent OnSendDataEmpty;

 private:
  template <typename T>
  void SetLine(T& field, T value) {
    if (field == value) return;
    field = value;
    if (IsOpen()) _SetCommState();
  }
  void SetTimeout(uint32_t& field, uint32_t value) {
    if (field == value) return;
    field = value;
    if (IsOpen()) _SetCommTimeout();
  }
  void _SetCommState();
  void _SetCommTimeout();
  void CloseReadThread();
  void CloseWriteThread(bool discard_output);
  void CloseHandles();
  void Stop(bool discard_output);

  Notifier& notifier_;
  SerialLineIo& io_;

  std::unique_ptr<TReadThread> ReadThread;
  std::unique_ptr<TWriteThread> WriteThread;
  NativeHandle hCommFile = kNoPort;
  std::unique_ptr<CloseSignal> hCloseEvent;
  std::atomic<bool> FSendDataEmpty{true};
  uint64_t handed_ = 0;  // bytes handed to WriteCommData since the open
  bool line_lost_ = false;
  ReadTimeouts port_timeouts_;  // what the read worker sees

  std::string FCommName = "COM2";
  LineSettings line_;
  uint32_t FReadIntervalTimeout = 100;
  uint32_t FReadTotalTimeoutMultiplier = 0;
  uint32_t FReadTotalTimeoutConstant = 0;
  uint32_t FWriteTotalTimeoutMultiplier = 0;
  uint32_t FWriteTotalTimeoutConstant = 0;
};

}  // namespace quillon
