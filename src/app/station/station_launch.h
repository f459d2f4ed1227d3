// The station window as the quillon program opens it: from the System menu, or at start
// with --station PROFILE. Its printers are the USB printers of config.ini's identifiers, or
// with --virtual-printer=N a bench of N virtual printers that arrive one after another.
#pragma once

#include <QWidget>

#include "app/gui_registry.h"
#include "app/program_options.h"
#include "app/station/station_window.h"

namespace quillon {

// What the program's options make of the station: its printers, records and operator.
// usb (the program's USB backend) outlives every window.
StationSetup StationSetupFor(const ProgramOptions& options, UsbBackend& usb);

// The System menu's "Production station…": one window at a time, beside the main window,
// in the main window's language.
void InstallStationGui(GuiRegistry& registry, StationSetup setup);

}  // namespace quillon
