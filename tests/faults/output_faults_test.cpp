// Test output meeting bad inputs and a printer that goes away: pictures too wide or empty,
// a 50 MB text, and the printer unplugged while a picture's bands are being sent.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/text_conv.h"
#include "faults/recording_ui.h"
#include "faults/reliability_table.h"
#include "faults/usb_host.h"
#include "output/raster_print.h"

namespace quillon::faults {
namespace {

Picture Grey(int width, int height) {
  Picture p;
  p.width = width;
  p.height = height;
  p.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0xFF808080u);
  return p;
}

// A page whose progress callback can act (the printer vanishing after a band).
class ProgressUi final : public FlowUi {
 public:
  void ClearMemo() override {}
  void MemoLine(const std::string&) override {}
  void SetProgressMax(int64_t) override {}
  void SetProgress(int64_t rows) override {
    if (on_progress) on_progress(rows);
  }
  Messages& messages() override { return msgs; }
  std::function<void(int64_t)> on_progress;
  RecordingMessages msgs;
};

TEST(OutputFaults, PicturesThatCannotBePrintedAreRefusedBeforeSending) {
  struct Case {
    const char* scenario;
    Picture picture;
  };
  const Case cases[] = {
      {"picture 1361 dots wide (1360 fit)", Grey(1361, 10)},
      {"picture of 0 x 0 dots", Grey(0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    UsbHost host;
    ProgressUi ui;
    const bool printed = PrintPicture(host.link(), c.picture, ui);
    EXPECT_FALSE(printed);
    ASSERT_EQ(ui.msgs.boxes.size(), 1u);
    EXPECT_EQ(host.printer().paper().height(), 0);
    EXPECT_TRUE(host.LinkClosed());
    Record("Bad inputs", c.scenario, "refused with a message before anything is sent",
           std::string(printed ? "PRINTED" : "refused") + ": \"" + ui.msgs.boxes[0] +
               "\", nothing printed, link closed");
  }
}

TEST(OutputFaults, FiftyMegabyteTextIsRefusedWithAMessage) {
  const std::string text(50u * 1024 * 1024, 'A');
  const TextBytes out = ConvertTextForSending(TextEncoding::kAnsi, text, false, 936);
  EXPECT_FALSE(out.ok);
  EXPECT_FALSE(out.error.empty());
  EXPECT_TRUE(out.bytes.empty());
  Record("Bad inputs", "a 50 MB text sent as ANSI with escapes",
         "refused with a message, nothing sent",
         std::string(out.ok ? "ACCEPTED" : "refused") + ": \"" + out.error + "\"");
}

TEST(OutputFaults, PrinterUnpluggedDuringAPicturePrint) {
  UsbHost host;
  ProgressUi ui;
  ui.on_progress = [&](int64_t rows) {
    if (rows >= 48) host.printer().Unplug();  // after the second band
  };
  const uint32_t start = host.NowMs();
  const bool printed = PrintPicture(host.link(), Grey(384, 240), ui);
  const uint32_t waited = host.NowMs() - start;
  EXPECT_FALSE(printed) << "a print the printer never got is reported as done";
  EXPECT_FALSE(ui.msgs.boxes.empty());
  EXPECT_TRUE(host.LinkClosed());
  EXPECT_LE(waited, 1000u);
  host.printer().Plug();
  uint8_t language = 0;
  const bool answers = host.esc().cmd_language(0, language);
  EXPECT_TRUE(answers);
  Record("Unplugged printer", "unplugged during a picture print (after 2 of 10 bands)",
         "stops with a message, link closed, the printer answers once back",
         std::string(printed ? "REPORTED AS PRINTED" : "stopped") + ", told \"" +
             (ui.msgs.boxes.empty() ? std::string("nothing") : ui.msgs.boxes.back()) +
             "\", link closed, " + (answers ? "the printer answers once back" : "PRINTER SILENT"));
}

}  // namespace
}  // namespace quillon::faults
