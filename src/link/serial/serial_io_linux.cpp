// The modem-line and error-counter ioctls, and what their values mean to the component.
#include "link/serial/serial_io.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

#include "link/serial/comm_types.h"

namespace quillon {
namespace {

class SystemLineIo final : public SerialLineIo {
 public:
  bool GetModemBits(NativeHandle fd, int& bits) override { return ioctl(fd, TIOCMGET, &bits) == 0; }
  bool SetModemBits(NativeHandle fd, int set, int clear) override {
    bool ok = true;
    if (set != 0 && ioctl(fd, TIOCMBIS, &set) != 0) ok = false;
    if (clear != 0 && ioctl(fd, TIOCMBIC, &clear) != 0) ok = false;
    return ok;
  }
  bool GetCounters(NativeHandle fd, LineCounters& c) override {
    serial_icounter_struct k{};
    if (ioctl(fd, TIOCGICOUNT, &k) != 0) return false;
    c.cts = static_cast<uint32_t>(k.cts);
    c.dsr = static_cast<uint32_t>(k.dsr);
    c.rng = static_cast<uint32_t>(k.rng);
    c.dcd = static_cast<uint32_t>(k.dcd);
    c.frame = static_cast<uint32_t>(k.frame);
    c.overrun = static_cast<uint32_t>(k.overrun);
    c.parity = static_cast<uint32_t>(k.parity);
    c.brk = static_cast<uint32_t>(k.brk);
    c.buf_overrun = static_cast<uint32_t>(k.buf_overrun);
    return true;
  }
};

}  // namespace

SerialLineIo& SystemSerialLineIo() {
  static SystemLineIo io;
  return io;
}

uint32_t ModemStatusFromTiocm(int bits) {
  uint32_t status = 0;
  if (bits & TIOCM_CTS) status |= MS_CTS_ON;
  if (bits & TIOCM_DSR) status |= MS_DSR_ON;
  if (bits & TIOCM_RNG) status |= MS_RING_ON;
  if (bits & TIOCM_CAR) status |= MS_RLSD_ON;
  return status;
}

uint32_t ModemStatusFromDriver(int bits) {
  return ModemStatusFromTiocm(bits);
}

}  // namespace quillon
