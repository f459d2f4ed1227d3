// The main window on the built-in virtual printer: the caption follows it being plugged
// and unplugged, and a command runs through the window's link and Qt message pump.
#include <gtest/gtest.h>

#include "session/printer_command.h"
#include "shell_fixture.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon {
namespace {

using testing::ShellTest;

TEST_F(ShellTest, CaptionTracksTheVirtualPrinterAndCommandsReachIt) {
  InstallShippedFiles();
  vp::VirtualPrinter::Options options;
  options.load_factory_font = false;
  vp::VirtualPrinter printer(options);
  vp::VirtualUsbBackend virtual_usb(printer, "c0de", "7001");

  TmainDeps deps;
  deps.usb = &virtual_usb;
  deps.dialogs = &presenter;
  deps.files = &files;
  deps.install = [](GuiRegistry&) {};
  Tmain w(std::move(deps));
  const QString present = QString::fromStdString("QL4.0--[" + w.messages().Text("MSG001") + "]");
  const QString absent = QString::fromStdString("QL4.0--[" + w.messages().Text("MSG002") + "]");

  w.Timer1Timer();
  EXPECT_EQ(w.windowTitle(), present);
  printer.Unplug();
  w.Timer1Timer();
  EXPECT_EQ(w.windowTitle(), absent);
  EXPECT_FALSE(w.context().ShowUSBMessage());
  printer.Plug();
  w.Timer1Timer();
  EXPECT_EQ(w.windowTitle(), present);

  PrinterCommand command(w.context());
  ASSERT_TRUE(command);
  ASSERT_TRUE(w.context().ShowUSBMessage());
  uint8_t language = 1;
  ASSERT_TRUE(w.esc().cmd_language(1, language));
  language = 0;
  ASSERT_TRUE(w.esc().cmd_language(0, language));
  EXPECT_EQ(language, 1);
  EXPECT_EQ(presenter.shown.size(), 1u);  // only the MSG003 box while unplugged
}

}  // namespace
}  // namespace quillon
