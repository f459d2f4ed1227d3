// Pseudo-terminal pairs and pump helpers for the serial port tests: the component opens
// the slave by its path, the test plays the device on the master.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/message_pump.h"

namespace quillon::testing {

class PtyPair {
 public:
  PtyPair();  // fails the test (and leaves master() -1) when no pty can be made
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;
  ~PtyPair();

  int master() const { return master_; }
  const std::string& slave_path() const { return slave_path_; }
  void CloseMaster();
  void CloseSlave();  // the test's own slave descriptor (kept open to avoid master EIO)

  // Writes all bytes to the master, waiting for room as needed.
  bool WriteMaster(const uint8_t* data, size_t size);
  bool WriteMaster(const std::vector<uint8_t>& data) {
    return WriteMaster(data.data(), data.size());
  }
  // Reads from the master until count bytes have arrived or nothing came for idle_ms.
  std::vector<uint8_t> ReadMaster(size_t count, int idle_ms = 10000);

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slave_path_;
};

// Pumps until done() holds; false if it still does not after limit_ms (a safety net so
// that a broken component fails the test instead of hanging it).
bool PumpUntil(MessagePump& pump, const std::function<bool()>& done, int limit_ms = 10000);

// n bytes of a repeatable pattern.
std::vector<uint8_t> Pattern(size_t n, uint32_t seed = 1);

}  // namespace quillon::testing
