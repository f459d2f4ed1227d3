#include "app/station/records_panel.h"

#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "production/record_columns.h"
#include "app/station/port_tile.h"
#include "app/station/station_texts.h"

namespace quillon {
namespace {

using production::UnitRecord;
using production::UnitResult;

template <typename W>
W* Named(QWidget* parent, const char* name, const QString& text = {}) {
  auto* w = new W(text, parent);
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

// Counter values are unnamed: the language files leave them alone.
QLabel* Value(QWidget* parent) {
  auto* label = new QLabel(QStringLiteral("0"), parent);
  QFont f = label->font();
  f.setPointSizeF(f.pointSizeF() * 1.6);
  f.setBold(true);
  label->setFont(f);
  return label;
}

// "09:15:02" today, "03-01 09:15" before, in the PC's time zone.
QString LocalTime(const std::string& utc) {
  const QDateTime t = QDateTime::fromString(QString::fromStdString(utc), Qt::ISODateWithMs);
  if (!t.isValid()) return QString::fromStdString(utc);
  const QDateTime local = t.toLocalTime();
  return local.toString(local.date() == QDate::currentDate() ? QStringLiteral("HH:mm:ss")
                                                             : QStringLiteral("MM-dd HH:mm"));
}

// The result choices of cbb_result, in the order of its items.
const std::optional<UnitResult> kResultChoices[] = {std::nullopt, UnitResult::kPass,
                                                    UnitResult::kFail, UnitResult::kInterrupted};

}  // namespace

RecordsPanel::RecordsPanel(const StationTexts& texts, QWidget* parent)
    : QWidget(parent), texts_(texts) {
  grp_counters = Named<QGroupBox>(this, "grp_counters", QStringLiteral("This run"));
  lbl_passed_caption = Named<QLabel>(grp_counters, "lbl_passed_caption", QStringLiteral("Passed"));
  val_passed = Value(grp_counters);
  lbl_failed_caption = Named<QLabel>(grp_counters, "lbl_failed_caption", QStringLiteral("Failed"));
  val_failed = Value(grp_counters);
  lbl_interrupted_caption =
      Named<QLabel>(grp_counters, "lbl_interrupted_caption", QStringLiteral("Interrupted"));
  val_interrupted = Value(grp_counters);
  lbl_rate_caption = Named<QLabel>(grp_counters, "lbl_rate_caption", QStringLiteral("Units/hour"));
  val_rate = Value(grp_counters);
  auto* counters = new QGridLayout(grp_counters);
  const std::pair<QLabel*, QLabel*> cells[] = {{lbl_passed_caption, val_passed},
                                               {lbl_failed_caption, val_failed},
                                               {lbl_interrupted_caption, val_interrupted},
                                               {lbl_rate_caption, val_rate}};
  int column = 0;
  for (const auto& [caption, value] : cells) {
    counters->addWidget(caption, 0, column, Qt::AlignHCenter);
    counters->addWidget(value, 1, column, Qt::AlignHCenter);
    ++column;
  }

  grp_records = Named<QGroupBox>(this, "grp_records", QStringLiteral("Last records"));
  edt_filter = new QLineEdit(grp_records);
  edt_filter->setObjectName(QStringLiteral("edt_filter"));
  edt_filter->setClearButtonEnabled(true);
  cbb_result = new QComboBox(grp_records);
  cbb_result->setObjectName(QStringLiteral("cbb_result"));
  cbb_result->addItems({QStringLiteral("All"), QStringLiteral("Passed"), QStringLiteral("Failed"),
                        QStringLiteral("Interrupted")});
  btn_export = Named<QPushButton>(grp_records, "btn_export", QStringLiteral("Export…"));
  tbl_records = new QTableWidget(0, 4, grp_records);
  tbl_records->setObjectName(QStringLiteral("tbl_records"));
  tbl_records->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tbl_records->setSelectionBehavior(QAbstractItemView::SelectRows);
  tbl_records->setSelectionMode(QAbstractItemView::SingleSelection);
  tbl_records->verticalHeader()->hide();
  tbl_records->setWordWrap(false);
  QHeaderView* header = tbl_records->horizontalHeader();
  for (int c = 0; c < 3; ++c) header->setSectionResizeMode(c, QHeaderView::ResizeToContents);
  header->setSectionResizeMode(3, QHeaderView::Stretch);
  auto* filter = new QHBoxLayout;
  filter->addWidget(edt_filter, 1);
  filter->addWidget(cbb_result);
  filter->addWidget(btn_export);
  auto* records = new QVBoxLayout(grp_records);
  records->addLayout(filter);
  records->addWidget(tbl_records, 1);

  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(0, 0, 0, 0);
  v->addWidget(grp_counters);
  v->addWidget(grp_records, 1);

  connect(cbb_result, &QComboBox::currentIndexChanged, this, &RecordsPanel::queryChanged);
  connect(edt_filter, &QLineEdit::textChanged, this, [this] {
    ApplyTextFilter();
    emit queryChanged();  // a text filter looks among more records than are shown
  });
  connect(btn_export, &QPushButton::clicked, this, &RecordsPanel::exportRequested);
  connect(tbl_records, &QTableWidget::cellDoubleClicked, this,
          [this](int row, int) { ShowRecordDialog(row); });
  Retranslate();
}

void RecordsPanel::Retranslate() {
  tbl_records->setHorizontalHeaderLabels(
      {texts_.Text("STN_COL_TIME"), texts_.Text("STN_COL_SERIAL"), texts_.Text("STN_COL_RESULT"),
       texts_.Text("STN_COL_REASON")});
  edt_filter->setPlaceholderText(texts_.Text("STN_FILTER_HINT"));
}

void RecordsPanel::SetCounters(const production::Counters& counters, double hours) {
  val_passed->setText(QString::number(counters.pass));
  val_failed->setText(QString::number(counters.fail));
  val_interrupted->setText(QString::number(counters.interrupted));
  const int64_t ended = counters.pass + counters.fail + counters.interrupted;
  // A rate over the first minutes says little: it is given once a unit has ended, over at
  // least one minute.
  val_rate->setText(ended == 0
                        ? QStringLiteral("–")
                        : QString::number(static_cast<int64_t>(
                              static_cast<double>(ended) / std::max(hours, 1.0 / 60) + 0.5)));
}

production::RecordQuery RecordsPanel::query() const {
  production::RecordQuery q;
  const int i = cbb_result->currentIndex();
  if (i > 0 && i < static_cast<int>(std::size(kResultChoices))) q.result = kResultChoices[i];
  q.limit = edt_filter->text().trimmed().isEmpty() ? kShown : 50 * kShown;
  return q;
}

void RecordsPanel::ShowRecords(const std::vector<UnitRecord>& records) {
  fetched_ = records;
  ApplyTextFilter();
}

void RecordsPanel::ApplyTextFilter() {
  const QString needle = edt_filter->text().trimmed();
  shown_.clear();
  for (const UnitRecord& r : fetched_) {
    if (static_cast<int>(shown_.size()) == kShown) break;
    const QString hay = QString::fromStdString(r.serial + "\n" + r.reason + "\n" + r.identity.port +
                                               "\n" + r.identity.usb_serial);
    if (needle.isEmpty() || hay.contains(needle, Qt::CaseInsensitive)) shown_.push_back(r);
  }
  tbl_records->setRowCount(static_cast<int>(shown_.size()));
  for (int row = 0; row < static_cast<int>(shown_.size()); ++row) {
    const UnitRecord& r = shown_[static_cast<size_t>(row)];
    const QString cells[] = {LocalTime(r.started), QString::fromStdString(r.serial),
                             texts_.ResultWord(r.result), texts_.Reason(r.reason)};
    for (int c = 0; c < 4; ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      if (c == 3) item->setToolTip(cells[c]);
      if (c == 2 && r.result != UnitResult::kRunning) {
        const ResultColours colours = ColoursOf(r.result);
        item->setBackground(colours.background);
        item->setForeground(colours.text);
      }
      tbl_records->setItem(row, c, item);
    }
  }
}

void RecordsPanel::ShowRecordDialog(int row) {
  if (row < 0 || row >= static_cast<int>(shown_.size())) return;
  const UnitRecord& r = shown_[static_cast<size_t>(row)];
  QDialog dialog(this);
  dialog.setObjectName(QStringLiteral("record"));
  dialog.setWindowTitle(texts_.Text("STN_RECORD_TITLE", {{"serial", r.serial}}));
  auto* text = new QPlainTextEdit(RecordDetails(r, texts_), &dialog);
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  auto* buttons = new QDialogButtonBox(&dialog);
  buttons->addButton(texts_.Text("STN_CLOSE"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* v = new QVBoxLayout(&dialog);
  v->addWidget(text);
  v->addWidget(buttons);
  dialog.resize(760, 560);
  dialog.exec();
}

QString RecordDetails(const UnitRecord& r, const StationTexts& texts) {
  const std::vector<std::string>& names = production::RecordColumnNames();
  const std::vector<std::string> values = production::RecordColumnValues(r);
  QString out;
  for (size_t i = 0; i < names.size() && i < values.size(); ++i) {
    if (names[i] == "value_list" || names[i] == "step_list") continue;
    out += QString::fromStdString(names[i]).leftJustified(16) + QString::fromStdString(values[i]) +
           QLatin1Char('\n');
  }
  out += QLatin1Char('\n') + texts.Text("STN_RECORD_VALUES") + QLatin1Char('\n');
  for (const production::ValueRecord& v : r.values) {
    out += QStringLiteral("  %1  %2: %3 -> %4\n")
               .arg(texts.StepName(v.step), QString::fromStdString(v.name),
                    QString::fromStdString(v.requested),
                    v.read ? QString::fromStdString(v.read_back) + (v.equal ? "" : "  ≠")
                           : texts.Text("STN_NOT_READ_BACK"));
  }
  out += QLatin1Char('\n') + texts.Text("STN_RECORD_STEPS") + QLatin1Char('\n');
  for (const production::StepRecord& s : r.steps) {
    out +=
        QStringLiteral("  %1  %2  %3  %4\n")
            .arg(texts.StepName(s.step), QString::fromLatin1(production::StepStatusName(s.status)),
                 texts.Seconds(s.seconds), QString::fromStdString(s.message));
  }
  return out;
}

}  // namespace quillon
