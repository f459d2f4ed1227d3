// A settings page or dialog wired to a virtual printer on a fake clock: every block the
// host writes is recorded, and message boxes are recorded and answered by the test.
#pragma once

#include <QComboBox>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/messages.h"
#include "link/printer_link.h"
#include "protocol/esc_cmd.h"
#include "session/app_context.h"
#include "support/fake_clock.h"
#include "virtualprinter/virtual_printer.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon::testing {

// Passes everything on to another backend and records each block written.
class RecordingUsb final : public UsbBackend {
 public:
  explicit RecordingUsb(UsbBackend& inner) : inner_(inner) {}
  void ListDevicePaths(std::vector<std::string>& paths) override { inner_.ListDevicePaths(paths); }
  UsbOpenResult Open(const std::string& path) override;

  std::vector<std::vector<uint8_t>> writes;
  std::function<void(const std::vector<uint8_t>&)> on_write;

 private:
  UsbBackend& inner_;
};

// Message texts by key, and boxes recorded with the answer the test chose.
class ScriptedMessages final : public Messages {
 public:
  struct Shown {
    int kind;
    std::string text;
  };
  std::map<std::string, std::string> texts{
      {"MSG003", "no printer"},    {"MSG017", "command failed"}, {"MSG018", "accepted"},
      {"MSG025", "restore?"},      {"MSG026", "restore failed"}, {"MSG027", "restored"},
      {"MSG029", "L:%.2f H:%.2f"},
  };
  std::vector<Shown> shown;
  int question_answer = kMsgResultOk;
  std::function<void(const Shown&)> on_show;

  std::string Text(const std::string& key) override {
    auto it = texts.find(key);
    return it == texts.end() ? "ERROR" : it->second;
  }
  int MSGDLG(int kind, const std::string&, const std::string& text) override {
    shown.push_back({kind, text});
    if (on_show) on_show(shown.back());
    return kind == kMsgQuestion || kind == kMsgErrorCancel ? question_answer : kMsgResultOk;
  }
};

struct SettingsRig {
  SettingsRig();

  // Command codes (second byte) of the framed packets written, in order.
  std::vector<uint8_t> Codes() const;
  // The data bytes of the n-th written packet.
  std::vector<uint8_t> Data(size_t n) const;
  std::string LastText() const { return messages.shown.empty() ? "" : messages.shown.back().text; }
  int LastKind() const { return messages.shown.empty() ? -1 : messages.shown.back().kind; }
  void Clear() {
    usb.writes.clear();
    messages.shown.clear();
  }
  vp::PrinterSettings& settings() { return printer.state().settings; }

  FakeClock clock{1000};
  FakeClockPump pump{clock};
  vp::VirtualPrinter printer;
  vp::VirtualUsbBackend vusb{printer};
  RecordingUsb usb{vusb};
  PrinterLink link{usb, clock, pump};
  EscCmd esc{link};
  ScriptedMessages messages;
  AppContext ctx;
};

// A page holding the settings page's controls (named as in the main window).
std::unique_ptr<QWidget> BuildSettingsTestPage();
// The label control page's controls.
std::unique_ptr<QWidget> BuildLabelTestPage();

// Clicks the button named name inside parent.
void Click(QWidget* parent, const char* name);

template <typename W>
W* Find(QWidget* parent, const char* name) {
  return parent->findChild<W*>(QString::fromLatin1(name));
}

}  // namespace quillon::testing
