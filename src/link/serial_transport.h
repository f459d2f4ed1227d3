// The serial port (cm_spcomm, a TComm) as a transport. The port hands received blocks over
// through its OnReceiveData event (cm_spcommReceiveData), which appends them to CommBuf while
// the owner's thread processes its messages; a read waits by processing them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/comm_port.h"
#include "link/message_pump.h"
#include "link/transport.h"

namespace quillon {

inline constexpr size_t kCommBufSize = 10241;
inline constexpr size_t kSerialWriteBlock = 65535;  // WriteCommData takes a 16-bit count

class SerialTransport final : public Transport {
 public:
  explicit SerialTransport(MessagePump& pump) : pump_(pump) {}

  const char* name() const override { return "serial port"; }
  ReplyRule reply_rule() const override { return ReplyRule::kExact; }
  // The port is opened and closed by its owner (the serial settings dialog, the firmware
  // flow, the CLI): a command only finds it open or not.
  bool Open(std::string& error) override;
  void Close() override {}
  bool IsOpen() const override { return cm_spcomm != nullptr && cm_spcomm->IsOpen(); }
  bool HungUp() const override { return cm_spcomm != nullptr && cm_spcomm->LineLost(); }
  bool DiscardInput(bool drain_device) override;
  // Longer blocks go out as consecutive writes of at most kSerialWriteBlock bytes.
  bool Write(const uint8_t* data, size_t len, uint32_t reply_wait_ms) override;
  // Received blocks are handed over 1 ms after the line goes quiet; reading starts again at
  // the beginning of CommBuf.
  void ExpectReply() override;
  int Read(uint8_t* buf, size_t cap, uint32_t wait_ms) override;

  void SetPort(CommPort* port) { cm_spcomm = port; }
  CommPort* port() const { return cm_spcomm; }
  // OnReceiveData: appends to CommBuf; returns how many bytes did not fit and were dropped.
  int32_t Receive(const uint8_t* buffer, uint16_t length);
  const uint8_t* comm_buf() const { return CommBuf; }
  int32_t comm_recv_len() const { return CommRecvLen; }
  int32_t dropped() const { return dropped_; }

 private:
  MessagePump& pump_;
  CommPort* cm_spcomm = nullptr;
  uint8_t CommBuf[kCommBufSize] = {};
  int32_t CommRecvLen = 0;
  int32_t taken_ = 0;    // bytes of CommBuf already handed to the reply
  int32_t dropped_ = 0;  // bytes dropped because CommBuf was full
};

}  // namespace quillon
