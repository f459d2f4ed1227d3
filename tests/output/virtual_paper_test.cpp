// Pictures and the boot logo sent to the virtual printer: the dots on its paper and the
// logo it keeps equal the raster the conversion made.
#include <gtest/gtest.h>

#include <random>

#include "output/oem_logo.h"
#include "output/raster_print.h"
#include "output_fixture.h"
#include "virtualprinter/virtual_printer.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon {
namespace {

struct VirtualBench {
  testing::FakeClock clock;
  testing::FakeClockPump pump{clock};
  vp::VirtualPrinter printer{vp::VirtualPrinter::Options{"", false, 384}, clock};
  vp::VirtualUsbBackend usb{printer};
  PrinterLink link{usb, clock, pump};
  EscCmd esc{link};

  VirtualBench() {
    link.SetUsbIds(vp::kDefaultVid, vp::kDefaultPid);
    link.FindPrinter();
  }
};

Picture Noise(int w, int h, uint32_t seed) {
  std::mt19937 rng(seed);
  Picture p{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h)};
  for (uint32_t& px : p.pixels) px = 0xFF000000u | (rng() & 0xFFFFFF);
  return p;
}

TEST(VirtualPaper, PrintedBandsEqualTheRaster) {
  for (int width : {384, 100}) {
    VirtualBench b;
    ASSERT_TRUE(b.link.USB().isFindPrint);
    const Picture p = Noise(width, 61, static_cast<uint32_t>(width));
    testing::RecordingFlowUi ui;
    ASSERT_TRUE(PrintPicture(b.link, p, ui));
    std::vector<uint8_t> raster;
    uint16_t w = 0, h = 0;
    ASSERT_TRUE(BMP_Conv(p, raster, w, h, true));
    const vp::Paper& paper = b.printer.paper();
    ASSERT_GE(paper.height(), 61);
    const size_t bpr = RasterBytesPerRow(width);
    int differences = 0;
    for (int y = 0; y < 61; ++y) {
      for (int x = 0; x < 384; ++x) {
        const bool black =
            x < width && (raster[static_cast<size_t>(y) * bpr + x / 8] & (0x80 >> (x % 8)));
        differences += paper.Dot(x, y) != black;
      }
    }
    EXPECT_EQ(differences, 0) << width;
  }
}

TEST(VirtualPaper, LogoKeptByThePrinter) {
  VirtualBench b;
  testing::RecordingMessages msgs;
  const Picture p = Noise(128, 64, 5);
  ASSERT_TRUE(WriteOemLogo(b.esc, msgs, p));
  std::vector<uint8_t> raster;
  uint16_t w = 0, h = 0;
  ASSERT_TRUE(BMP_Conv(p, raster, w, h, false));
  std::vector<uint8_t> kept;
  b.printer.WithState([&](vp::PrinterState& s) { kept = s.logo; });
  EXPECT_EQ(kept, raster);
  ASSERT_EQ(msgs.boxes.size(), 1u);
  EXPECT_EQ(msgs.boxes[0].second, "text of MSG018");
}

}  // namespace
}  // namespace quillon
