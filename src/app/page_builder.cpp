#include "app/page_builder.h"

namespace quillon::ui {

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

QLabel* Label(QWidget* parent, const char* name, const QString& caption) {
  auto* l = new QLabel(caption, parent);
  l->setObjectName(name);
  return l;
}

QLabel* GreyLabel(QWidget* parent, const char* name, const QString& caption) {
  QLabel* l = Label(parent, name, caption);
  QPalette p = l->palette();
  p.setColor(QPalette::WindowText, Qt::gray);
  l->setPalette(p);
  l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return l;
}

QCheckBox* Check(QWidget* parent, const char* name, const QString& caption, bool checked) {
  auto* c = new QCheckBox(caption, parent);
  c->setObjectName(name);
  c->setChecked(checked);
  return c;
}

QGroupBox* Group(QWidget* parent, const char* name, const QString& caption) {
  auto* g = new QGroupBox(caption, parent);
  g->setObjectName(name);
  return g;
}

QComboBox* Combo(QWidget* parent, const char* name, const QStringList& items, int index,
                 bool editable, const QString& edit_text) {
  auto* c = new QComboBox(parent);
  c->setObjectName(name);
  c->setEditable(editable);
  // Typed text stays in the edit field: Enter must not add it to the items, whose order
  // gives the values sent to the printer.
  if (editable) c->setInsertPolicy(QComboBox::NoInsert);
  c->addItems(items);
  c->setCurrentIndex(index);
  if (index < 0 && editable) c->setEditText(edit_text);
  return c;
}

QLineEdit* Edit(QWidget* parent, const char* name, const QString& text, bool enabled) {
  auto* e = new QLineEdit(text, parent);
  e->setObjectName(name);
  e->setEnabled(enabled);
  return e;
}

QPlainTextEdit* Memo(QWidget* parent, const char* name, bool enabled) {
  auto* m = new QPlainTextEdit(parent);
  m->setObjectName(name);
  m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m->setEnabled(enabled);
  return m;
}

QProgressBar* Progress(QWidget* parent, const char* name) {
  auto* p = new QProgressBar(parent);
  p->setObjectName(name);
  p->setRange(0, 100);
  p->setValue(0);
  return p;
}

}  // namespace quillon::ui
