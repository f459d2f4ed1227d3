#include "settings/paper_roll_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/printer_link.h"
#include "settings/gui_common.h"
#include "settings/paper_roll.h"

namespace quillon {

using namespace settings_gui;

namespace {

QLineEdit* AddRow(QGridLayout* grid, QWidget* owner, int n, const char* caption, const char* edit,
                  const char* text, const char* unit) {
  auto* l = new QLabel(QString::fromLatin1(caption), owner);
  l->setObjectName(QStringLiteral("lbl%1").arg(n));
  auto* e = new QLineEdit(QString::fromLatin1(text), owner);
  e->setObjectName(QString::fromLatin1(edit));
  auto* u = new QLabel(QString::fromLatin1(unit), owner);
  u->setObjectName(QStringLiteral("lbl%1").arg(n + 4));
  grid->addWidget(l, n - 1, 0);
  grid->addWidget(e, n - 1, 1);
  grid->addWidget(u, n - 1, 2);
  return e;
}

}  // namespace

TPaper_roll::TPaper_roll(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setObjectName("Paper_roll");
  setWindowTitle("Paper Roll");
  auto* grid = new QGridLayout;
  auto* lbl1 = new QLabel("PaperType:", this);
  lbl1->setObjectName("lbl1");
  cbb_PaperType = new QComboBox(this);
  cbb_PaperType->setObjectName("cbb_PaperType");
  cbb_PaperType->addItems({"Continuous Paper", "GAP Paper"});
  cbb_PaperType->setCurrentIndex(1);
  grid->addWidget(lbl1, 0, 0);
  grid->addWidget(cbb_PaperType, 0, 1, 1, 2);
  edt_count = AddRow(grid, this, 2, "Number of labels:", "edt_count", "200", "Piece");
  edt_width = AddRow(grid, this, 3, "Label width:", "edt_width", "50", "mm");
  edt_height = AddRow(grid, this, 4, "Label Height:", "edt_height", "30", "mm");
  edt_gap = AddRow(grid, this, 5, "GAP Height:", "edt_gap", "2", "mm");

  auto* btn2 = new QPushButton("Create a new label", this);
  btn2->setObjectName("btn2");
  auto* btn3 = new QPushButton("Read", this);
  btn3->setObjectName("btn3");
  for (QPushButton* b : {btn2, btn3}) b->setAutoDefault(false);
  connect(btn2, &QPushButton::clicked, this, [this] { btn2Click(); });
  connect(btn3, &QPushButton::clicked, this, [this] { btn3Click(); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btn2);
  buttons->addWidget(btn3);
  auto* v = new QVBoxLayout(this);
  v->addLayout(grid);
  v->addLayout(buttons);
  layout()->setSizeConstraint(QLayout::SetFixedSize);  // fits its captions in any language
}

void TPaper_roll::btn2Click() {
  Command command(ctx_);
  if (!command) return;
  int32_t values[4];
  QLineEdit* edits[4] = {edt_count, edt_width, edt_height, edt_gap};
  for (int i = 0; i < 4; ++i) {
    auto v = ParseInt32(edits[i]->text());
    if (!v) {  // nothing is sent
      Show(ctx_, kMsgInfo, NotAnInteger(ctx_, edits[i]->text()));
      return;
    }
    values[i] = *v;
  }
  const TPaper paper = MakePaper(static_cast<uint8_t>(cbb_PaperType->currentIndex() & 0xFF),
                                 values[0], values[1], values[2], values[3]);
  if (!PrinterPresent(ctx_)) return;
  PrinterLink& link = ctx_.link;
  RollResult result = CreateRollTag(ctx_.esc, paper,
                                    [&link](uint32_t ms) { Delay(link.clock(), link.pump(), ms); });
  Show(ctx_, kMsgInfo, QString::fromStdString(result.message));
}

void TPaper_roll::btn3Click() {
  Command command(ctx_);
  if (!command) return;
  TPaper paper{};
  RollResult result = ReadRollTag(ctx_.esc, paper);
  if (result.ok) {
    // An item the box does not have leaves none chosen; the check byte is not looked at.
    cbb_PaperType->setCurrentIndex(paper.PaperType < cbb_PaperType->count() ? paper.PaperType : -1);
    edt_count->setText(QString::number(paper.Count()));
    edt_width->setText(QString::number(paper.Width()));
    edt_height->setText(QString::number(paper.Height()));
    edt_gap->setText(QString::number(paper.Gap()));
  }
  Show(ctx_, kMsgInfo, QString::fromStdString(result.message));
}

}  // namespace quillon
