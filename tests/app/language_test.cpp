// Language_Set and Language_Create on a small form: which controls count, how combo lists
// split, and that writing and reading back keeps every caption.
#include "app/language.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "app/qt_translations.h"
#include "core/ini_file.h"
#include "temp_folder.h"

namespace quillon {
namespace {

template <class T>
T* Add(QWidget* parent, const char* name) {
  auto* w = new T(parent);
  w->setObjectName(name);
  return w;
}

struct Probe {
  Probe() {
    form.setObjectName("probe");
    form.setWindowTitle("Probe");
    button = Add<QPushButton>(&form, "btn1");
    button->setText("按钮");
    label = Add<QLabel>(&form, "lbl1");
    label->setText("line one\nline two");
    check = Add<QCheckBox>(&form, "chk1");
    check->setText("勾选");
    group = Add<QGroupBox>(&form, "grp1");
    group->setTitle("组");
    tabs = Add<QTabWidget>(group, "PageControl1");
    page = Add<QWidget>(tabs, "TabSheet1");
    tabs->addTab(page, "页");
    combo = Add<QComboBox>(page, "cbb1");
    combo->addItems({"0:零", "1:一"});
    edit = Add<QLineEdit>(page, "edt1");
    edit->setText("keeps");
  }
  QWidget form;
  QPushButton* button;
  QLabel* label;
  QCheckBox* check;
  QGroupBox* group;
  QTabWidget* tabs;
  QWidget* page;
  QComboBox* combo;
  QLineEdit* edit;
};

TEST(LanguageSet, ComboListsSplitStrictlyAndSelectTheFirstItem) {
  testing::TempProgramFolder dir;
  dir.Write("language_probe.ini", "[CHS]\ncbb1=A#B#\n[EN]\ncbb1=single\n[DE]\ncbb1=A # B\n");
  Probe p;
  p.combo->setCurrentIndex(1);
  Language_Set(&p.form, "CHS");
  ASSERT_EQ(p.combo->count(), 3);
  EXPECT_EQ(p.combo->itemText(0), "A");
  EXPECT_EQ(p.combo->itemText(1), "B");
  EXPECT_EQ(p.combo->itemText(2), "");
  EXPECT_EQ(p.combo->currentIndex(), 0);

  Language_Set(&p.form, "EN");
  ASSERT_EQ(p.combo->count(), 1);
  EXPECT_EQ(p.combo->currentText(), "single");

  Language_Set(&p.form, "DE");  // any language name is a section; spaces stay in the items
  ASSERT_EQ(p.combo->count(), 2);
  EXPECT_EQ(p.combo->itemText(0), "A ");
  EXPECT_EQ(p.combo->itemText(1), " B");
}

TEST(LanguageSet, EveryCaptionKindIsLocalisedAndOtherControlsKeepTheirText) {
  testing::TempProgramFolder dir;
  dir.Write("language_probe.ini",
            "[EN]\ntitle=Probe window\nBTN1=Button\nlbl1=first\\nsecond\nchk1=Tick\n"
            "grp1=Group\nTabSheet1=Page\nedt1=never\n");
  Probe p;
  Language_Set(&p.form, "EN");
  EXPECT_EQ(p.form.windowTitle(), "Probe window");
  EXPECT_EQ(p.button->text(), "Button");  // keys ignore case
  EXPECT_EQ(p.label->text(), "first\nsecond");
  EXPECT_EQ(p.check->text(), "Tick");
  EXPECT_EQ(p.group->title(), "Group");
  EXPECT_EQ(p.tabs->tabText(0), "Page");
  EXPECT_EQ(p.edit->text(), "keeps");
  // Missing keys fall back to the component names; a missing file too.
  EXPECT_EQ(p.combo->currentText(), "cbb1");
  Language_Set(&p.form, "CHS");
  EXPECT_EQ(p.form.windowTitle(), "probe");
  EXPECT_EQ(p.tabs->tabText(0), "TabSheet1");
}

TEST(LanguageCreate, WritesOnlyTheChsSectionAndReadsBackUnchanged) {
  testing::TempProgramFolder dir;
  dir.Write("language_probe.ini", "[EN]\nbtn1=Button\n");
  Probe p;
  ASSERT_TRUE(Language_Create(&p.form));
  IniFile file(dir.file("language_probe.ini"));
  EXPECT_EQ(file.ReadString("EN", "btn1", ""), "Button");
  EXPECT_EQ(file.ReadString("CHS", "TITLE", ""), "Probe");
  EXPECT_EQ(file.ReadString("CHS", "cbb1", ""), "0:零#1:一");
  EXPECT_EQ(file.ReadString("CHS", "lbl1", ""), "line one\\nline two");  // one line in the file
  EXPECT_FALSE(file.ReadSection("CHS").count("edt1"));
  EXPECT_FALSE(file.ReadSection("CHS").count("PageControl1"));

  Probe q;
  q.button->setText("changed");
  q.label->setText("changed");
  q.combo->clear();
  Language_Set(&q.form, "CHS");
  EXPECT_EQ(q.button->text(), "按钮");
  EXPECT_EQ(q.label->text(), "line one\nline two");
  EXPECT_EQ(q.combo->count(), 2);
  EXPECT_EQ(q.tabs->tabText(0), "页");
}

// Qt's own texts (standard buttons, file dialogs) follow the language: Chinese for CHS, the
// built-in English otherwise; the translator leaves with its owner.
TEST(QtTranslations, ChineseForChsAndNothingToLoadForEnglish) {
  const QString cancel = QStringLiteral("Cancel");
  EXPECT_EQ(InstallQtTranslations(*QCoreApplication::instance(), "EN"), nullptr);
  {
    auto chinese = InstallQtTranslations(*QCoreApplication::instance(), "CHS");
    ASSERT_NE(chinese, nullptr) << "qt6-translations-l10n installed?";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
  }
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel);
}

}  // namespace
}  // namespace quillon
