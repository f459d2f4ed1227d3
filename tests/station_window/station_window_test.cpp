// The station window on benches of virtual printers, as an operator watches it: tiles that
// reach PASS, a refusing printer's FAIL with its reason, an unplugged printer's grey tile,
// Stop that lets a unit in progress finish, counters and records that agree with the store.
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <condition_variable>
#include <mutex>
#include <set>

#include "production/record_store.h"
#include "station_fixture.h"
#include "app/station/records_panel.h"
#include "app/station/tile_grid.h"
#include "support/layout_check.h"

namespace quillon {
namespace {

using production::UnitResult;
using production::VirtualBench;
using testing::StationTest;
using testing::TilesIn;
using testing::WaitFor;

VirtualBench Bench(int count, int ports) {
  VirtualBench bench;
  bench.count = count;
  bench.ports = ports;
  bench.arrival_gap_ms = 20;
  bench.linger_ms = 600000;  // results stay until the test ends: nobody unplugs them
  return bench;
}

TEST_F(StationTest, TilesShowPassFailAndUnpluggedAndTheListAgreesWithTheStore) {
  VirtualBench bench = Bench(6, 6);
  bench.faults = {"VP0002:refuse-text-sets", "VP0005:unplug-after=40"};
  auto w = StartWindow(bench);
  QSignalSpy ended(w.get(), &TStation::unitEnded);
  ASSERT_TRUE(WaitFor([&] { return ended.count() == 6; }));

  // Four PASS tiles with their own serial numbers; the word is there, not only the colour.
  std::set<QString> serials;
  for (const char* port : {"99-1", "99-3", "99-4", "99-6"}) {
    PortTile* t = w->tile(port);
    ASSERT_NE(t, nullptr) << port;
    EXPECT_EQ(t->state(), PortTile::State::kEnded) << port;
    EXPECT_EQ(t->result(), UnitResult::kPass) << port;
    EXPECT_EQ(t->resultText(), "PASS") << port;
    serials.insert(t->serialText());
  }
  EXPECT_EQ(serials.size(), 4u);
  // The printer that refuses text sets: FAIL, and the reason names the setting.
  PortTile* refused = w->tile("99-2");
  EXPECT_EQ(refused->resultText(), "FAIL");
  EXPECT_TRUE(refused->reasonText().startsWith("settings: bt-name"))
      << refused->reasonText().toStdString();
  // The printer pulled out during its font download: grey, waiting, its FAIL kept as the
  // last line.
  PortTile* unplugged = w->tile("99-5");
  ASSERT_TRUE(WaitFor([&] { return unplugged->state() == PortTile::State::kWaiting; }));
  EXPECT_TRUE(unplugged->stepText().contains("Last: FAIL")) << unplugged->stepText().toStdString();
  EXPECT_TRUE(
      testing::SaveScreenshot(w.get(), QStringLiteral(QUILLON_SCREENSHOT_DIR), "station_run"));

  // Counters, list and export agree with what the store holds.
  RecordsPanel* panel = w->records();
  ASSERT_TRUE(WaitFor([&] {
    const auto& shown = panel->shown();
    return shown.size() == 6 && std::none_of(shown.begin(), shown.end(), [](const auto& r) {
             return r.result == UnitResult::kRunning;
           });
  }));
  std::string error;
  auto store = production::OpenRecordStore(records, "", &error);
  ASSERT_NE(store, nullptr) << error;
  const production::Counters c = store->Count({}, &error);
  EXPECT_EQ(panel->val_passed->text(), QString::number(c.pass));
  EXPECT_EQ(panel->val_failed->text(), QString::number(c.fail));
  EXPECT_EQ(panel->val_interrupted->text(), QString::number(c.interrupted));
  EXPECT_EQ(c.pass, 4);
  EXPECT_EQ(c.fail, 2);
  production::RecordQuery newest;
  newest.limit = RecordsPanel::kShown;
  const auto listed = store->List(newest, &error);
  ASSERT_EQ(listed.size(), panel->shown().size());
  for (size_t i = 0; i < listed.size(); ++i) {
    EXPECT_EQ(panel->shown()[i].uuid, listed[i].uuid);
    EXPECT_EQ(panel->shown()[i].result, listed[i].result);
    EXPECT_EQ(panel->tbl_records->item(static_cast<int>(i), 1)->text().toStdString(),
              listed[i].serial);
  }
  // The whole record: requested against read back.
  const auto passed = std::find_if(panel->shown().begin(), panel->shown().end(),
                                   [](const auto& r) { return r.result == UnitResult::kPass; });
  ASSERT_NE(passed, panel->shown().end());
  const QString details = RecordDetails(*passed, w->texts());
  EXPECT_TRUE(details.contains("blackness")) << details.toStdString();

  // The result filter asks the store for failures only.
  panel->cbb_result->setCurrentIndex(2);
  ASSERT_TRUE(WaitFor([&] { return panel->shown().size() == 2; }));
  EXPECT_EQ(panel->tbl_records->item(0, 2)->text(), "FAIL");

  QSignalSpy exported(w.get(), &TStation::exported);
  const QString csv = QString::fromStdString(dir.file("failed.csv"));
  w->ExportRecords(csv);
  ASSERT_TRUE(WaitFor([&] { return exported.count() == 1; }));
  QFile file(csv);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().count("\r\n"), 3);  // the header and the two failures
}

// A source whose first printer is opened only when the test says: its unit is in progress
// (the tile shows it) while Stop is pressed.
class HeldSource final : public production::PrinterSource {
 public:
  struct Gate {
    std::mutex mu;
    std::condition_variable cv;
    bool open = false;
    void Release() {
      {
        std::lock_guard<std::mutex> lock(mu);
        open = true;
      }
      cv.notify_all();
    }
  };
  HeldSource(std::unique_ptr<PrinterSource> inner, std::shared_ptr<Gate> gate)
      : inner_(std::move(inner)), gate_(std::move(gate)) {}
  std::vector<production::PortInfo> List() override { return inner_->List(); }
  void WaitForChange(uint32_t ms, const StopRequest& stop) override {
    inner_->WaitForChange(ms, stop);
  }
  std::unique_ptr<production::UnitLink> Open(const production::PortInfo& port,
                                             std::string* error) override {
    std::unique_lock<std::mutex> lock(gate_->mu);
    gate_->cv.wait(lock, [this] { return gate_->open; });
    lock.unlock();
    return inner_->Open(port, error);
  }
  void Finished(const production::PortInfo& port) override { inner_->Finished(port); }
  bool Exhausted() override { return inner_->Exhausted(); }

 private:
  std::unique_ptr<PrinterSource> inner_;
  std::shared_ptr<Gate> gate_;
};

TEST_F(StationTest, StopLetsTheUnitInProgressFinishAndASecondStopInterruptsIt) {
  auto gate = std::make_shared<HeldSource::Gate>();
  auto w = StartWindow(Bench(3, 1), [&gate](std::unique_ptr<production::PrinterSource> inner) {
    return std::make_unique<HeldSource>(std::move(inner), gate);
  });
  QSignalSpy ended(w.get(), &TStation::unitEnded);
  QSignalSpy stopped(w.get(), &TStation::runStopped);
  ASSERT_TRUE(WaitFor([&] { return w->tile("99-1") != nullptr; }));
  EXPECT_EQ(w->tile("99-1")->state(), PortTile::State::kRunning);

  w->stopButton()->click();
  EXPECT_TRUE(w->status()->text().startsWith("Stopping: units in progress finish"));
  EXPECT_EQ(w->stopButton()->text(), "Stop now");
  gate->Release();
  ASSERT_TRUE(WaitFor([&] { return stopped.count() == 1; }));
  // The unit finished; the two printers waiting behind it never started.
  ASSERT_EQ(ended.count(), 1);
  EXPECT_EQ(ended[0][1].toInt(), static_cast<int>(UnitResult::kPass));
  EXPECT_EQ(w->tile("99-1")->resultText(), "PASS");
  EXPECT_EQ(w->records()->val_passed->text(), "1");
  EXPECT_TRUE(w->startButton()->isEnabled());
  EXPECT_FALSE(w->running());

  // A second run stopped twice: the unit in progress is interrupted, and the operator is
  // told what that means.
  gate = std::make_shared<HeldSource::Gate>();
  w->startButton()->click();
  ASSERT_TRUE(WaitFor([&] { return w->tile("99-1")->state() == PortTile::State::kRunning; }));
  w->stopButton()->click();
  w->stopButton()->click();
  EXPECT_TRUE(w->status()->text().startsWith("Stopping now"));
  gate->Release();
  ASSERT_TRUE(WaitFor([&] { return stopped.count() == 2; }));
  ASSERT_EQ(ended.count(), 2);
  EXPECT_EQ(w->tile("99-1")->resultText(), "INTERRUPTED");
  EXPECT_EQ(w->records()->val_interrupted->text(), "1");
  EXPECT_EQ(w->records()->val_passed->text(), "0");
}

TEST_F(StationTest, AnUnreachableServerIsSaidInABannerAndNewUnitsWait) {
  // A server address whose socket folder does not exist: every connection fails at once.
  records = "postgresql:///quillon?host=" + dir.file("no-server");
  auto w = MakeWindow(Bench(1, 1));
  w->show();
  ASSERT_TRUE(w->LoadProfile(QString::fromStdString(profile)));
  ASSERT_TRUE(WaitFor([&] { return w->banner()->isVisible(); }));
  EXPECT_EQ(w->storeState()->text(), "unreachable: new units wait");
  EXPECT_TRUE(w->banner()->text().startsWith("Attention: the records server cannot be reached"))
      << w->banner()->text().toStdString();
  // The printer that arrives waits: no serial number can be allocated.
  ASSERT_TRUE(WaitFor([&] { return w->startButton()->isEnabled(); }));
  w->startButton()->click();
  ASSERT_TRUE(WaitFor([&] {
    return w->tile("99-1") && w->tile("99-1")->state() == PortTile::State::kStoreWaiting;
  }));
}

}  // namespace
}  // namespace quillon
