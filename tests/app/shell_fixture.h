// A main window on a scripted USB printer, with message boxes and file dialogs answered by
// the test, in a program folder of its own.
#pragma once

#include <gtest/gtest.h>

#include <QWidget>
#include <deque>
#include <memory>
#include <vector>

#include "app/tmain.h"
#include "support/fake_clock.h"
#include "support/scripted_usb.h"
#include "temp_folder.h"

namespace quillon::testing {

struct ShownBox {
  int kind;
  std::string caption, text;
};

class RecordingPresenter final : public DialogPresenter {
 public:
  int Show(int kind, const std::string& caption, const std::string& text) override;
  std::vector<ShownBox> shown;
  std::deque<int> answers;  // next answers; OK when empty
};

class AnsweringFiles final : public FileDialogs {
 public:
  std::string OpenDataFile() override { return data_file; }
  std::string OpenPicture() override { return picture; }
  std::string data_file, picture;
};

class ShellTest : public ::testing::Test {
 protected:
  // Copies the shipped config.ini and language files into the test's program folder.
  void InstallShippedFiles();
  void WriteConfig(const std::string& vid, const std::string& pid, const std::string& language);
  // A window whose subsystems are those install registers (none by default).
  std::unique_ptr<Tmain> MakeWindow(std::function<void(GuiRegistry&)> install = {},
                                    bool system_clock = false);

  TempProgramFolder dir;
  FakeClock clock;
  ScriptedUsb usb{&clock};
  RecordingPresenter presenter;
  AnsweringFiles files;
};

// Every caption, combo list and selection of the controls the language files localise,
// plus the window title: a picture of what the user sees.
std::vector<std::string> VisibleTexts(QWidget* form);

}  // namespace quillon::testing
