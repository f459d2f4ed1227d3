#include "link/serial_transport.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace quillon {

bool SerialTransport::Open(std::string& error) {
  if (IsOpen()) return true;
  error = std::string("the ") + name() + " is not open";
  return false;
}

bool SerialTransport::DiscardInput(bool /*drain_device*/) {
  std::memset(CommBuf, 0, kCommBufSize - 1);
  CommRecvLen = 0;
  taken_ = 0;
  return true;
}

bool SerialTransport::Write(const uint8_t* data, size_t len, uint32_t /*reply_wait_ms*/) {
  if (!cm_spcomm) return false;
  size_t sent = 0;
  do {
    const size_t block = std::min(len - sent, kSerialWriteBlock);
    if (!cm_spcomm->WriteCommData(data + sent, static_cast<uint16_t>(block))) return false;
    sent += block;
  } while (sent < len);
  return true;
}

void SerialTransport::ExpectReply() {
  if (cm_spcomm) cm_spcomm->SetReadIntervalTimeout(1);
  taken_ = 0;
}

int SerialTransport::Read(uint8_t* buf, size_t cap, uint32_t wait_ms) {
  pump_.ProcessMessages(wait_ms);  // cm_spcommReceiveData runs here
  const int32_t n = std::min<int32_t>(CommRecvLen - taken_, static_cast<int32_t>(cap));
  if (n <= 0) return 0;
  std::memcpy(buf, CommBuf + taken_, static_cast<size_t>(n));
  taken_ += n;
  return n;
}

int32_t SerialTransport::Receive(const uint8_t* buffer, uint16_t length) {
  const int32_t room = static_cast<int32_t>(kCommBufSize) - CommRecvLen;
  const int32_t take = std::min<int32_t>(room, length);
  if (take > 0) {
    std::memcpy(CommBuf + CommRecvLen, buffer, static_cast<size_t>(take));
    CommRecvLen += take;
  }
  dropped_ += length - take;
  return length - take;
}

}  // namespace quillon
