// The main window and its dialogs at their default size in both shipped languages: every
// caption and combo item whole, the window within a 1366 x 768 screen, nothing overlapping
// at the smallest size. Saves a picture of each into build/screenshots.
#include <QApplication>
#include <QScreen>
#include <QTabWidget>

#include "app/language.h"
#include "bluetooth/fake_bluetooth.h"
#include "bluetooth/tcl_bluetooth.h"
#include "bluetooth/tcl_bluetooth_ble.h"
#include "fonteditor/font_editor_prompts.h"
#include "fonteditor/font_editor_window.h"
#include "shell_fixture.h"
#include "support/layout_check.h"

namespace quillon {
namespace {

using testing::ClippedControls;
using testing::OverlappingControls;
using testing::SaveScreenshot;
using testing::ShellTest;

// Answers every question of the font editor with OK or nothing.
class QuietPrompts final : public FontEditorPrompts {
 public:
  int MSGDLG(int, const std::string&, const std::string&) override { return kMsgResultOk; }
  std::optional<std::string> AskOpenFileName() override { return std::nullopt; }
  std::optional<std::string> AskSaveFileName(const std::string&) override { return std::nullopt; }
  UnsavedChoice AskUnsavedChanges() override { return UnsavedChoice::kDiscard; }
  std::optional<CodePageCopyRequest> AskCodePageCopy() override { return std::nullopt; }
};

class LayoutTest : public ShellTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(LayoutTest, EveryPageAndDialogShowsItsCaptionsWholeAndFitsTheScreen) {
  const std::string language = GetParam();
  InstallShippedFiles();
  WriteConfig("c0de", "7001", language);
  auto w = MakeWindow(InstallSubsystemGui);
  w->show();
  w->Timer1Timer();
  const QString shots = QStringLiteral(QUILLON_SCREENSHOT_DIR);
  const QString lang = QString::fromStdString(language);
  const bool scaled = testing::ScaleSuffix() != QLatin1String("x1");
  // Room for a title bar and a task bar on a 1366 x 768 screen.
  if (!scaled) {
    EXPECT_LE(w->width(), 1366);
    EXPECT_LE(w->height(), 700);
  }

  auto check = [&](QWidget* form, const QString& name) {
    QApplication::processEvents();
    for (const std::string& c : ClippedControls(form))
      ADD_FAILURE() << name.toStdString() << ": " << c;
    EXPECT_TRUE(SaveScreenshot(form, shots, lang + QLatin1Char('_') + name));
  };
  QTabWidget* pages = w->PageControl1();
  auto* inner = w->findChild<QTabWidget*>("PageControl2");
  ASSERT_NE(inner, nullptr);
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    const QString page =
        QStringLiteral("main_%1_%2").arg(i + 1).arg(pages->widget(i)->objectName());
    check(w.get(), page);
    if (pages->widget(i)->isAncestorOf(inner)) {
      inner->setCurrentIndex(1);
      check(w.get(), page + QStringLiteral("_ts2"));
      inner->setCurrentIndex(0);
    }
  }

  // At its smallest the window still keeps every control whole and apart.
  const QSize normal = w->size();
  w->resize(1, 1);
  QApplication::processEvents();
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    QApplication::processEvents();
    for (const std::string& o : OverlappingControls(pages->currentWidget()))
      ADD_FAILURE() << "overlap " << o;
  }
  w->resize(normal);

  for (const char* form :
       {"wifi", "net_edit", "serial_number", "Paper_roll", "rfid_test", "CommPort"}) {
    SCOPED_TRACE(form);
    const DialogFactory* factory = w->registry().dialog(form);
    ASSERT_NE(factory, nullptr);
    std::unique_ptr<QDialog> dialog = (*factory)(w.get(), w->context());
    ASSERT_NE(dialog, nullptr);
    if (dialog->objectName().isEmpty()) dialog->setObjectName(form);
    if (IsLocalisedDialog(form)) Language_Set(dialog.get(), language);
    dialog->show();
    check(dialog.get(), QString::fromLatin1(form));
    dialog->close();
  }
  TFont_ADJ_8M_KX editor(std::make_unique<QuietPrompts>(), w.get());
  editor.show();
  check(&editor, QStringLiteral("Font_ADJ_8M_KX"));
  editor.close();
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, LayoutTest, ::testing::Values("CHS", "EN"));

// The Bluetooth windows have English texts only.
TEST(BluetoothLayout, BothWindowsShowTheirCaptionsWhole) {
  testing::FakeManager manager;
  TclBluetooth classic(manager);
  testing::FakeBleScanner scanner;
  TclBluetooth_BLE ble(scanner);
  for (QDialog* window : {static_cast<QDialog*>(&classic), static_cast<QDialog*>(&ble)}) {
    window->show();
    QApplication::processEvents();
    const QString name = window->objectName();
    for (const std::string& c : ClippedControls(window))
      ADD_FAILURE() << name.toStdString() << ": " << c;
    EXPECT_TRUE(SaveScreenshot(window, QStringLiteral(QUILLON_SCREENSHOT_DIR), name));
    window->close();
  }
}

}  // namespace
}  // namespace quillon
