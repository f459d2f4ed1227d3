// The long flows meeting a printer that goes away and files that cannot be sent: firmware
// update and font download against the virtual printer over USB on a fake clock.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "faults/recording_ui.h"
#include "faults/reliability_table.h"
#include "faults/usb_host.h"
#include "flash/firmware_flow.h"
#include "flash/font_download.h"
#include "session/app_context.h"

namespace quillon::faults {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pattern(size_t size) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * 13 + (i >> 8));
  return b;
}

// A file holding bytes, removed at the end of the scenario.
class TempFile {
 public:
  explicit TempFile(const Bytes& bytes) {
    char name[] = "/tmp/quillon-faults-flow-XXXXXX";
    const int fd = mkstemp(name);
    path_ = name;
    if (fd >= 0) {
      if (!bytes.empty()) (void)::write(fd, bytes.data(), bytes.size());
      ::close(fd);
    }
  }
  ~TempFile() { ::unlink(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct FlowRun {
  FlashOutcome outcome;
  std::string told;     // the message the user got last
  bool closed = false;  // the link is closed afterwards
  uint32_t waited = 0;  // fake milliseconds the flow took
  bool answers_after = false;
};

enum class Flow { kFirmware, kFont };

FlowRun RunFlow(Flow flow, const Bytes& content, const vp::Faults& faults,
                const std::string& packsize = "1024") {
  UsbHost host;
  RecordingUi ui;
  AppContext ctx{host.link(), host.esc(), ui.msgs, nullptr, "CHS", nullptr, nullptr};
  TempFile file(content);
  host.printer().Plug();
  host.printer().SetFaults(faults);
  const uint32_t start = host.NowMs();
  FlowRun run;
  if (flow == Flow::kFirmware) {
    FirmwareJob job;
    job.path = file.path();
    run.outcome = NewUpdate(ctx, ui, job);
  } else {
    FontJob job;
    job.path = file.path();
    job.packsize_text = packsize;
    run.outcome = FontDownload(ctx, ui, job);
  }
  run.waited = host.NowMs() - start;
  run.told = ui.LastWord();
  // The temporary file's name changes every run: the table shows a placeholder.
  for (size_t at; (at = run.told.find(file.path())) != std::string::npos;) {
    run.told.replace(at, file.path().size(), "<file>");
  }
  run.closed = host.LinkClosed();
  host.printer().SetFaults({});
  host.printer().Plug();
  uint8_t language = 0;
  run.answers_after = host.esc().cmd_language(0, language);
  return run;
}

std::string Describe(const FlowRun& run) {
  return std::string(run.outcome.ok() ? "completed" : "stopped") + " after " +
         std::to_string(run.outcome.bytes) + " bytes acknowledged, told " + run.told +
         (run.closed ? ", link closed" : ", LINK OPEN") + ", " + std::to_string(run.waited / 1000) +
         " s of fake time" +
         (run.answers_after ? ", the printer answers afterwards" : ", PRINTER SILENT AFTERWARDS");
}

TEST(FlowFaults, PrinterUnpluggedDuringFirmwareUpdateAndFontDownload) {
  vp::Faults unplug;
  unplug.unplug_after_packets = 3;  // erase and two packets are answered
  const FlowRun firmware = RunFlow(Flow::kFirmware, Pattern(8 * 1024), unplug);
  EXPECT_EQ(firmware.outcome.result, FlashResult::kWriteFailed);
  EXPECT_TRUE(firmware.closed);
  EXPECT_TRUE(firmware.answers_after);
  EXPECT_LT(firmware.waited, 1000u);  // a vanished device ends the wait at once
  Record("Unplugged printer", "unplugged during a firmware update (after 2 of 8 packets)",
         "stops at once with a write failure message, link closed", Describe(firmware));

  // The sector erases come first: the fourth meets the vanished printer. Retrying it with
  // its 120 s time-out ten times would keep the bench waiting for twenty minutes.
  const FlowRun font = RunFlow(Flow::kFont, Pattern(64 * 1024), unplug);
  EXPECT_EQ(font.outcome.result, FlashResult::kEraseFailed);
  EXPECT_TRUE(font.closed);
  EXPECT_TRUE(font.answers_after);
  EXPECT_LT(font.waited, 1000u) << "waits on or retries a printer that is gone";
  Record("Unplugged printer", "unplugged during a font download (during the sector erases)",
         "stops at once with an erase failure message, link closed", Describe(font));
}

TEST(FlowFaults, FilesAndSizesThatCannotBeSentAreRefusedBeforeSending) {
  struct Case {
    const char* scenario;
    Flow flow;
    Bytes content;
    std::string packsize;
    FlashResult expected;
  };
  const Case cases[] = {
      {"empty firmware file", Flow::kFirmware, {}, "1024", FlashResult::kFileEmpty},
      {"firmware file larger than the 256 KiB image buffer", Flow::kFirmware,
       Pattern(kFirmwareImageMax + 1), "1024", FlashResult::kFileTooLarge},
      {"font download with pack size \"1k\"", Flow::kFont, Pattern(4096), "1k",
       FlashResult::kBadPackSize},
      {"font download with pack size \"0\"", Flow::kFont, Pattern(4096), "0",
       FlashResult::kBadPackSize},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    const FlowRun run = RunFlow(c.flow, c.content, {}, c.packsize);
    EXPECT_EQ(run.outcome.result, c.expected);
    EXPECT_EQ(run.outcome.bytes, 0u);
    EXPECT_TRUE(run.closed);
    EXPECT_NE(run.told, "(nothing)");
    Record("Bad inputs", c.scenario, "refused with a message before anything is sent",
           std::string(run.outcome.result == c.expected ? "refused" : "NOT REFUSED AS EXPECTED") +
               ", told \"" + run.told + "\", " + std::to_string(run.outcome.bytes) +
               " bytes sent, link closed");
  }
}

}  // namespace
}  // namespace quillon::faults
