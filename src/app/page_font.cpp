// Page TabSheet2: font library file, packet size, erase-all check box, progress and notes.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/page_builder.h"
#include "app/pages.h"

namespace quillon {

QWidget* BuildFontPage(QWidget* parent) {
  auto* page = new QWidget(parent);
  page->setObjectName("TabSheet2");

  auto* btn23 = ui::Button(page, "btn23", "第一步:加载字体文件");
  auto* path = ui::GreyLabel(page, "lbl_hzk_path", "未加载文件");
  auto* btn24 = ui::Button(page, "btn24", "第二步:点击更新字体");
  auto* progress = ui::Progress(page, "pb_flash");
  // Ends a running download (also Esc); enabled only while one runs.
  auto* stop = ui::Button(page, "btn_stop_flash", "停止");
  stop->setEnabled(false);
  auto* erase_all = ui::Check(page, "chk_erase_all", "chk_erase_all");
  auto* lbl21 = ui::Label(page, "lbl21", "PACKSIZE:");
  auto* packsize = ui::Combo(page, "ccb_packsize", {"1024", "4096", "8192"}, 0, true);
  auto* memo = ui::Memo(page, "mmo_flash");
  auto* lbl15 = ui::Label(page, "lbl15", "注意事项");
  auto* lbl19 = ui::Label(page, "lbl19", "1、请确保打印机正常工作的状态");
  auto* lbl20 = ui::Label(page, "lbl20", "2、请选择与打印机对应FLASH大小,在更新过程中请不要断电");
  lbl20->setWordWrap(true);

  auto* top = new QGridLayout;
  top->addWidget(btn23, 0, 0);
  top->addWidget(path, 0, 1);
  top->addWidget(btn24, 1, 0);
  top->addWidget(progress, 1, 1);
  top->addWidget(stop, 1, 2);
  top->setColumnStretch(1, 1);

  auto* options = new QHBoxLayout;
  options->addWidget(erase_all);
  options->addStretch(1);
  options->addWidget(lbl21);
  options->addWidget(packsize);

  auto* v = new QVBoxLayout(page);
  v->addLayout(top);
  v->addLayout(options);
  v->addWidget(memo, 1);
  v->addWidget(lbl15);
  v->addWidget(lbl19);
  v->addWidget(lbl20);
  return page;
}

}  // namespace quillon
