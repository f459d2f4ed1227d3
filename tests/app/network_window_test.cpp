// The window on a network printer: the "Network printer…" dialog tests, stores and applies
// the address, the caption says so, and the print test page's status line reads the printer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/net_printer_dialog.h"
#include "core/file_locations.h"
#include "core/ini_file.h"
#include "shell_fixture.h"
#include "virtualprinter/tcp_transport.h"

namespace quillon {

void InstallNetworkGui(GuiRegistry& registry);
void InstallPrinterStatusGui(GuiRegistry& registry);

namespace {

using testing::ShellTest;

TEST_F(ShellTest, NetworkPrinterDialogCaptionAndStatusLine) {
  InstallShippedFiles();
  vp::VirtualPrinter::Options options;
  options.load_factory_font = false;
  vp::VirtualPrinter printer(options);
  printer.state().cover_open = true;
  vp::TcpTransport server(printer);
  std::string error;
  ASSERT_TRUE(server.Start("127.0.0.1", 0, error)) << error;
  auto w = MakeWindow(
      [](GuiRegistry& r) {
        InstallNetworkGui(r);
        InstallPrinterStatusGui(r);
      },
      true);
  const std::string port = std::to_string(server.port());

  // Fill in the modal dialog, test the address, then take it with OK.
  std::string test_result;
  QTimer::singleShot(0, w.get(), [&] {
    auto* dlg = qobject_cast<TNetPrinter*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    dlg->edt_host->setText("127.0.0.1");
    dlg->edt_port->setText("0");
    dlg->btn_ok->click();  // refused: the dialog stays open with the reason
    test_result = dlg->lbl_result->text().toStdString();
    dlg->edt_port->setText(QString::fromStdString(port));
    dlg->btn_test->click();
    test_result += "|" + dlg->lbl_result->text().toStdString();
    dlg->chk_UseNetwork->setChecked(true);
    dlg->btn_ok->click();
  });
  w->NetPrinter1Click();
  EXPECT_EQ(test_result, w->messages().Text("NET_BAD_PORT") + "|" +
                             w->messages().Text("NET_TEST_OK") + " " + printer.state().sys_info);
  EXPECT_TRUE(w->link().UseNetwork());
  IniFile config(Files().ConfigFile());
  EXPECT_EQ(config.ReadString("NET", "HOST", ""), "127.0.0.1");
  EXPECT_EQ(config.ReadString("NET", "PORT", ""), port);
  EXPECT_EQ(config.ReadString("NET", "USE", ""), "1");
  w->Timer1Timer();
  EXPECT_TRUE(w->windowTitle().endsWith(" (network)")) << w->windowTitle().toStdString();

  // The status line names what keeps the printer from printing.
  w->findChild<QPushButton*>("btn_status")->click();
  const std::string line = w->findChild<QLabel*>("lbl_status")->text().toStdString();
  EXPECT_NE(line.find(w->messages().Text("STATUS_NOT_READY")), std::string::npos) << line;
  EXPECT_NE(line.find(w->messages().Text("STATUS_COVER_OPEN")), std::string::npos) << line;

  // A printer that stopped answering: the presence check names its address.
  server.Stop();
  EXPECT_FALSE(w->context().ShowUSBMessage());
  ASSERT_FALSE(presenter.shown.empty());
  EXPECT_EQ(presenter.shown.back().text.rfind("no printer answers at 127.0.0.1:" + port, 0), 0u)
      << presenter.shown.back().text;
}

}  // namespace
}  // namespace quillon
