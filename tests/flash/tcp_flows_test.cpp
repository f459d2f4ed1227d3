// The flows over the network link, against the virtual printer serving a loopback port.
#include <gtest/gtest.h>

#include <chrono>

#include "flash/font_download.h"
#include "flash_rig.h"
#include "link/tcp_link.h"
#include "output/raster_print.h"
#include "protocol/printer_status.h"
#include "virtualprinter/tcp_transport.h"
#include "virtualprinter/virtual_printer.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon::testing {
namespace {

vp::VirtualPrinter::Options ErasedFlash() {
  vp::VirtualPrinter::Options o;
  o.load_factory_font = false;
  return o;
}

struct TcpRig {
  explicit TcpRig(const vp::Faults& faults = {}) {
    printer.SetFaults(faults);
    std::string error;
    started = server.Start("127.0.0.1", 0, error);
    EXPECT_TRUE(started) << error;
    net.SetAddress({"127.0.0.1", server.port()});
    link.SetNetLink(&net);
    link.SetUseNetwork(true);
  }
  FlashOutcome Font(const std::vector<uint8_t>& content) {
    TempFile file(content, "font.bin");
    FontJob job;
    job.path = file.path();
    return FontDownload(ctx, ui, job);
  }

  vp::VirtualPrinter printer{ErasedFlash()};
  vp::TcpTransport server{printer};
  bool started = false;
  SleepingPump pump;
  TcpLink net{SystemClock(), pump};
  vp::VirtualUsbBackend usb{printer};  // listed, never used while the network is the link
  PrinterLink link{usb, SystemClock(), pump};
  EscCmd esc{link};
  RecordingMessages messages;
  RecordingUi ui{messages};
  AppContext ctx{link, esc, messages, [] { return true; }};
};

TEST(TcpFlows, CommandsStatusAndAPictureArriveWhole) {
  TcpRig rig;
  ASSERT_TRUE(rig.started);
  uint8_t density = 5;
  ASSERT_TRUE(rig.esc.cmd_blackness(1, density)) << CmdFailureText(rig.esc.last_failure());
  density = 0;
  ASSERT_TRUE(rig.esc.cmd_blackness(0, density));
  EXPECT_EQ(density, 5);
  std::string info;
  EXPECT_TRUE(rig.esc.cmd_sys_info(0, info));  // a text reply: ends on its whole frame
  EXPECT_EQ(info, rig.printer.state().sys_info);

  EXPECT_TRUE(QueryPrinterStatus(rig.link).ready());
  rig.printer.WithState([](vp::PrinterState& s) {
    s.paper = vp::PaperLevel::kOut;
    s.cover_open = true;
  });
  const PrinterStatus st = QueryPrinterStatus(rig.link);
  EXPECT_TRUE(st.complete());
  EXPECT_TRUE(st.paper_out && st.cover_open && st.stopped_by_paper_out && st.offline);
  EXPECT_EQ(st.NotReadyReason(), "cover open, paper out, printing stopped by paper out");
  rig.printer.WithState([](vp::PrinterState& s) { s = vp::PrinterState{}; });

  // Many bands in one connection: the paper shows every row once the link has closed.
  Picture pic;
  pic.width = 200;
  pic.height = 700;
  for (int y = 0; y < pic.height; ++y)
    for (int x = 0; x < pic.width; ++x)
      pic.pixels.push_back((x / 8 + y / 8) % 2 ? 0xFF000000u : 0xFFFFFFFFu);
  ASSERT_TRUE(PrintPicture(rig.link, pic, rig.ui));
  ASSERT_GE(rig.printer.paper().height(), pic.height);
  for (int y = 0; y < pic.height; y += 37) {
    EXPECT_EQ(rig.printer.paper().Dot(0, y), (y / 8) % 2 == 1) << "row " << y;
  }
}

TEST(TcpFlows, FontDownloadRetriesADroppedReplyAndStopsOnADroppedConnection) {
  const std::vector<uint8_t> font = Pattern(3 * 1024);
  vp::Faults drop;
  drop.drop_reply_to_packet = 3;  // erase, first write, second write
  TcpRig retried(drop);
  EXPECT_EQ(retried.Font(font).result, FlashResult::kOk);
  EXPECT_TRUE(std::equal(font.begin(), font.end(), retried.printer.state().flash.bytes().begin()));
  EXPECT_EQ(std::count(retried.ui.memo.begin(), retried.ui.memo.end(), "MSG0211024MSG0221MSG023"),
            1);

  vp::Faults vanish;
  vanish.unplug_after_packets = 2;
  TcpRig gone(vanish);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(gone.Font(font).result, FlashResult::kWriteFailed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
}  // namespace quillon::testing
