// Page TabSheet3: the printer's basic parameters, print function settings and the wireless
// and network group, each setting with its query and set buttons.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/page_builder.h"
#include "app/pages.h"

namespace quillon {
namespace {

struct ByteSetting {
  const char* label;
  const char* label_text;
  const char* combo;
  QStringList items;
  const char* query;
  const char* set;
};

QGroupBox* BuildBasicGroup(QWidget* page) {
  QGroupBox* g = ui::Group(page, "GroupBox1", "打印机基本参数");
  auto* lbl1 = ui::Label(g, "lbl1", "屏幕显示语言:");
  auto* combo = ui::Combo(g, "cbb_language", {"0:中文（默认）", "1:English"}, 0, true);
  auto* btn1 = ui::Button(g, "btn1", "查询");
  auto* btn2 = ui::Button(g, "btn2", "设置");
  auto* btn3 = ui::Button(g, "btn3", "恢复出厂设置");
  auto* row = new QHBoxLayout(g);
  row->addWidget(lbl1);
  row->addWidget(combo, 1);
  row->addWidget(btn1);
  row->addWidget(btn2);
  row->addWidget(btn3);
  return g;
}

QGroupBox* BuildPrintGroup(QWidget* page) {
  QGroupBox* g = ui::Group(page, "grp1", "打印功能配置");
  const ByteSetting settings[] = {
      {"lbl2", "打印指令集:", "cbb_cmdmode", {"0:ESC/POS", "1:TSPL"}, "btn4", "btn5"},
      {"lbl3", "纸张类型:", "cbb_tagmode", {"0:小票纸", "1:间隙纸"}, "btn6", "btn7"},
      {"lbl4",
       "打印速度模式:",
       "cbb_stepmode",
       {"0:系统默认(自动调整)", "1:较慢", "2:正常", "3:较快"},
       "btn8",
       "btn9"},
      {"lbl5",
       "打印浓度模式:",
       "cbb_blackness",
       {"0:系统默认", "1:较淡", "2:正常", "3:较浓"},
       "btn10",
       "btn11"},
      {"lbl6",
       "字符集:",
       "cbb_charset",
       {"0:GB18030(中文)", "1:UTF-8", "2:UNICODE"},
       "btn12",
       "btn13"},
      {"lbl16",
       "便携休眠设置:",
       "cbb_sleep",
       {"0:一直开启", "1:30s", "2:60s", "3:120s", "4:180s", "5:210s", "6:240s", "7:关闭电源"},
       "btn41",
       "btn42"},
  };
  auto* grid = new QGridLayout;
  int row = 0;
  for (const ByteSetting& s : settings) {
    grid->addWidget(ui::Label(g, s.label, s.label_text), row, 0);
    // The sleep box starts with its first text shown but no item chosen.
    const bool sleep = QLatin1String(s.combo) == QLatin1String("cbb_sleep");
    grid->addWidget(ui::Combo(g, s.combo, s.items, sleep ? -1 : 0, true, s.items.front()), row, 1);
    grid->addWidget(ui::Button(g, s.query, "查询"), row, 2);
    grid->addWidget(ui::Button(g, s.set, "设置"), row, 3);
    ++row;
  }
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(row, 1);  // extra height goes below the rows, not between them

  auto* info = new QVBoxLayout;
  info->addWidget(ui::Button(g, "btn14", "获取打印机信息"));
  info->addWidget(ui::Memo(g, "mmo_info", /*enabled=*/false), 1);

  auto* h = new QHBoxLayout(g);
  h->addLayout(grid, 3);
  h->addLayout(info, 2);
  return g;
}

QGroupBox* BuildWirelessGroup(QWidget* page) {
  QGroupBox* g = ui::Group(page, "grp2", "无线及网络配置");
  auto* grid = new QGridLayout;
  grid->addWidget(ui::Label(g, "lbl7", "蓝牙名称:"), 0, 0);
  grid->addWidget(ui::Edit(g, "edt_blue_name"), 0, 1);
  grid->addWidget(ui::Button(g, "btn15", "查询"), 0, 2);
  grid->addWidget(ui::Button(g, "btn16", "设置"), 0, 3);
  grid->addWidget(ui::Label(g, "lbl8", "蓝牙配对码:"), 1, 0);
  grid->addWidget(ui::Edit(g, "edt_blue_pin"), 1, 1);
  grid->addWidget(ui::Button(g, "btn17", "查询"), 1, 2);
  grid->addWidget(ui::Button(g, "btn18", "设置"), 1, 3);
  grid->addWidget(ui::Label(g, "lbl9", "蓝牙地址:"), 2, 0);
  grid->addWidget(ui::Edit(g, "edt_blue_mac", QString(), /*enabled=*/false), 2, 1);
  grid->addWidget(ui::Button(g, "btn19", "查询"), 2, 2);
  grid->setColumnStretch(1, 1);
  for (const char* name : {"edt_blue_name", "edt_blue_pin", "edt_blue_mac"}) {
    auto* edit = g->findChild<QLineEdit*>(name);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 14);
  }

  auto* networks = new QHBoxLayout;
  networks->addWidget(ui::Button(g, "btn_wifi", "WIFI参数配置"));
  networks->addWidget(ui::Button(g, "btn49", "网线参数配置"));
  networks->addStretch(1);

  auto* v = new QVBoxLayout(g);
  v->addLayout(grid);
  v->addLayout(networks);
  v->addWidget(ui::Check(g, "chk_init_printer", "设置蓝牙名称后初始化打印机"));
  v->addWidget(ui::Check(g, "chk_print_test", "是否同时打印测试内容"));
  v->addStretch(1);
  return g;
}

}  // namespace

QWidget* BuildSettingsPage(QWidget* parent) {
  auto* page = new QWidget(parent);
  page->setObjectName("TabSheet3");
  QGroupBox* basic = BuildBasicGroup(page);
  QGroupBox* print = BuildPrintGroup(page);
  QGroupBox* wireless = BuildWirelessGroup(page);

  auto* left = new QVBoxLayout;
  left->addWidget(basic);
  left->addWidget(print, 1);
  auto* h = new QHBoxLayout(page);
  h->addLayout(left, 3);
  h->addWidget(wireless, 2);
  return page;
}

}  // namespace quillon
