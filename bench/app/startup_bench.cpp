// Start-up of the main window: from nothing to a shown, painted main window with the
// shipped settings and language files (offscreen). The first window of the process, which
// also pays for fonts and styles, is reported separately as a counter.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <filesystem>

#include "core/sfunc.h"
#include "app/tmain.h"
#include "support/scripted_usb.h"

namespace {

double g_first_window_ms = 0;
double g_application_ms = 0;

void ShowOneWindow(quillon::UsbBackend& usb) {
  quillon::TmainDeps deps;
  deps.usb = &usb;
  deps.install = [](quillon::GuiRegistry&) {};
  quillon::Tmain w(std::move(deps));
  w.show();
  QApplication::processEvents();  // layout and first paint
  benchmark::DoNotOptimize(w.windowTitle());
}

void BM_MainWindowStartup(benchmark::State& state) {
  quillon::testing::ScriptedUsb usb;
  usb.paths.clear();
  for (auto _ : state) ShowOneWindow(usb);
  state.counters["first_window_ms"] = g_first_window_ms;
  state.counters["qapplication_ms"] = g_application_ms;
}
BENCHMARK(BM_MainWindowStartup)->Unit(benchmark::kMillisecond)->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  using Clock = std::chrono::steady_clock;
  const auto t0 = Clock::now();
  QApplication app(argc, argv);
  const auto t1 = Clock::now();
  g_application_ms = std::chrono::duration<double, std::milli>(t1 - t0).count();

  // A program folder holding the shipped files, as an installation would.
  QTemporaryDir folder;
  for (const auto& e : std::filesystem::directory_iterator(QUILLON_RESOURCE_DIR))
    if (e.path().extension() == ".ini")
      std::filesystem::copy_file(e.path(),
                                 folder.path().toStdString() + "/" + e.path().filename().string());
  quillon::SetApplicationPath(folder.path().toStdString());

  quillon::testing::ScriptedUsb usb;
  usb.paths.clear();
  const auto t2 = Clock::now();
  ShowOneWindow(usb);
  g_first_window_ms = std::chrono::duration<double, std::milli>(Clock::now() - t2).count();

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
