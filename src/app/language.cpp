#include "app/language.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QWidget>
#include <map>
#include <vector>

#include "core/file_locations.h"
#include "core/ini_file.h"

namespace quillon {
namespace {

// INI values hold one line: a caption's line breaks are kept as the two characters "\n".
QString FromIni(const std::string& value) {
  return QString::fromStdString(value).replace(QLatin1String("\\n"), QLatin1String("\n"));
}

std::string ToIni(QString caption) {
  caption.replace(QLatin1String("\r\n"), QLatin1String("\\n"));
  caption.replace(QLatin1Char('\n'), QLatin1String("\\n"));
  caption.replace(QLatin1Char('\r'), QLatin1String("\\n"));
  return caption.toStdString();
}

// The tab widget that shows w as one of its pages, or null.
QTabWidget* TabOwner(QWidget* w) {
  auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
  if (!stack) return nullptr;
  auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget());
  return tabs && tabs->indexOf(w) >= 0 ? tabs : nullptr;
}

// Controls that the language files localise, in creation order. Qt's own internal widgets
// ("qt_..." names) and unnamed ones are not components of the window.
QList<QWidget*> Components(QWidget* form) {
  QList<QWidget*> out;
  for (QWidget* w : form->findChildren<QWidget*>()) {
    const QString name = w->objectName();
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
    out.append(w);
  }
  return out;
}

enum class Kind { kNone, kCaption, kCombo };

Kind KindOf(QWidget* w) {
  if (qobject_cast<QComboBox*>(w)) return Kind::kCombo;
  if (qobject_cast<QPushButton*>(w) || qobject_cast<QCheckBox*>(w) || qobject_cast<QLabel*>(w) ||
      qobject_cast<QGroupBox*>(w) || TabOwner(w))
    return Kind::kCaption;
  return Kind::kNone;
}

void SetCaption(QWidget* w, const QString& text) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    b->setText(text);
  } else if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setText(text);
  } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
    g->setTitle(text);
  } else if (QTabWidget* tabs = TabOwner(w)) {
    tabs->setTabText(tabs->indexOf(w), text);
  }
}

QString Caption(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (QTabWidget* tabs = TabOwner(w)) return tabs->tabText(tabs->indexOf(w));
  return QString();
}

}  // namespace

std::string LanguageFileName(const QWidget* form) {
  return "language_" + form->objectName().toStdString() + ".ini";
}

void Language_Set(QWidget* form, const std::string& title) {
  // One read of the section per file, keys looked up without regard to case. The user's
  // copy comes first in the read order: its keys win over the shipped file's.
  const std::vector<std::string> order = Files().LanguageReadOrder(LanguageFileName(form));
  std::map<std::string, std::string> values;
  for (const std::string& file : order) values.merge(IniFile(file).ReadSection(title));
  auto value = [&](const QString& key, const QString& def) {
    auto it = values.find(key.toLower().toStdString());
    return it == values.end() ? def : FromIni(it->second);
  };
  form->setWindowTitle(value(QStringLiteral("TITLE"), form->objectName()));
  for (QWidget* w : Components(form)) {
    switch (KindOf(w)) {
      case Kind::kCaption:
        SetCaption(w, value(w->objectName(), w->objectName()));
        break;
      case Kind::kCombo: {
        auto* combo = static_cast<QComboBox*>(w);
        combo->clear();
        combo->addItems(value(w->objectName(), w->objectName()).split(QLatin1Char('#')));
        if (combo->count() > 0) combo->setCurrentIndex(0);
        break;
      }
      case Kind::kNone:
        break;
    }
  }
}

bool Language_Create(QWidget* form) {
  std::vector<std::pair<std::string, std::string>> values;
  values.emplace_back("TITLE", ToIni(form->windowTitle()));
  for (QWidget* w : Components(form)) {
    switch (KindOf(w)) {
      case Kind::kCaption:
        values.emplace_back(w->objectName().toStdString(), ToIni(Caption(w)));
        break;
      case Kind::kCombo: {
        auto* combo = static_cast<QComboBox*>(w);
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) items.append(combo->itemText(i));
        values.emplace_back(w->objectName().toStdString(), ToIni(items.join(QLatin1Char('#'))));
        break;
      }
      case Kind::kNone:
        break;
    }
  }
  const FileLocations files = Files();
  const std::string name = LanguageFileName(form);
  const std::string target = files.LanguageWriteFile(name);
  // The user's first copy starts as the shipped file, so its other sections are kept.
  std::string error;
  if (files.mode() == FileLocations::Mode::kInstalled)
    SeedFile(files.ShippedFolder() + name, target, &error);
  return IniFile(target).WriteStrings("CHS", values);
}

}  // namespace quillon
