// Page TabSheet4: inner pages ts1 (ESC/POS test buttons and the picture button) and ts2
// (label sensing), and below them the text panel with its encoding choice and send button.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/page_builder.h"
#include "app/pages.h"

namespace quillon {
namespace {

QWidget* BuildEscPosPage(QTabWidget* tabs) {
  auto* page = new QWidget(tabs);
  page->setObjectName("ts1");
  const std::pair<const char*, const char*> buttons[] = {
      {"btn25", "打印图片"},      {"btn26", "开打钱箱"},      {"btn27", "打印测试页"},
      {"btn28", "打印条码"},      {"btn29", "打印QR码"},      {"btn30", "标准字体24x24"},
      {"btn31", "倍高"},          {"btn32", "倍宽"},          {"btn33", "双向"},
      {"btn34", "左对齐"},        {"btn35", "中对齐"},        {"btn36", "右对齐"},
      {"btn37", "压缩字体16x16"}, {"btn38", "1B40 默认参数"}, {"btn39", "进纸 3cm"},
      {"btn40", "切刀控制"},
  };
  auto* grid = new QGridLayout(page);
  int i = 0;
  for (const auto& [name, caption] : buttons) {
    grid->addWidget(ui::Button(page, name, caption), i / 4, i % 4);
    ++i;
  }
  // The printer's real-time status, asked again with the button beside it.
  auto* status = ui::Label(page, "lbl_status", "");
  status->setWordWrap(true);
  grid->addWidget(status, 4, 0, 1, 3);
  grid->addWidget(ui::Button(page, "btn_status", "刷新状态"), 4, 3);
  tabs->addTab(page, "ESC/POS控制");
  return page;
}

QWidget* BuildLabelPage(QTabWidget* tabs) {
  auto* page = new QWidget(tabs);
  page->setObjectName("ts2");
  auto* grid = new QGridLayout(page);
  grid->addWidget(ui::Label(page, "lbl12", "标签侦测距离："), 0, 0);
  grid->addWidget(ui::Edit(page, "edt_TagSensor", "0"), 0, 1);
  grid->addWidget(ui::Label(page, "lbl13", "撕纸口距离："), 1, 0);
  grid->addWidget(ui::Edit(page, "edt_TagOut", "0"), 1, 1);
  grid->addWidget(ui::Button(page, "btn47", "查询"), 0, 2);
  grid->addWidget(ui::Button(page, "btn48", "设置"), 1, 2);
  grid->addWidget(ui::Button(page, "btn45", "查询标签阀值"), 0, 3);
  grid->addWidget(ui::Button(page, "btn46", "标签识别自检"), 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(2, 1);
  tabs->addTab(page, "标签控制");
  return page;
}

QWidget* BuildTextPanel(QWidget* page) {
  auto* panel = new QWidget(page);  // a plain panel: keeps no caption of its own
  auto* lbl10 = ui::Label(panel, "lbl10", "编码选择:");
  auto* btn20 = ui::Button(panel, "btn20", QString());
  btn20->setIcon(QIcon::fromTheme("preferences-desktop-font",
                                  panel->style()->standardIcon(QStyle::SP_FileDialogDetailedView)));
  auto* charset =
      ui::Combo(panel, "cbb_send_charset", {"ANSI", "UTF-8", "UNICODE", "HEX"}, 0, true);
  auto* send = ui::Button(panel, "btn_send", "发送到打印机");
  auto* clear = ui::Button(panel, "btn43", "清除内容");
  auto* esc = ui::Check(panel, "chk_esc", "chk_esc");
  auto* table = ui::Button(panel, "btn53", ">");
  table->setMaximumWidth(table->fontMetrics().horizontalAdvance(">>>>") + 8);
  auto* text = ui::Memo(panel, "redt_text");
  text->setFont(QFont("Tahoma"));

  auto* row = new QHBoxLayout;
  row->addWidget(lbl10);
  row->addWidget(btn20);
  row->addWidget(charset);
  row->addWidget(send);
  row->addWidget(clear);
  row->addWidget(esc);
  row->addStretch(1);
  row->addWidget(table);
  auto* v = new QVBoxLayout(panel);
  v->setContentsMargins(0, 0, 0, 0);
  v->addLayout(row);
  v->addWidget(text, 1);
  return panel;
}

}  // namespace

QWidget* BuildPrintTestPage(QWidget* parent) {
  auto* page = new QWidget(parent);
  page->setObjectName("TabSheet4");
  auto* tabs = new QTabWidget(page);
  tabs->setObjectName("PageControl2");
  BuildEscPosPage(tabs);
  BuildLabelPage(tabs);
  tabs->setCurrentIndex(0);
  QWidget* panel = BuildTextPanel(page);

  auto* v = new QVBoxLayout(page);
  v->addWidget(tabs);
  v->addWidget(panel, 1);
  return page;
}

}  // namespace quillon
