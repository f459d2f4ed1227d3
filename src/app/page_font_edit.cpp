// Page ts3: the one wide button that opens the font editor.
#include <QVBoxLayout>

#include "app/page_builder.h"
#include "app/pages.h"

namespace quillon {

QWidget* BuildFontEditPage(QWidget* parent) {
  auto* page = new QWidget(parent);
  page->setObjectName("ts3");
  auto* editor = ui::Button(page, "btn51", "8M 中文/繁体/韩文/日文/CodePage 字库调整与测试");
  editor->setMinimumHeight(editor->sizeHint().height() * 2);
  auto* v = new QVBoxLayout(page);
  v->addWidget(editor);
  v->addStretch(1);
  return page;
}

}  // namespace quillon
