#include "station_fixture.h"

#include "app/station/tile_grid.h"

#include <QCoreApplication>
#include <QPushButton>
#include <filesystem>

#include "core/file_locations.h"

namespace quillon::testing {

std::string ProcessSuffix() {
  return "_" + std::to_string(QCoreApplication::applicationPid());
}

StationTest::StationTest() {
  for (const auto& entry : std::filesystem::directory_iterator(QUILLON_RESOURCE_DIR)) {
    if (entry.path().extension() == ".ini")
      std::filesystem::copy_file(entry.path(), dir.file(entry.path().filename().string()),
                                 std::filesystem::copy_options::overwrite_existing);
  }
  std::string font(64 * 1024, '\0');
  for (size_t i = 0; i < font.size(); ++i) font[i] = static_cast<char>(i * 7 + 3);
  dir.Write("font.bin", font);
  dir.Write("line-a.ini",
            "[profile]\nname = QL58 line A\n[font]\nfile = font.bin\n[settings]\nblackness = 3\n"
            "bt-name = QL58-{mac4}\n[serial]\nformat = QL58-{yyyy}{seq:06}\nseq = 1\n"
            "[test]\ntext = Unit {serial}\n");
  profile = dir.file("line-a.ini");
  records = dir.file("records.sqlite");
}

std::unique_ptr<TStation> StationTest::MakeWindow(const production::VirtualBench& bench,
                                                  SourceWrap wrap, const std::string& language) {
  language_ = language;
  messages_ =
      std::make_unique<MsgIni>(Files().LanguageReadOrder("language_msg.ini"), language_, presenter);
  StationSetup setup;
  setup.language = language;
  setup.records = records;
  setup.buffer = dir.file("records-buffer.sqlite");
  setup.make_source = [bench, wrap](std::string* error) {
    std::unique_ptr<production::PrinterSource> source =
        production::MakeVirtualPrinterSource(bench, error);
    return wrap && source ? wrap(std::move(source)) : std::move(source);
  };
  return std::make_unique<TStation>(*messages_, std::move(setup));
}

std::unique_ptr<TStation> StationTest::StartWindow(const production::VirtualBench& bench,
                                                   SourceWrap wrap) {
  auto w = MakeWindow(bench, std::move(wrap));
  w->show();
  EXPECT_TRUE(w->LoadProfile(QString::fromStdString(profile)));
  EXPECT_TRUE(WaitFor([&] { return w->startButton()->isEnabled(); }));
  w->startButton()->click();
  EXPECT_TRUE(w->running());
  return w;
}

int TilesIn(TStation& w, PortTile::State state) {
  int n = 0;
  for (PortTile* t : w.tiles()->Tiles()) n += t->state() == state;
  return n;
}

}  // namespace quillon::testing
