#include "settings_gui_fixture.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace quillon::testing {
namespace {

class RecordingDevice final : public UsbDevice {
 public:
  RecordingDevice(std::unique_ptr<UsbDevice> inner, RecordingUsb& owner,
                  std::vector<std::vector<uint8_t>>& writes,
                  std::function<void(const std::vector<uint8_t>&)>& on_write)
      : inner_(std::move(inner)), writes_(writes), on_write_(on_write) {}
  bool Write(const uint8_t* data, size_t len) override {
    writes_.emplace_back(data, data + len);
    if (on_write_) on_write_(writes_.back());
    return inner_->Write(data, len);
  }
  int Read(uint8_t* buf, size_t cap, uint32_t timeout_ms) override {
    return inner_->Read(buf, cap, timeout_ms);
  }

 private:
  std::unique_ptr<UsbDevice> inner_;
  std::vector<std::vector<uint8_t>>& writes_;
  std::function<void(const std::vector<uint8_t>&)>& on_write_;
};

vp::VirtualPrinter::Options NoFont() {
  vp::VirtualPrinter::Options o;
  o.load_factory_font = false;
  return o;
}

template <typename W>
W* Add(QWidget* page, const char* name, W* w) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

}  // namespace

UsbOpenResult RecordingUsb::Open(const std::string& path) {
  UsbOpenResult r = inner_.Open(path);
  if (r.device) {
    r.device = std::make_unique<RecordingDevice>(std::move(r.device), *this, writes, on_write);
  }
  return r;
}

SettingsRig::SettingsRig()
    : printer(NoFont(), clock), ctx{link, esc, messages, [this] {
                                      if (link.USB().isFindPrint) return true;
                                      messages.MSGDLG(kMsgPlain, "", messages.Text("MSG003"));
                                      return false;
                                    }} {
  printer.UseManualTime([this](uint32_t ms) { clock.Advance(ms); });
  link.SetUsbIds(vp::kDefaultVid, vp::kDefaultPid);
  link.FindPrinter();
}

std::vector<uint8_t> SettingsRig::Codes() const {
  std::vector<uint8_t> codes;
  for (const auto& w : usb.writes) {
    if (w.size() >= 7 && w[0] == 0x10) codes.push_back(w[1]);
  }
  return codes;
}

std::vector<uint8_t> SettingsRig::Data(size_t n) const {
  const auto& w = usb.writes.at(n);
  if (w.size() < 7) return {};
  const size_t size = w[4] | (w[5] << 8);
  return std::vector<uint8_t>(w.begin() + 6, w.begin() + 6 + static_cast<long>(size));
}

std::unique_ptr<QWidget> BuildSettingsTestPage() {
  auto page = std::make_unique<QWidget>();
  page->setObjectName("TabSheet3");
  struct Box {
    const char* name;
    QStringList items;
  };
  const Box boxes[] = {
      {"cbb_language", {"0:中文（默认）", "1:English"}},
      {"cbb_cmdmode", {"0:ESC/POS", "1:TSPL"}},
      {"cbb_tagmode", {"0:小票纸", "1:间隙纸"}},
      {"cbb_stepmode", {"0:系统默认(自动调整)", "1:较慢", "2:正常", "3:较快"}},
      {"cbb_blackness", {"0:系统默认", "1:较淡", "2:正常", "3:较浓"}},
      {"cbb_charset", {"0:GB18030(中文)", "1:UTF-8", "2:UNICODE"}},
      {"cbb_sleep",
       {"0:一直开启", "1:30s", "2:60s", "3:120s", "4:180s", "5:210s", "6:240s", "7:关闭电源"}},
  };
  for (const Box& b : boxes) {
    auto* c = Add(page.get(), b.name, new QComboBox(page.get()));
    c->setEditable(true);
    c->addItems(b.items);
    c->setCurrentIndex(0);
  }
  // The sleep box starts showing its first text with no item chosen.
  auto* sleep = Find<QComboBox>(page.get(), "cbb_sleep");
  sleep->setCurrentIndex(-1);
  sleep->setEditText(sleep->itemText(0));
  for (const char* b : {"btn1",  "btn2",  "btn3",  "btn4",  "btn5",  "btn6",     "btn7",  "btn8",
                        "btn9",  "btn10", "btn11", "btn12", "btn13", "btn14",    "btn15", "btn16",
                        "btn17", "btn18", "btn19", "btn41", "btn42", "btn_wifi", "btn49"}) {
    Add(page.get(), b, new QPushButton(page.get()));
  }
  for (const char* e : {"edt_blue_name", "edt_blue_pin", "edt_blue_mac"}) {
    Add(page.get(), e, new QLineEdit(page.get()));
  }
  Add(page.get(), "mmo_info", new QPlainTextEdit(page.get()))->setEnabled(false);
  Add(page.get(), "chk_init_printer", new QCheckBox(page.get()));
  Add(page.get(), "chk_print_test", new QCheckBox(page.get()));
  return page;
}

std::unique_ptr<QWidget> BuildLabelTestPage() {
  auto page = std::make_unique<QWidget>();
  page->setObjectName("ts2");
  Add(page.get(), "edt_TagSensor", new QLineEdit("0", page.get()));
  Add(page.get(), "edt_TagOut", new QLineEdit("0", page.get()));
  for (const char* b : {"btn45", "btn46", "btn47", "btn48"}) {
    Add(page.get(), b, new QPushButton(page.get()));
  }
  return page;
}

void Click(QWidget* parent, const char* name) {
  auto* b = Find<QPushButton>(parent, name);
  ASSERT_NE(b, nullptr) << name;
  b->click();
}

}  // namespace quillon::testing
