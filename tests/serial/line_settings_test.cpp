// Line settings as the termios structure they become, and their application to a port.
#include "link/serial/line_settings.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <mutex>
#include <vector>

#include "link/serial/serial_path.h"
#include "link/serial/tcomm.h"
#include "pty_pair.h"

namespace quillon {
namespace {

// A terminal left in cooked mode with flow control and odd settings everywhere.
termios2 CookedTerminal() {
  termios2 t{};
  t.c_iflag = ICRNL | IXON | IXANY | IMAXBEL | BRKINT | ISTRIP;
  t.c_oflag = OPOST | ONLCR;
  t.c_lflag = ICANON | ECHO | ECHOE | ISIG | IEXTEN;
  t.c_cflag = B9600 | CS7 | PARENB | CSTOPB | CRTSCTS | HUPCL;
  t.c_ispeed = t.c_ospeed = 9600;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 5;
  return t;
}

TEST(LineSettingsTest, ProgramSettingsGiveRawEightNoneOneWithInputFlowControlOnly) {
  QueueNotifier notifier;
  TComm comm(notifier);
  ConfigureMainWindowPort(comm);
  termios2 t = CookedTerminal();
  EncodeLineSettings(comm.line_settings(), t);

  EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(B115200));
  EXPECT_EQ(t.c_ospeed, 115200u);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
  EXPECT_TRUE(t.c_cflag & HUPCL);  // untouched: DTR drops when the port closes
  // Reply bytes 0x11 and 0x13 must reach the program: no IXON, only IXOFF.
  EXPECT_EQ(t.c_iflag, static_cast<tcflag_t>(IXOFF));
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHOE | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_cc[VMIN], 1);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  EXPECT_EQ(t.c_cc[VSTART], 17);
  EXPECT_EQ(t.c_cc[VSTOP], 19);
}

TEST(LineSettingsTest, RatesParityStopBitsAndFlowControl) {
  LineSettings s;
  termios2 t = CookedTerminal();

  s.BaudRate = 250000;  // not a standard rate: the exact rate travels with BOTHER
  EncodeLineSettings(s, t);
  EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
  EXPECT_EQ(t.c_cflag & CIBAUD, 0u);
  EXPECT_EQ(t.c_ospeed, 250000u);
  EXPECT_EQ(t.c_ispeed, 250000u);

  s.BaudRate = 0;  // never B0, which would hang the line up: the rate stays as it was
  EncodeLineSettings(s, t);
  EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
  EXPECT_EQ(t.c_ospeed, 250000u);

  const struct {
    TParity parity;
    tcflag_t bits;
  } parities[] = {{TParity::None, 0},
                  {TParity::Odd, PARENB | PARODD},
                  {TParity::Even, PARENB},
                  {TParity::Mark, PARENB | CMSPAR | PARODD},
                  {TParity::Space, PARENB | CMSPAR}};
  for (const auto& p : parities) {
    s.Parity = p.parity;
    EncodeLineSettings(s, t);
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), p.bits) << static_cast<int>(p.parity);
  }

  const struct {
    TByteSize size;
    tcflag_t bits;
  } sizes[] = {{TByteSize::_5, CS5}, {TByteSize::_6, CS6}, {TByteSize::_7, CS7}};
  for (const auto& z : sizes) {
    s.ByteSize = z.size;
    EncodeLineSettings(s, t);
    EXPECT_EQ(t.c_cflag & CSIZE, z.bits);
  }

  for (TStopBits stop : {TStopBits::_1, TStopBits::_1_5, TStopBits::_2}) {
    s.StopBits = stop;
    EncodeLineSettings(s, t);
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, stop != TStopBits::_1);  // 1.5 becomes 2
  }

  s.Outx_CtsFlow = true;
  EncodeLineSettings(s, t);
  EXPECT_TRUE(t.c_cflag & CRTSCTS);
  s.Outx_CtsFlow = false;
  s.RtsControl = TRtsControl::RtsHandshake;
  EncodeLineSettings(s, t);
  EXPECT_TRUE(t.c_cflag & CRTSCTS);
  s.RtsControl = TRtsControl::RtsEnable;
  EncodeLineSettings(s, t);
  EXPECT_FALSE(t.c_cflag & CRTSCTS);

  s.Outx_XonXoffFlow = true;
  s.Inx_XonXoffFlow = false;
  s.ParityCheck = true;
  s.XonChar = 0x21;
  s.XoffChar = 0x23;
  EncodeLineSettings(s, t);
  EXPECT_EQ(t.c_iflag, static_cast<tcflag_t>(IXON | INPCK));
  EXPECT_EQ(t.c_cc[VSTART], 0x21);
  EXPECT_EQ(t.c_cc[VSTOP], 0x23);
}

TEST(LineSettingsTest, DtrAndRtsLevels) {
  LineSettings s;
  ModemLineLevels l = DtrRtsLevels(s);
  EXPECT_EQ(l.set, TIOCM_DTR | TIOCM_RTS);
  EXPECT_EQ(l.clear, 0);
  s.DtrControl = TDtrControl::DtrDisable;
  s.RtsControl = TRtsControl::RtsDisable;
  l = DtrRtsLevels(s);
  EXPECT_EQ(l.set, 0);
  EXPECT_EQ(l.clear, TIOCM_DTR | TIOCM_RTS);
}

// Records the modem-line calls; answers like a driver without counters.
class RecordingLineIo final : public SerialLineIo {
 public:
  bool GetModemBits(int, int&) override { return false; }
  bool SetModemBits(int, int set, int clear) override {
    std::lock_guard<std::mutex> lock(mutex);
    calls.push_back({set, clear});
    return true;
  }
  bool GetCounters(int, LineCounters&) override { return false; }
  std::mutex mutex;
  std::vector<ModemLineLevels> calls;
};

termios2 Current(int fd) {
  termios2 t{};
  EXPECT_EQ(ioctl(fd, TCGETS2, &t), 0);
  return t;
}

TEST(LineSettingsTest, OpenPortTakesNewValuesAtOnceExceptParity) {
  testing::PtyPair pty;
  ASSERT_GE(pty.master(), 0);
  QueueNotifier notifier;
  RecordingLineIo io;
  TComm comm(notifier, io);
  ConfigureMainWindowPort(comm);
  comm.SetCommName(pty.slave_path());
  comm.SetDtrControl(TDtrControl::DtrDisable);
  EXPECT_TRUE(io.calls.empty());  // closed: values are only stored

  comm.StartComm();
  const int probe = open(pty.slave_path().c_str(), O_RDWR | O_NOCTTY);  // root ignores TIOCEXCL
  if (probe < 0) GTEST_SKIP() << "the port cannot be inspected without privileges";
  termios2 t = Current(probe);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXOFF));
  ASSERT_EQ(io.calls.size(), 1u);
  EXPECT_EQ(io.calls[0].set, TIOCM_RTS);
  EXPECT_EQ(io.calls[0].clear, TIOCM_DTR);

  comm.SetBaudRate(250000);  // applied at once
  t = Current(probe);
  EXPECT_EQ(t.c_ospeed, 250000u);
  comm.SetBaudRate(250000);  // same value: nothing applied
  EXPECT_EQ(io.calls.size(), 2u);

  // Parity waits for the next application of line settings; the pty then forces no
  // parity anyway, so only the number of applications can be seen here.
  comm.SetParity(TParity::Even);
  EXPECT_EQ(io.calls.size(), 2u);
  comm.SetXonChar(0x01);
  EXPECT_EQ(io.calls.size(), 3u);
  EXPECT_EQ(Current(probe).c_cc[VSTART], 0x01);
  close(probe);
}

}  // namespace
}  // namespace quillon
