// The counters of the run (passed, failed, interrupted, units per hour) and the last records
// of the store (time, serial number, result, reason), filtered by result and by a piece of
// text, exported as CSV, each shown whole on a double-click.
#pragma once

#include <QWidget>
#include <vector>

#include "production/record_store.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace quillon {

class StationTexts;

class RecordsPanel final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kShown = 20;  // records in the list

  RecordsPanel(const StationTexts& texts, QWidget* parent = nullptr);

  // Counters of this run; hours: how long it has run.
  void SetCounters(const production::Counters& counters, double hours);
  // The newest records of query() (newest first); the text filter picks those shown.
  void ShowRecords(const std::vector<production::UnitRecord>& records);
  // What the store is asked for: the chosen result, newest first; more than are shown when
  // a text filter picks among them.
  production::RecordQuery query() const;
  // The records in the list, top first.
  const std::vector<production::UnitRecord>& shown() const { return shown_; }
  void ShowRecordDialog(int row);
  // Column texts, after the language file was applied.
  void Retranslate();

  QGroupBox* grp_counters;
  QLabel* lbl_passed_caption;
  QLabel* val_passed;
  QLabel* lbl_failed_caption;
  QLabel* val_failed;
  QLabel* lbl_interrupted_caption;
  QLabel* val_interrupted;
  QLabel* lbl_rate_caption;
  QLabel* val_rate;
  QGroupBox* grp_records;
  QLineEdit* edt_filter;
  QComboBox* cbb_result;
  QPushButton* btn_export;
  QTableWidget* tbl_records;

 signals:
  // The result choice changed: the store is asked again.
  void queryChanged();
  void exportRequested();

 private:
  void ApplyTextFilter();

  const StationTexts& texts_;
  std::vector<production::UnitRecord> fetched_;
  std::vector<production::UnitRecord> shown_;
};

// The whole record as lines of text: every field, what each step asked for and read back,
// and each step's result.
QString RecordDetails(const production::UnitRecord& record, const StationTexts& texts);

}  // namespace quillon
