// The ESC/POS test sequences: drawer kick, test page, bar code, QR code, character size,
// alignment, fonts, initialise, feed and cut.
#include "output/escpos_tests.h"

#include "link/printer_link.h"

namespace quillon {
namespace {

// The bar code and the QR code carry the same ten characters "1234667890".
constexpr uint8_t kDrawerKick[] = {0x1B, 0x70, 0x00, 0x00, 0x00};
constexpr uint8_t kTestPage[] = {0x12, 0x54};
constexpr uint8_t kBarCode[] = {0x1D, 0x68, 0x32, 0x1D, 0x77, 0x02, 0x1D, 0x6B, 0x49, 0x0A,
                                0x31, 0x32, 0x33, 0x34, 0x36, 0x36, 0x37, 0x38, 0x39, 0x30};
constexpr uint8_t kQrCode[] = {0x1B, 0x5A, 0x01, 0x01, 0x02, 0x0A, 0x00, 0x31, 0x32,
                               0x33, 0x34, 0x36, 0x36, 0x37, 0x38, 0x39, 0x30};
constexpr uint8_t kFont24[] = {0x1D, 0x66, 0x00};
constexpr uint8_t kDoubleHeight[] = {0x1D, 0x21, 0x01};
constexpr uint8_t kDoubleWidth[] = {0x1D, 0x21, 0x10};
constexpr uint8_t kDoubleBoth[] = {0x1D, 0x21, 0x11};
constexpr uint8_t kAlignLeft[] = {0x1B, 0x61, 0x00};
constexpr uint8_t kAlignCentre[] = {0x1B, 0x61, 0x01};
constexpr uint8_t kAlignRight[] = {0x1B, 0x61, 0x02};
constexpr uint8_t kFont16[] = {0x1D, 0x66, 0x01};
constexpr uint8_t kInitialise[] = {0x1B, 0x40};
constexpr uint8_t kFeedLine[] = {0x1B, 0x64, 0x01};
constexpr uint8_t kCut[] = {0x1D, 0x53};

constexpr EscPosTest kTests[] = {
    {"btn26", "开打钱箱", kDrawerKick},
    {"btn27", "打印测试页", kTestPage},
    {"btn28", "打印条码", kBarCode},
    {"btn29", "打印QR码", kQrCode},
    {"btn30", "标准字体24x24", kFont24},
    {"btn31", "倍高", kDoubleHeight},
    {"btn32", "倍宽", kDoubleWidth},
    {"btn33", "双向", kDoubleBoth},
    {"btn34", "左对齐", kAlignLeft},
    {"btn35", "中对齐", kAlignCentre},
    {"btn36", "右对齐", kAlignRight},
    {"btn37", "压缩字体16x16", kFont16},
    {"btn38", "1B40 默认参数", kInitialise},
    {"btn39", "进纸 3cm", kFeedLine},
    {"btn40", "切刀控制", kCut},
};

}  // namespace

std::span<const EscPosTest> EscPosTests() {
  return kTests;
}

const EscPosTest* FindEscPosTest(std::string_view button) {
  for (const EscPosTest& t : kTests) {
    if (t.button == button) return &t;
  }
  return nullptr;
}

bool SendRawBytes(PrinterLink& link, std::span<const uint8_t> bytes) {
  link.OpenUsb();
  link.SendAndRecv(bytes.data(), static_cast<int32_t>(bytes.size()), {}, 0, 0);
  const bool taken = link.last_write_ok();
  link.CloseUSB();
  return taken;
}

}  // namespace quillon
