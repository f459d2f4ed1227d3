#include "settings/rfid_test_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/hex_text.h"
#include "link/printer_link.h"
#include "settings/gui_common.h"
#include "settings/paper_roll.h"

namespace quillon {

using namespace settings_gui;

namespace {

constexpr uint8_t kKeyModeA = 0x60;
constexpr uint8_t kKeyModeB = 0x61;
constexpr uint32_t kReaderPauseMs = 10;

QPushButton* Button(QWidget* owner, const char* name, const char* caption) {
  auto* b = new QPushButton(QString::fromLatin1(caption), owner);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

Trfid_test::Trfid_test(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setObjectName("rfid_test");
  setWindowTitle("rfid_test");
  btn_open = Button(this, "btn_open", "Open Port");
  btn_close = Button(this, "btn_close", "Close Port");
  auto* btn1 = Button(this, "btn1", "Request Card");
  uint8_t transport[6];
  FactoryTransportKey(transport);
  edt_key =
      new QLineEdit(QString::fromStdString(BytesToHexText(transport, 6, " ")).trimmed(), this);
  edt_key->setObjectName("edt_key");
  rb_keyA = new QRadioButton("A", this);
  rb_keyA->setObjectName("rb_keyA");
  rb_keyA->setChecked(true);
  rb_keyB = new QRadioButton("B", this);
  rb_keyB->setObjectName("rb_keyB");
  auto* lbl1 = new QLabel("SECTOR:", this);
  lbl1->setObjectName("lbl1");
  cbb_sector = new QComboBox(this);
  cbb_sector->setObjectName("cbb_sector");
  for (int i = 0; i < 16; ++i) cbb_sector->addItem(QString::number(i));
  cbb_sector->setMaxVisibleItems(16);
  cbb_sector->setCurrentIndex(0);
  auto* btn_read = Button(this, "btn_read", "Read");
  auto* btn2 = Button(this, "btn2", "Write");

  auto* top = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{btn_open, btn_close, btn1, edt_key, rb_keyA,
                                                    rb_keyB, lbl1, cbb_sector, btn_read, btn2}) {
    top->addWidget(w);
  }
  auto* blocks = new QGridLayout;
  const QString ff = QStringLiteral("FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF");
  for (int i = 0; i < 4; ++i) {
    auto* l = new QLabel(QStringLiteral("BLOCK 0%1:").arg(i + 1), this);
    l->setObjectName(QStringLiteral("lbl%1").arg(i + 2));
    edt_block[i] = new QLineEdit(ff, this);
    edt_block[i]->setObjectName(QStringLiteral("edt_block_0%1").arg(i));
    chk_block_write[i] = new QCheckBox("WRITE", this);
    chk_block_write[i]->setObjectName(QStringLiteral("chk_block_0%1_write").arg(i + 1));
    blocks->addWidget(l, i, 0);
    blocks->addWidget(edt_block[i], i, 1);
    blocks->addWidget(chk_block_write[i], i, 2);
  }
  auto* v = new QVBoxLayout(this);
  v->addLayout(top);
  v->addLayout(blocks);
  v->setSizeConstraint(QLayout::SetFixedSize);

  connect(btn_open, &QPushButton::clicked, this, [this] { btn_openClick(); });
  connect(btn_close, &QPushButton::clicked, this, [this] { btn_closeClick(); });
  connect(btn1, &QPushButton::clicked, this, [this] { btn1Click(); });
  connect(btn_read, &QPushButton::clicked, this, [this] { btn_readClick(); });
  connect(btn2, &QPushButton::clicked, this, [this] { btn2Click(); });
  btn_closeClick();  // starts with the link closed and only Open Port enabled
}

Trfid_test::~Trfid_test() {
  if (!ctx_.link.Busy()) ctx_.link.CloseUSB();
}

void Trfid_test::btn_openClick() {
  Command command(ctx_);
  if (!command) return;
  ctx_.link.CloseUSB();
  if (!PrinterPresent(ctx_)) return;
  ctx_.link.OpenUsb();
  btn_open->setEnabled(false);
  btn_close->setEnabled(true);
}

void Trfid_test::btn_closeClick() {
  Command command(ctx_);
  if (!command) return;
  ctx_.link.CloseUSB();
  btn_open->setEnabled(true);
  btn_close->setEnabled(!btn_open->isEnabled());
}

std::optional<std::vector<uint8_t>> Trfid_test::HexBytes(const QString& text, size_t want,
                                                         const QString& what) {
  std::vector<uint8_t> bytes = HexTextToBytes(text.toStdString());
  if (bytes.size() == want) return bytes;
  Show(ctx_, kMsgInfo,
       Say(ctx_, "MSG125",
           QStringLiteral("%1 必须是 %2 个字节（%3 个十六进制数字），现在是 %4 个字节"),
           QStringLiteral("%1 must be %2 bytes (%3 hex digits); it gives %4 bytes"))
           .arg(what)
           .arg(want)
           .arg(want * 2)
           .arg(bytes.size()));
  return std::nullopt;
}

void Trfid_test::btn1Click() {
  Command command(ctx_);
  if (!command) return;
  auto key = HexBytes(edt_key->text(), 6, QStringLiteral("KEY"));
  if (!key) return;
  PrinterLink& link = ctx_.link;
  // The reader is reset and the card halted first; their answers do not matter.
  ctx_.esc.cmd_rfid_reset(1);
  Delay(link.clock(), link.pump(), kReaderPauseMs);
  ctx_.esc.cmd_rfid_halt(1);
  Delay(link.clock(), link.pump(), kReaderPauseMs);
  const uint8_t keymode = rb_keyB->isChecked() ? kKeyModeB : kKeyModeA;
  const auto addr = static_cast<uint8_t>(cbb_sector->currentIndex() * 4);
  if (ctx_.esc.cmd_rfid_auth(1, keymode, addr, key->data(), CardSnr)) {
    Show(ctx_, kMsgInfo,
         QStringLiteral("Auth OK,CardSnr:") +
             QString::fromStdString(BytesToHexText(CardSnr, 4, "")));
  } else {
    Show(ctx_, kMsgInfo, QStringLiteral("Auth card fault"));
  }
}

void Trfid_test::btn_readClick() {
  Command command(ctx_);
  if (!command) return;
  const int sector = cbb_sector->currentIndex();
  for (int i = 0; i < 4; ++i) {
    const auto block = static_cast<uint8_t>(sector * 4 + i);
    uint8_t data[16];
    if (!ctx_.esc.cmd_rfid_read(1, block, data)) {
      Show(ctx_, kMsgInfo, QStringLiteral("Read BLOCK %1 fault").arg(block));
      return;
    }
    edt_block[i]->setText(QString::fromStdString(BytesToHexText(data, 16, " ")));
  }
  Show(ctx_, kMsgInfo, QStringLiteral("OK"));
}

void Trfid_test::btn2Click() {
  Command command(ctx_);
  if (!command) return;
  const int sector = cbb_sector->currentIndex();
  // Every ticked text is checked before the first block is written.
  std::optional<std::vector<uint8_t>> data[4];
  for (int i = 0; i < 4; ++i) {
    if (!chk_block_write[i]->isChecked()) continue;
    data[i] = HexBytes(edt_block[i]->text(), 16, QStringLiteral("BLOCK 0%1").arg(i + 1));
    if (!data[i]) return;
  }
  for (int i = 0; i < 4; ++i) {
    if (!data[i]) continue;
    const auto block = static_cast<uint8_t>(sector * 4 + i);
    if (!ctx_.esc.cmd_rfid_write(1, block, data[i]->data())) {
      Show(ctx_, kMsgInfo, QStringLiteral("Write BLOCK %1 fault").arg(block));
      return;
    }
  }
  Show(ctx_, kMsgInfo, QStringLiteral("OK"));
}

}  // namespace quillon
