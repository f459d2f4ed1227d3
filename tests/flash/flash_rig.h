// Test rig for the flash flows: a scripted USB printer that plays boot loader and font
// flash (with fault switches), a recording FlowUi and Messages, all on a fake clock.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/flow_ui.h"
#include "link/printer_link.h"
#include "protocol/esc_cmd.h"
#include "session/app_context.h"
#include "support/fake_clock.h"
#include "support/scripted_usb.h"

namespace quillon::testing {

// Texts are the keys themselves ("MSG016"); keys outside MSG001..MSG031 are missing.
class RecordingMessages final : public Messages {
 public:
  struct Box {
    int kind;
    std::string text;
  };
  std::string Text(const std::string& key) override;
  int MSGDLG(int kind, const std::string& caption, const std::string& text) override;
  std::vector<Box> boxes;
};

class RecordingUi final : public FlowUi {
 public:
  explicit RecordingUi(Messages& messages, const ScriptedUsb* usb = nullptr)
      : messages_(messages), usb_(usb) {}
  void ClearMemo() override { memo.clear(); }
  void MemoLine(const std::string& line) override { memo.push_back(line); }
  void SetProgressMax(int64_t max) override { progress_max = max; }
  void SetProgress(int64_t position) override;
  Messages& messages() override { return messages_; }
  bool Cancelled() override {
    return cancel_after_progress >= 0 && progress_calls >= cancel_after_progress;
  }

  std::vector<std::string> memo;
  int64_t progress_max = -1;
  int64_t progress = -1;
  int progress_calls = 0;
  int cancel_after_progress = -1;  // >= 0: ask to stop once that many positions were set
  // Number of USB writes made when the position first reached the maximum (-1: never).
  int writes_when_full = -1;

 private:
  Messages& messages_;
  const ScriptedUsb* usb_;
};

// One command as the test printer received it.
struct Received {
  uint8_t kind = 0;
  uint8_t code = 0;
  uint16_t opera = 0;
  std::vector<uint8_t> data;
  std::vector<uint8_t> raw;
};

// How the test printer answers one command.
enum class Answer { kAck, kSilent, kBadChecksum };

// The printer's side of the flash commands, answering each write on ScriptedUsb.
class TestPrinter {
 public:
  explicit TestPrinter(ScriptedUsb& usb);
  // Decides the answer to each framed command; attempt counts commands with the same
  // code and the same first data word (address) in a row, from 1.
  std::function<Answer(const Received&, int attempt)> fault;
  std::optional<uint8_t> old_status;  // byte answered to an older-protocol image
  bool corrupt_boot_data = false;     // flip one bit of the image as it is stored

  std::vector<Received> commands;                // framed commands, in order
  std::vector<std::vector<uint8_t>> raw_writes;  // unframed writes (older protocol)
  std::vector<uint8_t> flash;                    // font flash: erased 0xFF, written data
  uint32_t boot_size = 0;
  std::vector<uint8_t> boot_image;
  bool boot_verified = false;

  std::vector<const Received*> WithCode(uint8_t code) const;

 private:
  void OnWrite(const std::vector<uint8_t>& bytes, ScriptedUsb& usb);
  bool Handle(const Received& r);  // false: the check fails and the printer stays silent
  int attempt_ = 0;
};

// Everything one flow needs, wired together; the USB printer is present.
struct FlashRig {
  FlashRig();
  FakeClock clock{1000};
  FakeClockPump pump{clock};
  ScriptedUsb usb{&clock};
  PrinterLink link{usb, clock, pump};
  EscCmd esc{link};
  RecordingMessages messages;
  RecordingUi ui{messages, &usb};
  int presence_checks = 0;
  AppContext ctx{link, esc, messages, [this] {
                   ++presence_checks;
                   if (link.USB().isFindPrint) return true;
                   messages.MSGDLG(0, "", messages.Text("MSG003"));
                   return false;
                 }};
  TestPrinter printer{usb};
};

// A file in a fresh temporary folder, removed with the object.
class TempFile {
 public:
  explicit TempFile(const std::vector<uint8_t>& bytes, const std::string& name = "image.bin");
  ~TempFile();
  std::string path() const { return path_.string(); }
  std::filesystem::path folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
  std::filesystem::path path_;
};

std::vector<uint8_t> Pattern(size_t size, uint32_t seed = 1);

}  // namespace quillon::testing
