// Picture files through the decoder, and pictures of arbitrary size and content through
// dithering, bit packing and the band splitter that sends them. Whatever width and height
// the decoder hands over (0, 1, wider than the printer, taller than 65535) must be refused
// or printed whole. With mode bit 0x40 the bytes after the header are a picture file;
// otherwise the harness makes the pixels itself and caps their count so a run stays within
// memory (the code is not capped).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if __has_include("output/raster_print.h")
#include "core/flow_ui.h"
#include "link/printer_link.h"
#include "output/bitmap_conv.h"
#include "output/picture_decode.h"
#include "output/raster_print.h"
#define QUILLON_FUZZ_PICTURE 1

namespace {

using namespace quillon;

void Check(bool ok) {
  if (!ok) std::abort();
}

class FuzzClock final : public Clock {
 public:
  uint32_t NowMs() override { return now; }
  uint32_t now = 0;
};

class Pump final : public MessagePump {
 public:
  explicit Pump(FuzzClock& c) : clock(c) {}
  void ProcessMessages(uint32_t ms) override { clock.now += ms; }
  FuzzClock& clock;
};

// A printer that takes every write and counts the bytes.
class Sink final : public UsbBackend {
 public:
  void ListDevicePaths(std::vector<std::string>& out) override {
    out.push_back("vid_c0de&pid_7001");
  }
  UsbOpenResult Open(const std::string&) override {
    UsbOpenResult r;
    r.device = std::make_unique<Device>(*this);
    return r;
  }
  size_t written = 0;

 private:
  class Device final : public UsbDevice {
   public:
    explicit Device(Sink& s) : s_(s) {}
    bool Write(const uint8_t*, size_t n) override {
      s_.written += n;
      return true;
    }
    int Read(uint8_t*, size_t, uint32_t) override { return 0; }

   private:
    Sink& s_;
  };
};

class SilentMessages final : public Messages {
 public:
  std::string Text(const std::string& key) override { return key; }
  int MSGDLG(int, const std::string&, const std::string&) override {
    ++boxes;
    return kMsgResultOk;
  }
  int boxes = 0;
};

class Ui final : public FlowUi {
 public:
  void ClearMemo() override {}
  void MemoLine(const std::string&) override {}
  void SetProgressMax(int64_t m) override { max = m; }
  void SetProgress(int64_t p) override { Check(p >= 0 && p <= max); }
  Messages& messages() override { return msgs; }
  SilentMessages msgs;
  int64_t max = 0;
};

}  // namespace
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
#ifdef QUILLON_FUZZ_PICTURE
  if (size < 6) return 0;
  constexpr int64_t kMaxPixels = 1 << 18;  // harness cap: 1 MB of pixels
  const uint8_t mode = data[0];
  // Width and height: 16-bit, or scaled up past 65535 when mode asks for it.
  int width = data[1] | (data[2] << 8);
  int height = data[3] | (data[4] << 8);
  if (mode & 0x10) width *= 37;
  if (mode & 0x20) height *= 37;
  data += 5;
  size -= 5;
  if (int64_t{width} * height > kMaxPixels) {
    // Keep one side as chosen (the extreme one) and shrink the other.
    if (width > height)
      height = static_cast<int>(kMaxPixels / std::max(width, 1));
    else
      width = static_cast<int>(kMaxPixels / std::max(height, 1));
  }
  Picture img;
  if (mode & 0x40) {
    std::string why;
    if (!DecodePicture(data, size, img, why)) {
      Check(!why.empty());
      return 0;
    }
    Check(img.width > 0 && img.height > 0 &&
          img.pixels.size() == static_cast<size_t>(img.width) * static_cast<size_t>(img.height));
    if (int64_t{img.width} * img.height > kMaxPixels) return 0;
    width = img.width;
    height = img.height;
  } else {
    img.width = width;
    img.height = height;
    img.pixels.resize(static_cast<size_t>(int64_t{width} * height));
    // Pixels: the fuzzer's bytes repeated, four to a pixel.
    for (size_t i = 0; i < img.pixels.size(); ++i) {
      uint32_t p = 0;
      for (size_t k = 0; k < 4; ++k) p = p << 8 | data[(i * 4 + k) % size];
      img.pixels[i] = p;
    }
  }

  std::vector<uint8_t> ms;
  uint16_t w = 0, h = 0;
  std::string error;
  const bool conv = mode & 1;
  if (BMP_Conv(img, ms, w, h, conv, &error)) {
    Check(w == width && h == height);
    Check(ms.size() == RasterBytesPerRow(width) * static_cast<size_t>(height));
  } else {
    Check(!error.empty());
  }

  if (mode & 2) {
    // The whole print: refused with a message, or every row sent in bands.
    FuzzClock clock;
    Pump pump(clock);
    Sink usb;
    PrinterLink link(usb, clock, pump);
    link.SetUsbIds("c0de", "7001");
    link.FindPrinter();
    Ui ui;
    const std::string why = CheckPrintablePicture(img);
    const bool printed = PrintPicture(link, img, ui);
    if (!why.empty()) {
      Check(!printed && usb.written == 0 && ui.msgs.boxes > 0);
    } else if (printed) {
      const size_t row = RasterBytesPerRow(width);
      const size_t bands = (static_cast<size_t>(height) + kBandRows - 1) / kBandRows;
      Check(usb.written >= row * static_cast<size_t>(height) + bands * kRasterHeaderSize);
    }
    Check(!link.USB().hDevHandle);  // the link is closed afterwards
  }
#else
  (void)data;
  (void)size;
#endif
  return 0;
}
