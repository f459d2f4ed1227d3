// The station window with 1, 4 and 16 tiles in both shipped languages: every caption
// whole, nothing overlapping, the tiles side by side without sideways scrolling, the window
// within a 1366 x 768 screen (at scale 1 and 2 under ctest). Saves a picture of each.
#include <QApplication>
#include <QScrollBar>

#include "station_fixture.h"
#include "app/station/tile_grid.h"
#include "support/layout_check.h"

namespace quillon {
namespace {

using production::StationEvent;
using production::Step;
using production::UnitResult;
using testing::ClippedControls;
using testing::OverlappingControls;
using testing::StationTest;

// Port i in one of four states: PASS, FAIL with a long reason, running, gone (grey).
void ShowPort(TStation& w, int i) {
  StationEvent e;
  e.port = "1-2." + std::to_string(i + 1);
  e.kind = StationEvent::Kind::kPrinterArrived;
  e.identity.usb_serial = "A5K2024" + std::to_string(1000 + i);
  w.ShowEvent(e);
  e.kind = StationEvent::Kind::kSerialAllocated;
  e.serial = "QL58-2026" + std::to_string(100000 + i);
  w.ShowEvent(e);
  e.kind = StationEvent::Kind::kStepStarted;
  e.step = Step::kFont;
  w.ShowEvent(e);
  e.kind = StationEvent::Kind::kStepProgress;
  e.percent = 45;
  w.ShowEvent(e);
  if (i % 4 == 2) return;
  e.kind = StationEvent::Kind::kUnitFinished;
  e.result = i % 4 == 1 ? UnitResult::kFail : UnitResult::kPass;
  e.message = i % 4 == 1 ? "settings: bt-name 'QL58-C0DE' was refused by the printer" : "";
  e.seconds = 41.2;
  w.ShowEvent(e);
  if (i % 4 != 3) return;
  e.kind = StationEvent::Kind::kPrinterLeft;
  w.ShowEvent(e);
}

class StationLayout : public StationTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(StationLayout, OneFourAndSixteenTilesKeepEveryTextWholeAndApart) {
  const std::string language = GetParam();
  const bool scaled = testing::ScaleSuffix() != QLatin1String("x1");
  for (int n : {1, 4, 16}) {
    SCOPED_TRACE(n);
    auto w = MakeWindow({}, {}, language);
    w->show();
    ASSERT_TRUE(w->LoadProfile(QString::fromStdString(profile)));
    StationEvent problem;
    problem.kind = StationEvent::Kind::kStoreState;
    problem.store = production::StoreState::kUnreachable;
    problem.message = "the record of this unit could not be written: disk full";
    w->ShowEvent(problem);
    for (int i = 0; i < n; ++i) ShowPort(*w, i);
    QApplication::processEvents();

    if (!scaled) {
      EXPECT_LE(w->width(), 1366);
      EXPECT_LE(w->height(), 700);
    }
    for (const std::string& c : ClippedControls(w.get())) ADD_FAILURE() << c;
    for (const std::string& o : OverlappingControls(w.get())) ADD_FAILURE() << "overlap " << o;
    TileGrid* grid = w->tiles();
    EXPECT_LE(grid->widget()->width(), grid->viewport()->width());
    EXPECT_FALSE(grid->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(testing::SaveScreenshot(w.get(), QStringLiteral(QUILLON_SCREENSHOT_DIR),
                                        QStringLiteral("station_%1_%2").arg(GetParam()).arg(n)));
  }
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, StationLayout, ::testing::Values("CHS", "EN"));

}  // namespace
}  // namespace quillon
