// A station window on a bench of virtual printers, in a program folder of its own with the
// shipped language files, a profile beside them and a records file of its own.
#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <functional>
#include <memory>
#include <string>

#include "app/shell_fixture.h"
#include "app/temp_folder.h"
#include "core/msg_ini.h"
#include "production/printer_source.h"
#include "app/station/port_tile.h"
#include "app/station/station_window.h"

namespace quillon::testing {

// Long enough for a busy two-core machine; every wait ends as soon as its event came.
inline constexpr int kEventTimeoutMs = 120000;

// Processes events until done() holds or the time is up.
inline bool WaitFor(const std::function<bool()>& done, int timeout_ms = kEventTimeoutMs) {
  return QTest::qWaitFor(done, timeout_ms);
}

// A program folder of the process's own: the layout test runs at two scales at once.
std::string ProcessSuffix();

class StationTest : public ::testing::Test {
 protected:
  using SourceWrap = std::function<std::unique_ptr<production::PrinterSource>(
      std::unique_ptr<production::PrinterSource>)>;

  StationTest();
  // A window in language whose runs take their printers from bench (each run a fresh
  // bench), passed through wrap when given.
  std::unique_ptr<TStation> MakeWindow(const production::VirtualBench& bench, SourceWrap wrap = {},
                                       const std::string& language = "EN");
  // A window with a profile loaded and its store open, started.
  std::unique_ptr<TStation> StartWindow(const production::VirtualBench& bench,
                                        SourceWrap wrap = {});

  TempProgramFolder dir{ProcessSuffix()};
  RecordingPresenter presenter;
  std::string profile;  // settings read back, a Bluetooth name, serial numbers, a font
  std::string records;  // the records file
  std::string language_;
  std::unique_ptr<MsgIni> messages_;
};

// The tiles in a given state.
int TilesIn(TStation& w, PortTile::State state);

}  // namespace quillon::testing
