// quillon: the service tool's window. Starts the application, creates the main window and
// runs until it closes; nothing is saved at exit.
#include <QApplication>
#include <cstdio>

#include "app/program_options.h"
#include "app/qt_dialogs.h"
#include "app/qt_translations.h"
#include "app/tmain.h"
#include "core/file_locations.h"
#include "core/ini_file.h"
#include "core/msg_ini.h"
#include "core/sfunc.h"
#include "app/station/station_launch.h"

int main(int argc, char** argv) {
  const quillon::ProgramOptions options = quillon::ParseProgramOptions(argc, argv);
  quillon::SetHomeFolder(options.home);
  if (!options.error.empty()) {
    std::fprintf(stderr, "quillon: %s\n\n%s", options.error.c_str(),
                 quillon::ProgramUsage().c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(quillon::ProgramUsage().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("quillon %s\n", QUILLON_VERSION);
    return 0;
  }

  if (std::string error; !quillon::Files().PrepareUserFiles(&error))
    std::fprintf(stderr, "quillon: %s\n", error.c_str());

  QApplication app(argc, argv);
  QApplication::setApplicationName("quillon");
  QApplication::setApplicationVersion(QUILLON_VERSION);
  // No display name: the desktop would append it to every window caption. The .desktop
  // entry carries the program's name for menus and task bars.
  QApplication::setDesktopFileName("quillon");
  const std::string language = quillon::IniFile(quillon::Files().ConfigFile())
                                   .ReadString("SYSTEM", "LANGUAGE", "CHS");
  const auto qt_texts = quillon::InstallQtTranslations(app, language);

  std::unique_ptr<quillon::UsbBackend> usb = quillon::MakeUsbBackend(options);
  quillon::StationSetup station = quillon::StationSetupFor(options, *usb);
  if (!options.station.empty()) {
    // The operator's program: the station window alone, started with the profile.
    quillon::QtDialogPresenter presenter(nullptr);
    quillon::MsgIni messages(quillon::Files().LanguageReadOrder("language_msg.ini"), language,
                             presenter);
    station.language = language;
    quillon::TStation window(messages, std::move(station));
    window.show();
    if (window.LoadProfile(QString::fromLocal8Bit(options.station.c_str()))) window.Start();
    return QApplication::exec();
  }
  quillon::TmainDeps deps;
  deps.usb = usb.get();
  deps.install = [&station](quillon::GuiRegistry& registry) {
    quillon::InstallSubsystemGui(registry);
    quillon::InstallStationGui(registry, station);
  };
  quillon::Tmain main_window(std::move(deps));
  main_window.show();
  return QApplication::exec();
}
