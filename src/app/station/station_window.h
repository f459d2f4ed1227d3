// "Production station": the operator's window on the production station. A profile is
// chosen and started; each USB port that has had a printer gets a tile (step, progress,
// then PASS or FAIL with one line of reason); the run's counters and the last records of
// the store sit beside them; the store in use and its state are always shown, and a banner
// says when the records server cannot be reached.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/messages.h"
#include "production/printer_source.h"
#include "app/station/qt_safe_station.h"
#include "app/station/station_texts.h"

class QLabel;
class QPushButton;
class QTimer;

namespace quillon {

class PortTile;
class ProfilePanel;
class RecordsPanel;
class StationRun;
class StoreWorker;
class TileGrid;
class ElidedLabel;

// What a station window is built on.
struct StationSetup {
  std::string language = "CHS";  // section of language_station.ini
  // Where the records go: "" the default file, a file, or a postgresql:// address.
  std::string records;
  std::string buffer;  // the local file of a server store; "" the default
  std::string operator_name;
  // The printers of each run: the USB printers, or a bench of virtual printers.
  std::function<std::unique_ptr<production::PrinterSource>(std::string* error)> make_source;
  // The file dialogs; null: Qt's. An empty answer is a cancel.
  std::function<QString(QWidget* parent)> ask_profile;
  std::function<QString(QWidget* parent)> ask_export;
};

class TStation final : public QWidget {
  Q_OBJECT

 public:
  TStation(Messages& messages, StationSetup setup, QWidget* parent = nullptr);
  // Stops a run at once (units in progress are recorded interrupted) and closes the store.
  ~TStation() override;

  // Loads and checks a profile; false when it cannot be used (the panel says why).
  bool LoadProfile(const QString& path);
  // Start (after a profile was loaded and the store opened: a start asked for earlier
  // happens then). The first Stop lets the units in progress finish; the second stops them.
  void Start();
  void Stop();
  bool running() const { return run_ != nullptr; }

  // Shows a station event as the running station would send it (events of a run come here
  // on the GUI thread).
  void ShowEvent(const production::StationEvent& event);
  // Asks the store again for its state and the last records.
  void RefreshRecords();
  // Writes the records of the chosen result as CSV into path (on the store's thread).
  void ExportRecords(const QString& path);

  TileGrid* tiles() const { return tiles_; }
  PortTile* tile(const QString& port) const;
  RecordsPanel* records() const { return records_; }
  ProfilePanel* profile() const { return profile_; }
  QLabel* status() const { return val_status_; }
  QLabel* banner() const { return val_banner_; }
  QLabel* storeState() const { return val_store_state_; }
  QPushButton* startButton() const { return btn_start_; }
  QPushButton* stopButton() const { return btn_stop_; }
  const StationTexts& texts() const { return texts_; }

 signals:
  // A unit ended on port (result as production::UnitResult).
  void unitEnded(const QString& port, int result, const QString& reason);
  void runStopped();
  // The records list and the store's state were shown again.
  void recordsShown();
  void exported(const QString& message);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildUi();
  void StoreOpened(const std::string& describe, const std::string& error);
  void ShowStoreState(production::StoreState state, const std::string& problem, int64_t pending);
  void ShowCounters();
  void RunStopped();
  void SetStatus(const QString& text);
  void ChooseProfile();
  void AskExport();

  Messages& messages_;
  StationSetup setup_;
  StationTexts texts_;
  std::unique_ptr<StoreWorker> worker_;
  std::unique_ptr<StationRun> run_;  // the station of the run in progress
  bool store_open_ = false;
  bool server_ = false;            // the store is a PostgreSQL server
  bool start_when_ready_ = false;  // Start was asked before the store was open
  bool stop_pressed_ = false;      // the first Stop of this run was given
  bool close_when_stopped_ = false;
  bool refreshing_ = false, refresh_again_ = false;
  QString stop_caption_;  // btn_stop's caption from the language file
  QElapsedTimer run_time_;
  production::Counters last_counters_;

  ProfilePanel* profile_ = nullptr;
  QLabel* val_banner_ = nullptr;
  QPushButton* btn_start_ = nullptr;
  QPushButton* btn_stop_ = nullptr;
  QLabel* val_status_ = nullptr;
  TileGrid* tiles_ = nullptr;
  RecordsPanel* records_ = nullptr;
  ElidedLabel* val_store_ = nullptr;
  QLabel* val_store_state_ = nullptr;
  QTimer* tick_ = nullptr;
};

}  // namespace quillon
