// Layout and buttons of the code-page copy dialog.
#include "fonteditor/copy_code_page_dialog.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "core/messages.h"
#include "fonteditor/font_address_map.h"
#include "fonteditor/font_editor_prompts.h"

namespace quillon {
namespace {

QComboBox* PageList(QWidget* parent, const char* name) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  for (int page = 0; page < kCodePageCount; ++page) box->addItem(QString::number(page));
  box->setCurrentIndex(0);
  box->setMaxVisibleItems(20);
  return box;
}

}  // namespace

TFont_ADJ_8M_CopyCodePage::TFont_ADJ_8M_CopyCodePage(FontEditorPrompts& prompts, QWidget* parent)
    : QDialog(parent), prompts_(prompts) {
  setObjectName("Font_ADJ_8M_CopyCodePage");
  setWindowTitle("Font_ADJ_8M_CopyCodePage");
  setFixedSize(330, 110);

  auto* lbl1 = new QLabel("Copy CodePage Font From", this);
  lbl1->setObjectName("lbl1");
  lbl1->setGeometry(12, 16, 160, 22);
  cbb_src = PageList(this, "cbb_src");
  cbb_src->setGeometry(172, 14, 56, 24);
  auto* lbl2 = new QLabel("TO", this);
  lbl2->setObjectName("lbl2");
  lbl2->setGeometry(238, 16, 24, 22);
  cbb_dec = PageList(this, "cbb_dec");
  cbb_dec->setGeometry(262, 14, 56, 24);

  auto* line = new QFrame(this);
  line->setObjectName("bvl1");
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(8, 50, 314, 4);

  auto* btn2 = new QPushButton("OK", this);
  btn2->setObjectName("btn2");
  btn2->setGeometry(152, 70, 80, 28);
  btn2->setDefault(true);
  auto* btn1 = new QPushButton("Cancel", this);
  btn1->setObjectName("btn1");
  btn1->setGeometry(240, 70, 80, 28);
  connect(btn2, &QPushButton::clicked, this, &TFont_ADJ_8M_CopyCodePage::btn2Click);
  connect(btn1, &QPushButton::clicked, this, &TFont_ADJ_8M_CopyCodePage::btn1Click);
}

int TFont_ADJ_8M_CopyCodePage::source() const {
  return cbb_src->currentIndex();
}
int TFont_ADJ_8M_CopyCodePage::target() const {
  return cbb_dec->currentIndex();
}

void TFont_ADJ_8M_CopyCodePage::btn2Click() {
  if (source() == target()) {
    prompts_.MSGDLG(kMsgInfo, "", "Copy source cannot be the same as target source.");
    return;
  }
  accept();
}

void TFont_ADJ_8M_CopyCodePage::btn1Click() {
  reject();
}

}  // namespace quillon
