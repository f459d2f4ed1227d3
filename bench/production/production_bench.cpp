// The production station's costs on the virtual printer, with the sample profile:
// - one unit through the station (identify, number, every step read back, the record
//   written after each step) next to the same flows and builders run bare;
// - eight printers at once next to one;
// - `quillon-cli records export --csv` of 100,000 recorded units.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "core/ansi_codepage.h"
#include "core/file_locations.h"
#include "core/help_texts.h"
#include "core/ulog.h"
#include "flash/font_download.h"
#include "link/printer_link.h"
#include "output/escpos_tests.h"
#include "output/oem_logo.h"
#include "production/plan.h"
#include "production/record_columns.h"
#include "production/sqlite_store.h"
#include "production/station.h"
#include "protocol/esc_cmd.h"
#include "virtualprinter/virtual_printer.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon::production {
namespace {

namespace fs = std::filesystem;

const Plan& SamplePlan() {
  static const Plan plan = [] {
    ProfileError error;
    auto p = LoadPlan(QUILLON_BIN_DIR "/production/sample-profile.ini", &error);
    if (!p) {
      std::fprintf(stderr, "%s\n", error.Text().c_str());
      std::exit(1);
    }
    return *p;
  }();
  return plan;
}

std::string TempFile(const char* name) {
  return (fs::temp_directory_path() /
          (std::string("quillon-bench-") + std::to_string(::getpid()) + "-" + name))
      .string();
}

void RemoveStore(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
}

class NoObserver final : public StationObserver {
 public:
  void OnStationEvent(const StationEvent&) override {}
};

// A station on a bench of count virtual printers that all arrive at once, recording into
// store (opened once, as a bench keeps it open for a shift).
void RunStation(RecordStore& store, int count) {
  VirtualBench bench;
  bench.count = count;
  bench.ports = count;
  bench.arrival_gap_ms = 0;
  std::string error;
  auto source = MakeVirtualPrinterSource(bench, &error);
  NoObserver observer;
  StationOptions options;
  Station station(SamplePlan(), store, *source, observer, options);
  station.Start(&error);
  station.Wait();
  if (station.counters().pass != count) std::fprintf(stderr, "a unit did not pass\n");
}

// The records file of a benchmark, removed when it ends.
struct BenchStore {
  BenchStore() { RemoveStore(file); }
  ~BenchStore() { RemoveStore(file); }
  std::string file = TempFile("station.sqlite");
  SqliteStore store{file};
};

class QuietMessages final : public Messages {
 public:
  std::string Text(const std::string& key) override { return key; }
  int MSGDLG(int, const std::string&, const std::string&) override { return 1; }
};
class QuietUi final : public FlowUi {
 public:
  void ClearMemo() override {}
  void MemoLine(const std::string&) override {}
  void SetProgressMax(int64_t) override {}
  void SetProgress(int64_t) override {}
  Messages& messages() override { return messages_; }

 private:
  QuietMessages messages_;
};

// The same exchanges as one unit of the sample profile, without the station: the flows
// and builders called one after another on a link as a CLI command has it (with its
// exchange log), nothing recorded.
void RunFlowsAlone() {
  const Plan& plan = SamplePlan();
  vp::VirtualPrinter printer;
  vp::VirtualUsbBackend usb(printer, vp::kDefaultVid, vp::kDefaultPid, "VP0001", "99-1");
  SleepingPump pump;
  ExchangeLog log(Files().ConfigFile(), Files().StateFolder());
  log.init_log();
  PrinterLink link(usb, SystemClock(), pump, &log);
  EscCmd esc(link);
  QuietUi ui;
  AppContext ctx{link, esc, ui.messages(), [&link] {
                   link.FindPrinter();
                   return link.USB().isFindPrint;
                 }};
  link.SetUsbIds(vp::kDefaultVid, vp::kDefaultPid);
  link.FindPrinter();
  PrinterLink::UsbHold hold(link);
  std::string text;
  esc.cmd_sys_info(0, text);
  esc.cmd_blue_mac(0, text);
  esc.cmd_serial_number(0, text);
  FontJob font;
  font.image = &plan.font->file.bytes;
  font.path = plan.font->file.path;
  font.packsize_text = std::to_string(plan.font->packsize);
  font.erase_all = plan.font->erase_all;
  FontDownload(ctx, ui, font);
  for (const ByteSettingPlan& b : plan.byte_settings) {
    uint8_t v = b.value, back = 0;
    esc.cmd_blackness(1, v);  // one byte setting's exchange pair per setting
    esc.cmd_blackness(0, back);
  }
  std::string name = Utf8ToAnsi("QL58-C0DE"), pin = *plan.bt_pin, back;
  esc.cmd_blue_name(1, name);
  esc.cmd_blue_name(0, back);
  esc.cmd_blue_pin(1, pin);
  esc.cmd_blue_pin(0, back);
  TNetPar net = plan.network->record, net_back{};
  esc.cmd_net_set(1, net);
  esc.cmd_net_set(0, net_back);
  TWifiPar wifi = plan.wifi->record;
  esc.cmd_wifi_set(1, wifi);
  int32_t s = plan.label->sensor, o = plan.label->out;
  esc.cmd_label_Detection(1, s, o);
  esc.cmd_label_Detection(0, s, o);
  std::string serial = "QL58-2026000001";
  esc.cmd_serial_number(1, serial);
  esc.cmd_serial_number(0, back);
  WriteOemLogo(esc, ui.messages(), plan.logo);
  TextBytes bytes =
      ConvertTextForSending(plan.test->encoding, plan.test->text, false, AnsiCodePage());
  SendRawBytes(link, bytes.bytes);
  const auto& names = QuillonCliWords().escpos_names;
  const auto tests = EscPosTests();
  for (const std::string& n : plan.test->escpos)
    for (size_t i = 0; i < names.size() && i < tests.size(); ++i)
      if (names[i] == n) SendRawBytes(link, tests[i].bytes);
}

void BM_FlowsAloneOneUnit(benchmark::State& state) {
  SamplePlan();
  for (auto _ : state) RunFlowsAlone();
}
BENCHMARK(BM_FlowsAloneOneUnit)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_StationOneUnit(benchmark::State& state) {
  SamplePlan();
  BenchStore records;
  for (auto _ : state) RunStation(records.store, 1);
}
BENCHMARK(BM_StationOneUnit)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_StationEightUnits(benchmark::State& state) {
  SamplePlan();
  BenchStore records;
  for (auto _ : state) RunStation(records.store, 8);
}
BENCHMARK(BM_StationEightUnits)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// `quillon-cli records export --csv` of a records file holding 100,000 units.
void BM_ExportCsv100k(benchmark::State& state) {
  const std::string file = TempFile("export.sqlite");
  RemoveStore(file);
  {
    SqliteStore store(file);  // the schema
    UnitRecord r;
    std::string error;
    r.uuid = NewUuid();
    r.started = r.ended = UtcNowText();
    r.station = "bench-1";
    r.operator_name = "ann";
    r.profile_name = "QL58 sample";
    r.profile_sha256 = std::string(64, 'a');
    r.identity = {"usb",       "1-2.3", "A1B2C3", "Printer QL58, firmware 2.1", "00:1B:35:7A:C0:DE",
                  "VP20260001"};
    r.font_sha256 = r.logo_sha256 = std::string(64, 'b');
    r.result = UnitResult::kPass;
    r.seconds = 41.2;
    r.version = "4.0.0";
    for (int i = 0; i < kStepCount; ++i)
      r.steps.push_back({static_cast<Step>(i), StepStatus::kPass, 1.5, "done"});
    for (const char* n :
         {"language", "cmdmode", "stepmode", "blackness", "charset", "sleep", "bt-name", "bt-pin",
          "net.ip", "net.mask", "net.gateway", "label.sensor", "label.out", "serial"})
      r.values.push_back({Step::kSettings, n, "2", "2", true, true});
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* s = nullptr;
    std::string sql = "INSERT INTO units(" + RecordColumnList() + ") VALUES(";
    for (size_t i = 0; i < RecordColumnNames().size(); ++i) sql += i ? ",?" : "?";
    sqlite3_prepare_v2(db, (sql + ")").c_str(), -1, &s, nullptr);
    for (int n = 0; n < 100000; ++n) {
      r.uuid = NewUuid();
      r.serial = "QL58-2026" + std::to_string(100000 + n);
      const auto values = RecordColumnValues(r);
      for (size_t i = 0; i < values.size(); ++i)
        sqlite3_bind_text(s, static_cast<int>(i) + 1, values[i].c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_step(s);
      sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  const std::string command = std::string("'") + QUILLON_CLI + "' --home '" +
                              fs::path(file).parent_path().string() + "' records export --csv " +
                              "--records '" + file + "' >/dev/null";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("records export failed");
  }
  RemoveStore(file);
}
BENCHMARK(BM_ExportCsv100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace quillon::production

BENCHMARK_MAIN();
