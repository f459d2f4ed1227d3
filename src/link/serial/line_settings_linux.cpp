// Encoding of the serial line settings into termios2 and their application to a port.
#include "link/serial/line_settings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <iterator>

namespace quillon {
namespace {

struct StandardRate {
  uint32_t rate;
  tcflag_t code;
};

constexpr StandardRate kStandardRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

tcflag_t RateCode(uint32_t rate) {
  for (const StandardRate& r : kStandardRates) {
    if (r.rate == rate) return r.code;
  }
  return BOTHER;
}

tcflag_t SizeBits(TByteSize size) {
  switch (size) {
    case TByteSize::_5:
      return CS5;
    case TByteSize::_6:
      return CS6;
    case TByteSize::_7:
      return CS7;
    case TByteSize::_8:
      break;
  }
  return CS8;
}

tcflag_t ParityBits(TParity parity) {
  switch (parity) {
    case TParity::None:
      return 0;
    case TParity::Odd:
      return PARENB | PARODD;
    case TParity::Even:
      return PARENB;
    case TParity::Mark:
      return PARENB | CMSPAR | PARODD;
    case TParity::Space:
      return PARENB | CMSPAR;
  }
  return 0;
}

}  // namespace

void EncodeLineSettings(const LineSettings& s, termios2& t) {
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                      IUCLC | IXON | IXOFF | IXANY | INPCK | IGNPAR | IMAXBEL);
  if (s.ParityCheck) t.c_iflag |= INPCK;
  if (s.Outx_XonXoffFlow) t.c_iflag |= IXON;
  if (s.Inx_XonXoffFlow) t.c_iflag |= IXOFF;

  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOKE | ICANON |
                                      ISIG | IEXTEN);

  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.c_cflag |= CREAD | CLOCAL | SizeBits(s.ByteSize) | ParityBits(s.Parity);
  if (s.StopBits != TStopBits::_1) t.c_cflag |= CSTOPB;  // 1.5 stop bits: 2 is the closest
  if (s.Outx_CtsFlow || s.RtsControl == TRtsControl::RtsHandshake) t.c_cflag |= CRTSCTS;

  if (s.BaudRate != 0) {                                  // B0 would drop DTR and hang the line up
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | CIBAUD);  // input rate follows output
    t.c_cflag |= RateCode(s.BaudRate);
    t.c_ospeed = s.BaudRate;
    t.c_ispeed = s.BaudRate;
  }

  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  t.c_cc[VSTART] = s.XonChar;
  t.c_cc[VSTOP] = s.XoffChar;
}

ModemLineLevels DtrRtsLevels(const LineSettings& s) {
  ModemLineLevels levels;
  (s.DtrControl == TDtrControl::DtrDisable ? levels.clear : levels.set) |= TIOCM_DTR;
  (s.RtsControl == TRtsControl::RtsDisable ? levels.clear : levels.set) |= TIOCM_RTS;
  return levels;
}

void ApplyLineSettings(NativeHandle fd, const LineSettings& s, SerialLineIo& io) {
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0) return;
  EncodeLineSettings(s, t);
  (void)ioctl(fd, TCSETS2, &t);
  const ModemLineLevels levels = DtrRtsLevels(s);
  (void)io.SetModemBits(fd, levels.set, levels.clear);
}

}  // namespace quillon
