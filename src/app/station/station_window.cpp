#include "app/station/station_window.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <fstream>

#include "app/language.h"
#include "core/utf8_path.h"
#include "app/station/port_tile.h"
#include "app/station/profile_panel.h"
#include "app/station/records_panel.h"
#include "app/station/station_run.h"
#include "app/station/store_worker.h"
#include "app/station/tile_grid.h"

namespace quillon {
namespace {

using production::StationEvent;
using production::StopMode;
using production::StoreState;
using production::UnitRecord;

constexpr int kTickMs = 1000;
constexpr int kRefreshTicks = 5;  // the store's state and records every five seconds

bool IsServer(const std::string& where) {
  return where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0;
}

QPushButton* BigButton(QWidget* parent, const char* name, const QString& text) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QString::fromLatin1(name));
  QFont f = b->font();
  f.setPointSizeF(f.pointSizeF() * 1.3);
  f.setBold(true);
  b->setFont(f);
  return b;
}

}  // namespace

TStation::TStation(Messages& messages, StationSetup setup, QWidget* parent)
    : QWidget(parent), messages_(messages), setup_(std::move(setup)), texts_(messages) {
  setObjectName(QStringLiteral("station"));
  setWindowFlag(Qt::Window);
  BuildUi();
  Language_Set(this, setup_.language);
  records_->Retranslate();
  profile_->Refresh();
  stop_caption_ = btn_stop_->text();
  ShowCounters();
  SetStatus(texts_.Text("STN_READY"));

  server_ = IsServer(setup_.records);
  const std::string where =
      setup_.records.empty() ? production::DefaultRecordsFile() : setup_.records;
  val_store_->SetFullText(
      texts_.Text(server_ ? "STN_STORE_SERVER" : "STN_STORE_FILE", {{"where", where}}));
  val_store_state_->setText(texts_.Text("STN_STORE_OPENING"));
  worker_ = std::make_unique<StoreWorker>(
      setup_.records, setup_.buffer.empty() ? production::DefaultBufferFile() : setup_.buffer);
  worker_->Post([this](production::RecordStore* store, const std::string& error) {
    const std::string describe = store ? store->Describe() : std::string();
    QMetaObject::invokeMethod(
        this, [this, describe, error] { StoreOpened(describe, error); }, Qt::QueuedConnection);
  });

  tick_ = new QTimer(this);
  tick_->setInterval(kTickMs);
  connect(tick_, &QTimer::timeout, this, [this, ticks = 0]() mutable {
    tiles_->TickAll();
    if (run_) ShowCounters();
    if (++ticks % kRefreshTicks == 0) RefreshRecords();
  });
  tick_->start();

  // At most the screen, centred on it.
  QSize size = sizeHint().expandedTo(QSize(1320, 700));
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect room = screen->availableGeometry();
    size = size.boundedTo(QSize(room.width(), std::min(room.height(), 700)));
    resize(size);
    move(room.center() - rect().center());
  } else {
    resize(size);
  }
}

TStation::~TStation() {
  // The station first (it stops at once and joins its threads), then the store's thread.
  run_.reset();
  worker_.reset();
}

void TStation::BuildUi() {
  setWindowTitle(QStringLiteral("Production station"));
  val_banner_ = new QLabel(this);
  val_banner_->setWordWrap(true);
  val_banner_->setAutoFillBackground(true);
  val_banner_->setMargin(8);
  QPalette warn = val_banner_->palette();
  warn.setColor(QPalette::Window, QColor(0xE6, 0x9F, 0x00));
  warn.setColor(QPalette::WindowText, Qt::black);
  val_banner_->setPalette(warn);
  QFont big = val_banner_->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.2);
  val_banner_->setFont(big);
  val_banner_->hide();

  profile_ = new ProfilePanel(texts_, this);
  btn_start_ = BigButton(this, "btn_start", QStringLiteral("Start"));
  btn_stop_ = BigButton(this, "btn_stop", QStringLiteral("Stop"));
  val_status_ = new QLabel(this);
  val_status_->setWordWrap(true);
  QFont status = val_status_->font();
  status.setPointSizeF(status.pointSizeF() * 1.15);
  val_status_->setFont(status);
  auto* controls = new QHBoxLayout;
  controls->addWidget(btn_start_);
  controls->addWidget(btn_stop_);
  controls->addSpacing(12);
  controls->addWidget(val_status_, 1);

  tiles_ = new TileGrid(texts_, this);
  records_ = new RecordsPanel(texts_, this);
  val_store_ = new ElidedLabel(this);
  val_store_state_ = new QLabel(this);
  QFont bold = val_store_state_->font();
  bold.setBold(true);
  val_store_state_->setFont(bold);
  auto* store = new QHBoxLayout;
  store->addWidget(val_store_, 1);
  store->addWidget(val_store_state_);
  auto* right = new QVBoxLayout;
  right->addWidget(records_, 1);
  right->addLayout(store);
  auto* body = new QHBoxLayout;
  body->addWidget(tiles_, 2);
  body->addLayout(right, 1);

  auto* v = new QVBoxLayout(this);
  v->addWidget(val_banner_);
  v->addWidget(profile_);
  v->addLayout(controls);
  v->addLayout(body, 1);

  btn_start_->setEnabled(false);
  btn_stop_->setEnabled(false);
  connect(btn_start_, &QPushButton::clicked, this, &TStation::Start);
  connect(btn_stop_, &QPushButton::clicked, this, &TStation::Stop);
  connect(profile_->btn_choose, &QPushButton::clicked, this, &TStation::ChooseProfile);
  connect(records_, &RecordsPanel::queryChanged, this, &TStation::RefreshRecords);
  connect(records_, &RecordsPanel::exportRequested, this, &TStation::AskExport);
}

PortTile* TStation::tile(const QString& port) const {
  return tiles_->Find(port);
}

void TStation::SetStatus(const QString& text) {
  val_status_->setText(text);
}

bool TStation::LoadProfile(const QString& path) {
  const bool ok = profile_->Load(path);
  btn_start_->setEnabled(ok && store_open_ && !run_);
  if (!run_) SetStatus(texts_.Text(ok ? "STN_PRESS_START" : "STN_READY"));
  return ok;
}

void TStation::ChooseProfile() {
  const QString path = setup_.ask_profile
                           ? setup_.ask_profile(this)
                           : QFileDialog::getOpenFileName(this, texts_.Text("STN_CHOOSE_TITLE"), {},
                                                          texts_.Text("STN_PROFILE_FILTER"));
  if (!path.isEmpty()) LoadProfile(path);
}

void TStation::StoreOpened(const std::string& describe, const std::string& error) {
  if (!error.empty()) {
    val_store_state_->clear();
    val_banner_->setText(texts_.Text("STN_STORE_FAILED", {{"why", error}}));
    val_banner_->show();
    start_when_ready_ = false;
    return;
  }
  store_open_ = true;
  val_store_->SetFullText(
      texts_.Text(server_ ? "STN_STORE_SERVER" : "STN_STORE_FILE", {{"where", describe}}));
  val_store_state_->clear();
  btn_start_->setEnabled(profile_->plan() != nullptr && !run_);
  RefreshRecords();
  if (start_when_ready_) {
    start_when_ready_ = false;
    Start();
  }
}

void TStation::Start() {
  if (run_) return;
  std::shared_ptr<const production::Plan> plan = profile_->plan();
  if (!plan) return;
  if (!store_open_) {
    start_when_ready_ = true;  // the store is still being opened
    return;
  }
  production::RecordStore* store = worker_->store();
  std::string error;
  std::unique_ptr<production::PrinterSource> source =
      setup_.make_source ? setup_.make_source(&error) : nullptr;
  if (!store || !source) {
    SetStatus(texts_.Text("STN_START_FAILED", {{"why", error}}));
    return;
  }
  production::StationOptions options;
  options.operator_name = setup_.operator_name;
  run_ = std::make_unique<StationRun>(
      plan, *store, std::move(source), this, [this](const StationEvent& e) { ShowEvent(e); },
      std::move(options));
  if (!run_->station().Start(&error)) {
    run_.reset();
    SetStatus(texts_.Text("STN_START_FAILED", {{"why", error}}));
    return;
  }
  run_time_.start();
  stop_pressed_ = false;
  if (!server_) val_banner_->hide();  // a problem of the last run's file
  btn_start_->setEnabled(false);
  btn_stop_->setEnabled(true);
  btn_stop_->setText(stop_caption_);
  profile_->btn_choose->setEnabled(false);
  SetStatus(texts_.Text("STN_RUNNING"));
  ShowCounters();
}

void TStation::Stop() {
  if (!run_) return;
  const QString firmware =
      run_->plan().firmware ? QLatin1Char(' ') + texts_.Text("STN_STOPPING_FIRMWARE") : QString();
  if (!stop_pressed_) {
    stop_pressed_ = true;
    btn_stop_->setText(texts_.Text("STN_STOP_NOW"));
    SetStatus(texts_.Text("STN_STOPPING") + firmware);
    run_->station().Stop(StopMode::kGraceful);
  } else {
    btn_stop_->setEnabled(false);
    SetStatus(texts_.Text("STN_STOPPING_NOW") + firmware);
    run_->station().Stop(StopMode::kImmediate);
  }
}

void TStation::ShowEvent(const StationEvent& e) {
  const QString port = QString::fromStdString(e.port);
  using Kind = StationEvent::Kind;
  switch (e.kind) {
    case Kind::kPrinterArrived:
      tiles_->Tile(port)->Arrived(QString::fromStdString(e.identity.usb_serial));
      break;
    case Kind::kSerialAllocated:
      tiles_->Tile(port)->SetSerial(QString::fromStdString(e.serial));
      break;
    case Kind::kStepStarted:
      tiles_->Tile(port)->StepStarted(e.step);
      break;
    case Kind::kStepProgress:
      tiles_->Tile(port)->StepProgress(e.percent);
      break;
    case Kind::kUnitFinished:
      tiles_->Tile(port)->Ended(e.result, e.message, e.seconds);
      ShowCounters();
      RefreshRecords();
      emit unitEnded(port, static_cast<int>(e.result), QString::fromStdString(e.message));
      break;
    case Kind::kWaiting:
      tiles_->Tile(port)->StoreWaiting();
      break;
    case Kind::kPrinterLeft:
      if (PortTile* t = tiles_->Find(port)) t->Left();
      break;
    case Kind::kStoreState:
      ShowStoreState(e.store, e.message, -1);
      RefreshRecords();
      break;
    case Kind::kStopped:
      RunStopped();
      break;
    case Kind::kIdentified:
    case Kind::kStepFinished:
    case Kind::kStopping:
      break;
  }
}

void TStation::RunStopped() {
  if (!run_) return;
  run_->station().Wait();  // the watcher has said its last word: this returns at once
  ShowCounters();
  run_.reset();
  btn_start_->setEnabled(profile_->plan() != nullptr && store_open_);
  btn_stop_->setEnabled(false);
  btn_stop_->setText(stop_caption_);
  profile_->btn_choose->setEnabled(true);
  SetStatus(texts_.Text("STN_STOPPED"));
  RefreshRecords();
  emit runStopped();
  if (close_when_stopped_) close();
}

void TStation::ShowCounters() {
  if (run_) last_counters_ = run_->station().counters();
  const double hours = run_time_.isValid() ? static_cast<double>(run_time_.elapsed()) / 3.6e6 : 0;
  records_->SetCounters(last_counters_, hours);
}

void TStation::ShowStoreState(StoreState state, const std::string& problem, int64_t pending) {
  if (server_) {
    val_store_state_->setText(
        texts_.Text(state == StoreState::kReady ? "STN_STORE_CONNECTED" : "STN_STORE_UNREACHABLE"));
    if (state == StoreState::kReady) {
      val_banner_->hide();
    } else {
      val_banner_->setText(
          texts_.Text("STN_BANNER_UNREACHABLE",
                      {{"why", problem},
                       {"pending", pending < 0 ? std::string("…") : std::to_string(pending)}}));
      val_banner_->show();
    }
  } else if (state == StoreState::kUnreachable) {
    // A file that could not be written: said until the next run starts.
    val_banner_->setText(texts_.Text("STN_BANNER_PROBLEM", {{"why", problem}}));
    val_banner_->show();
  }
}

void TStation::RefreshRecords() {
  if (!store_open_) return;
  if (refreshing_) {
    refresh_again_ = true;
    return;
  }
  refreshing_ = true;
  const production::RecordQuery query = records_->query();
  worker_->Post([this, query](production::RecordStore* store, const std::string&) {
    if (!store) return;
    struct Snapshot {
      StoreState state;
      std::string problem;
      int64_t pending;
      std::vector<UnitRecord> records;
    };
    auto s = std::make_shared<Snapshot>();
    s->state = store->state();
    s->problem = store->Problem();
    s->pending = store->Pending();
    std::string error;
    s->records = store->List(query, &error);
    QMetaObject::invokeMethod(
        this,
        [this, s] {
          refreshing_ = false;
          ShowStoreState(s->state, s->problem, s->pending);
          records_->ShowRecords(s->records);
          emit recordsShown();
          if (refresh_again_) {
            refresh_again_ = false;
            RefreshRecords();
          }
        },
        Qt::QueuedConnection);
  });
}

void TStation::AskExport() {
  const QString path = setup_.ask_export
                           ? setup_.ask_export(this)
                           : QFileDialog::getSaveFileName(this, texts_.Text("STN_EXPORT_TITLE"),
                                                          QStringLiteral("records.csv"),
                                                          texts_.Text("STN_EXPORT_FILTER"));
  if (!path.isEmpty()) ExportRecords(path);
}

void TStation::ExportRecords(const QString& path) {
  if (!store_open_) return;
  production::RecordQuery query = records_->query();
  query.limit = 0;  // every record of the chosen result, oldest first
  const std::string file = path.toStdString();
  worker_->Post([this, query, file](production::RecordStore* store, const std::string&) {
    std::string error;
    int64_t count = 0;
    {
      std::ofstream out(Utf8Path(file), std::ios::binary | std::ios::trunc);
      if (!store) {
        error = "the records store is not open";
      } else if (!out) {
        error = "cannot write " + file;
      } else {
        out << production::CsvHeader();
        store->ForEach(
            query,
            [&](const UnitRecord& r) {
              out << production::RecordToCsv(r);
              ++count;
              return static_cast<bool>(out);
            },
            &error);
        out.flush();
        if (!out && error.empty()) error = "cannot write " + file;
      }
    }
    QMetaObject::invokeMethod(
        this,
        [this, error, count, file] {
          const QString message =
              error.empty() ? texts_.Text("STN_EXPORT_DONE",
                                          {{"count", std::to_string(count)}, {"path", file}})
                            : texts_.Text("STN_EXPORT_FAILED", {{"why", error}});
          SetStatus(message);
          emit exported(message);
        },
        Qt::QueuedConnection);
  });
}

void TStation::closeEvent(QCloseEvent* event) {
  // Closing is a Stop: the units in progress finish (a second close stops them) and the
  // window goes when the station has stopped.
  if (run_) {
    close_when_stopped_ = true;
    Stop();
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

}  // namespace quillon
