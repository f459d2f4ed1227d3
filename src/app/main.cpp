// quillon: the service tool's window. Starts the application, creates the main window and
// runs until it closes; nothing is saved at exit.
#include <QApplication>
#include <cstdio>

#include "app/program_options.h"
#include "app/tmain.h"
#include "core/file_locations.h"
#include "core/msg_ini.h"

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
  QApplication::setApplicationDisplayName(QString::fromUtf8(quillon::kApplicationTitle));
  QApplication::setDesktopFileName("quillon");

  std::unique_ptr<quillon::UsbBackend> usb = quillon::MakeUsbBackend(options);
  quillon::TmainDeps deps;
  deps.usb = usb.get();
  quillon::Tmain main_window(std::move(deps));
  main_window.show();
  return QApplication::exec();
}
