// A glyph edited in the font file, saved, downloaded to the virtual printer and printed:
// the paper shows the edited glyph, so the editor's address map, the atomic save, the font
// download and the printer's glyph lookup agree with each other.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "../flash/flash_rig.h"
#include "flash/font_download.h"
#include "fonteditor/font_file_io.h"
#include "fonteditor/font_image.h"
#include "virtualprinter/virtual_printer.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon::testing {
namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// True when the printed strip holds a row whose dots x0..x0+len-1 are all black.
bool HasSolidRun(const vp::Paper& paper, int len) {
  for (int y = 0; y < paper.height(); ++y) {
    int run = 0;
    for (int x = 0; x < paper.width(); ++x) {
      run = paper.Dot(x, y) ? run + 1 : 0;
      if (run >= len) return true;
    }
  }
  return false;
}

TEST(FontEditToPaper, EditedGlyphPrintsAfterDownload) {
  std::vector<uint8_t> sample = ReadAll(QUILLON_SAMPLE_FONT);
  ASSERT_EQ(sample.size(), 8u * 1024 * 1024) << "sample font missing: " << QUILLON_SAMPLE_FONT;

  // Edit the two-byte glyph of "中" (GB18030 D6 D0): fill its top row with dots.
  FontImage image;
  image.Assign(sample);
  GlyphKey key;
  key.section = FontSection::kGb18030;
  key.code = 0xD6D0;
  ASSERT_EQ(image.ReadGlyph(key), GlyphRead::kLoaded);
  for (int x = 0; x < 24; ++x) {
    if (!image.GetPoint(x, 0)) image.SetPoint(x, 0);
  }
  ASSERT_EQ(image.WriteBack(key), GlyphWrite::kWritten);

  char dir_tmpl[] = "/tmp/quillon-font-edit-XXXXXX";
  const std::string dir = mkdtemp(dir_tmpl);
  const std::string path = dir + "/edited.bin";
  FileResult saved = SaveFileAtomically(path, image.bytes());
  ASSERT_TRUE(saved.ok) << saved.error;

  // The virtual printer starts with the unedited sample font, so the edited row can only
  // come from the downloaded file (an erased flash would print every dot).
  FakeClock clock{1000};
  FakeClockPump pump{clock};
  vp::VirtualPrinter::Options options;
  options.load_factory_font = false;
  vp::VirtualPrinter printer{options, clock};
  std::string load_error;
  ASSERT_TRUE(printer.LoadFontImage(QUILLON_SAMPLE_FONT, load_error)) << load_error;
  printer.UseManualTime([&](uint32_t ms) { clock.Advance(ms); });
  vp::VirtualUsbBackend usb{printer};
  PrinterLink link{usb, clock, pump};
  link.SetUsbIds(vp::kDefaultVid, vp::kDefaultPid);
  link.FindPrinter();
  EscCmd esc{link};
  RecordingMessages messages;
  RecordingUi ui{messages};
  AppContext ctx{link, esc, messages, nullptr};
  FontJob job;
  job.path = path;
  job.packsize_text = "8192";
  ASSERT_EQ(FontDownload(ctx, ui, job).result, FlashResult::kOk);

  // "中" in the printer's code page, then a line feed.
  const uint8_t text[] = {0xD6, 0xD0, 0x0A};
  {
    vp::VirtualPrinter before{options, clock};
    ASSERT_TRUE(before.LoadFontImage(QUILLON_SAMPLE_FONT, load_error));
    before.Receive(text, sizeof text);
    ASSERT_GT(before.paper().height(), 0);
    EXPECT_FALSE(HasSolidRun(before.paper(), 24)) << "the unedited glyph has a full row";
  }
  link.OpenUsb();
  link.SendAndRecv(text, sizeof text, {}, 0, 0);
  link.CloseUSB();
  EXPECT_TRUE(HasSolidRun(printer.paper(), 24)) << "the edited top row is not on the paper";

  std::remove(path.c_str());
  std::remove(dir.c_str());
}

}  // namespace
}  // namespace quillon::testing
