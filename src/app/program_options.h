// The few command-line options of the quillon program, and the choice of USB backend they
// lead to.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/usb_backend.h"

namespace quillon {

struct ProgramOptions {
  bool virtual_printer =
      false;              // --virtual-printer: the built-in virtual printer is the USB printer
  int virtual_count = 1;  // --virtual-printer=N: that many virtual printers on one hub
  std::string paper;      // --paper FILE.png: the virtual printer's paper, saved at exit
  std::string state;      // --state FILE: the virtual printer's state, kept across runs
  std::string home;       // --home DIR: every file of the program in DIR
  bool help = false;      // --help, -h
  bool version = false;   // --version
  std::string error;      // an option the program does not know

  // --station PROFILE: the production station window alone, started with PROFILE.
  std::string station;
  // --records FILE|postgresql://...: the station's records store ("" the default file).
  std::string records;
  // --operator NAME: recorded with every unit of the station.
  std::string operator_name;
  // --vp-fault SERIAL:SWITCH: a fault of one virtual printer on the station's bench.
  std::vector<std::string> vp_faults;
};

// Reads our options; arguments with a single dash are left to Qt (-platform, -style...).
ProgramOptions ParseProgramOptions(int argc, char** argv);
// The --help text, which also says where the files are.
std::string ProgramUsage();

// The USB backend the program runs on: the virtual printer with --virtual-printer, else the
// printers on the USB bus (libusb). Never null.
std::unique_ptr<UsbBackend> MakeUsbBackend(const ProgramOptions& options);

}  // namespace quillon
