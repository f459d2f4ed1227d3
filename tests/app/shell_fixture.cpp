#include "shell_fixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <filesystem>

namespace quillon::testing {

int RecordingPresenter::Show(int kind, const std::string& caption, const std::string& text) {
  shown.push_back({kind, caption, text});
  if (answers.empty()) return kMsgResultOk;
  const int a = answers.front();
  answers.pop_front();
  return a;
}

void ShellTest::InstallShippedFiles() {
  for (const auto& entry : std::filesystem::directory_iterator(QUILLON_RESOURCE_DIR)) {
    if (entry.path().extension() == ".ini")
      std::filesystem::copy_file(entry.path(), dir.file(entry.path().filename().string()),
                                 std::filesystem::copy_options::overwrite_existing);
  }
}

void ShellTest::WriteConfig(const std::string& vid, const std::string& pid,
                            const std::string& language) {
  dir.Write("config.ini", "[SYSTEM]\nUSB_VID=" + vid + "\nUSB_PID=" + pid +
                              "\nLANGUAGE=" + language + "\n[LOG]\nTXD_ONOFF=1\n");
}

std::unique_ptr<Tmain> ShellTest::MakeWindow(std::function<void(GuiRegistry&)> install,
                                             bool system_clock) {
  TmainDeps deps;
  deps.usb = &usb;
  deps.clock = system_clock ? nullptr : &clock;
  deps.dialogs = &presenter;
  deps.files = &files;
  deps.install = install ? std::move(install) : [](GuiRegistry&) {};
  return std::make_unique<Tmain>(std::move(deps));
}

std::vector<std::string> VisibleTexts(QWidget* form) {
  std::vector<std::string> texts{form->windowTitle().toStdString()};
  for (QWidget* w : form->findChildren<QWidget*>()) {
    const std::string name = w->objectName().toStdString();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
      texts.push_back(name + "=" + b->text().toStdString());
    if (auto* l = qobject_cast<QLabel*>(w)) texts.push_back(name + "=" + l->text().toStdString());
    if (auto* g = qobject_cast<QGroupBox*>(w))
      texts.push_back(name + "=" + g->title().toStdString());
    if (auto* t = qobject_cast<QTabWidget*>(w)) {
      for (int i = 0; i < t->count(); ++i)
        texts.push_back(name + "#" + t->tabText(i).toStdString());
    }
    if (auto* c = qobject_cast<QComboBox*>(w)) {
      std::string items = name + "=" + std::to_string(c->currentIndex()) + ":";
      for (int i = 0; i < c->count(); ++i) items += c->itemText(i).toStdString() + "|";
      texts.push_back(items + c->currentText().toStdString());
    }
  }
  return texts;
}

}  // namespace quillon::testing
