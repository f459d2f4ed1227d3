#include "protocol/frame.h"

#include <cstring>

namespace quillon {

uint8_t cmd_getcrc(const TCMD& cmd) {
  uint8_t sum = static_cast<uint8_t>(cmd.cmd[0] + cmd.cmd[1]);
  sum = static_cast<uint8_t>(sum + (cmd.opera & 0xFF) + (cmd.opera >> 8));
  sum = static_cast<uint8_t>(sum + (cmd.size & 0xFF) + (cmd.size >> 8));
  if (cmd.data != nullptr) {
    for (uint16_t i = 0; i < cmd.size; ++i) sum = static_cast<uint8_t>(sum + cmd.data[i]);
  }
  return sum;
}

size_t WriteFrame(const TCMD& header, uint8_t* out) {
  out[0] = header.cmd[0];
  out[1] = header.cmd[1];
  PutLE16(out + 2, header.opera);
  PutLE16(out + 4, header.size);
  if (header.size > 0 && header.data != nullptr) std::memmove(out + 6, header.data, header.size);
  out[6 + header.size] = header.crc;
  return header.size + kFrameOverhead;
}

std::vector<uint8_t> MakeFrame(uint8_t kind, uint8_t code, uint16_t opera,
                               std::span<const uint8_t> data) {
  TCMD h;
  h.cmd[0] = kind;
  h.cmd[1] = code;
  h.opera = opera;
  h.size = static_cast<uint16_t>(data.size());
  h.data = data.empty() ? nullptr : data.data();
  h.crc = cmd_getcrc(h);
  std::vector<uint8_t> out(h.size + kFrameOverhead);
  WriteFrame(h, out.data());
  return out;
}

std::optional<ParsedFrame> ParseFrame(std::span<const uint8_t> bytes) {
  if (bytes.size() < kFrameOverhead) return std::nullopt;
  ParsedFrame f;
  f.header.cmd[0] = bytes[0];
  f.header.cmd[1] = bytes[1];
  f.header.opera = GetLE16(&bytes[2]);
  f.header.size = GetLE16(&bytes[4]);
  f.length = f.header.size + kFrameOverhead;
  if (bytes.size() < f.length) return std::nullopt;
  f.header.data = f.header.size > 0 ? &bytes[6] : nullptr;
  f.header.crc = bytes[6 + f.header.size];
  f.checksum_ok = cmd_getcrc(f.header) == f.header.crc;
  return f;
}

}  // namespace quillon
