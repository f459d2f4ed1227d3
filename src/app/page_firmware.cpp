// Page TabSheet1: firmware file, update buttons, older-model check box, progress, notes and
// the enter-flashing-mode and flash unlock buttons.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/page_builder.h"
#include "app/pages.h"

namespace quillon {

QWidget* BuildFirmwarePage(QWidget* parent) {
  auto* page = new QWidget(parent);
  page->setObjectName("TabSheet1");

  // Created in the order the language file lists them.
  auto* btn21 = ui::Button(page, "btn21", "第一步:加载固件文件");
  auto* path = ui::GreyLabel(page, "lbl_hardware_path", "未加载文件");
  auto* btn22 = ui::Button(page, "btn22", "第二步:点击更新固件");
  auto* progress = ui::Progress(page, "pb_update");
  // Ends a running update (also Esc); enabled only while one runs.
  auto* stop = ui::Button(page, "btn_stop_update", "停止");
  stop->setEnabled(false);
  auto* chk_old = ui::Check(page, "chk_old", "较早机型，请勾选这里");
  auto* memo = ui::Memo(page, "mmo_update_info");
  auto* lbl11 = ui::Label(page, "lbl11", "注意事项");
  auto* lbl14 = ui::Label(page, "lbl14", "1、请确保打印机处理刷机模式");
  auto* lbl17 = ui::Label(page, "lbl17", "2、请选择对应机型的固件程序，在刷机过程中请不要断电");
  auto* lbl18 =
      ui::Label(page, "lbl18",
                "3、有部分机型，需要手动设置进入刷机模式才能进入刷机，要进入刷机模式，请点击:");
  auto* btn44 = ui::Button(page, "btn44", "进入刷机模式");
  auto* btn52 = ui::Button(page, "btn52", "Flash UnLock");
  lbl17->setWordWrap(true);
  lbl18->setWordWrap(true);

  auto* top = new QGridLayout;
  top->addWidget(btn21, 0, 0);
  top->addWidget(path, 0, 1);
  top->addWidget(btn22, 1, 0);
  top->addWidget(progress, 1, 1);
  top->addWidget(stop, 1, 2);
  top->setColumnStretch(1, 1);

  auto* flash_mode = new QHBoxLayout;
  flash_mode->addWidget(lbl18, 1);
  flash_mode->addWidget(btn44);

  auto* unlock = new QHBoxLayout;
  unlock->addStretch(1);
  unlock->addWidget(btn52);

  auto* v = new QVBoxLayout(page);
  v->addLayout(top);
  v->addWidget(chk_old);
  v->addWidget(memo, 1);
  v->addWidget(lbl11);
  v->addWidget(lbl14);
  v->addWidget(lbl17);
  v->addLayout(flash_mode);
  v->addLayout(unlock);
  return page;
}

}  // namespace quillon
