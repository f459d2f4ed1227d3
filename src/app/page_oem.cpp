// Page TabSheet5: the screen boot logo and the production serial number buttons.
#include <QVBoxLayout>

#include "app/page_builder.h"
#include "app/pages.h"

namespace quillon {

QWidget* BuildOemPage(QWidget* parent) {
  auto* page = new QWidget(parent);
  page->setObjectName("TabSheet5");
  auto* logo = ui::Button(page, "btn_logo", "屏幕开机LOGO");
  auto* serial = ui::Button(page, "btn50", "写入打印机序列号");
  for (QPushButton* b : {logo, serial}) b->setMinimumHeight(b->sizeHint().height() * 2);

  auto* v = new QVBoxLayout(page);
  v->addWidget(logo);
  v->addWidget(serial);
  v->addStretch(1);
  return page;
}

}  // namespace quillon
