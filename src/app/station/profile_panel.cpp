#include "app/station/profile_panel.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>

#include "app/station/station_texts.h"

namespace quillon {
namespace {

using production::Plan;
using production::Step;

template <typename W>
W* Named(QWidget* parent, const char* name, const QString& text = {}) {
  auto* w = new W(text, parent);
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

QString FileName(const std::string& path) {
  return QFileInfo(QString::fromStdString(path)).fileName();
}

// What one step of the plan does, or nothing when the profile gives it nothing to do.
QStringList StepDetail(const Plan& plan, Step step) {
  QStringList parts;
  switch (step) {
    case Step::kIdentify:
      break;
    case Step::kFirmware:
      if (plan.firmware) {
        parts << FileName(plan.firmware->file.path);
        if (!plan.firmware->expect_info.empty())
          parts << QStringLiteral("\"%1\"").arg(QString::fromStdString(plan.firmware->expect_info));
      }
      break;
    case Step::kFont:
      if (plan.font) parts << FileName(plan.font->file.path);
      break;
    case Step::kSettings:
      for (const auto& s : plan.byte_settings) parts << QString::fromStdString(s.name);
      if (plan.bt_name) parts << QStringLiteral("bt-name");
      if (plan.bt_pin) parts << QStringLiteral("bt-pin");
      break;
    case Step::kNetwork:
      if (plan.network)
        parts << (plan.network->dhcp ? QStringLiteral("DHCP")
                                     : QString::fromStdString(plan.network->ip));
      if (plan.wifi) parts << QStringLiteral("Wi-Fi ") + QString::fromStdString(plan.wifi->ssid);
      break;
    case Step::kLabel:
      if (plan.label) parts << QStringLiteral("%1/%2").arg(plan.label->sensor).arg(plan.label->out);
      break;
    case Step::kSerial:
      if (plan.serial) parts << QString::fromStdString(plan.serial->format);
      break;
    case Step::kLogo:
      if (plan.logo_file) parts << FileName(plan.logo_file->path);
      break;
    case Step::kTest:
      if (plan.test) {
        if (!plan.test->text.empty()) parts << QStringLiteral("text");
        for (const std::string& name : plan.test->escpos) parts << QString::fromStdString(name);
        if (plan.test->picture_file) parts << FileName(plan.test->picture_file->path);
        if (parts.isEmpty()) parts << QStringLiteral("-");
      }
      break;
  }
  return parts;
}

// A piece of the summary that is never broken across lines: no-break spaces, and word
// joiners between the other characters (a format like {seq:06} has break opportunities).
QString Whole(const QString& text) {
  QString out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (i > 0 && !text[i].isLowSurrogate()) out += QChar(0x2060);
    out += text[i] == QLatin1Char(' ') ? QChar(QChar::Nbsp) : text[i];
  }
  return out;
}

}  // namespace

void ElidedLabel::SetFullText(const QString& text) {
  full_ = text;
  setText(text);
  setToolTip(text);
  updateGeometry();
}

QSize ElidedLabel::sizeHint() const {
  QSize size = QLabel::sizeHint();
  size.setWidth(std::min(size.width(), fontMetrics().averageCharWidth() * 40));
  return size;
}

QSize ElidedLabel::minimumSizeHint() const {
  return sizeHint();
}

void ElidedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOption option;
  option.initFrom(this);
  const QRect room = contentsRect();
  const QString shown = fontMetrics().elidedText(full_, Qt::ElideMiddle, room.width());
  style()->drawItemText(&painter, room, static_cast<int>(alignment()), option.palette, isEnabled(),
                        shown, foregroundRole());
}

QString PlanSummary(const Plan& plan, const StationTexts& texts) {
  // Lines break between the steps and their parts, never inside a file name or a format.
  QStringList steps;
  for (Step step : plan.steps) {
    const QStringList parts = StepDetail(plan, step);
    if (parts.isEmpty()) continue;
    QString item = Whole(texts.StepName(step) + QLatin1Char(' ') + parts.front());
    for (qsizetype i = 1; i < parts.size(); ++i) item += QStringLiteral(", ") + Whole(parts[i]);
    steps << item;
  }
  return steps.isEmpty() ? texts.Text("STN_PROFILE_NOTHING") : steps.join(QStringLiteral("  ·  "));
}

ProfilePanel::ProfilePanel(const StationTexts& texts, QWidget* parent)
    : QGroupBox(parent), texts_(texts) {
  setObjectName(QStringLiteral("grp_profile"));
  setTitle(QStringLiteral("Profile"));
  lbl_profile_file = Named<QLabel>(this, "lbl_profile_file", QStringLiteral("File:"));
  val_profile_file = new ElidedLabel(this);
  btn_choose = Named<QPushButton>(this, "btn_choose", QStringLiteral("Choose…"));
  lbl_profile_name = Named<QLabel>(this, "lbl_profile_name", QStringLiteral("Name:"));
  val_profile_name = new QLabel(this);
  QFont bold = val_profile_name->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.2);
  val_profile_name->setFont(bold);
  lbl_profile_sha = Named<QLabel>(this, "lbl_profile_sha", QStringLiteral("SHA-256:"));
  val_profile_sha = new QLabel(this);
  val_profile_sha->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  val_profile_sha->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lbl_profile_summary = Named<QLabel>(this, "lbl_profile_summary", QStringLiteral("Steps:"));
  val_profile_summary = new QLabel(this);
  val_profile_summary->setWordWrap(true);
  val_profile_summary->setTextFormat(Qt::PlainText);

  auto* grid = new QGridLayout(this);
  grid->addWidget(lbl_profile_file, 0, 0);
  grid->addWidget(val_profile_file, 0, 1);
  grid->addWidget(btn_choose, 0, 2);
  grid->addWidget(lbl_profile_name, 0, 3);
  grid->addWidget(val_profile_name, 0, 4);
  grid->addWidget(lbl_profile_sha, 1, 0);
  grid->addWidget(val_profile_sha, 1, 1, 1, 4);
  grid->addWidget(lbl_profile_summary, 2, 0, Qt::AlignTop);
  grid->addWidget(val_profile_summary, 2, 1, 1, 4);
  grid->setColumnStretch(1, 2);
  grid->setColumnStretch(4, 1);
  Refresh();
}

bool ProfilePanel::Load(const QString& path) {
  path_ = path;
  production::ProfileError error;
  std::optional<Plan> plan = production::LoadPlan(path.toStdString(), &error);
  if (plan) {
    plan_ = std::make_shared<const Plan>(std::move(*plan));
    error_.clear();
  } else {
    plan_.reset();
    error_ = QString::fromStdString(error.Text());
  }
  Refresh();
  return plan_ != nullptr;
}

void ProfilePanel::Refresh() {
  val_profile_file->SetFullText(path_.isEmpty() ? texts_.Text("STN_PROFILE_NONE") : path_);
  QPalette p = val_profile_summary->palette();
  if (plan_) {
    val_profile_name->setText(QString::fromStdString(plan_->name));
    val_profile_sha->setText(QString::fromStdString(plan_->sha256));
    val_profile_summary->setText(PlanSummary(*plan_, texts_));
    p.setColor(QPalette::WindowText, palette().color(QPalette::WindowText));
  } else {
    val_profile_name->clear();
    val_profile_sha->clear();
    val_profile_summary->setText(
        error_.isEmpty() ? QString()
                         : texts_.Text("STN_PROFILE_ERROR", {{"why", error_.toStdString()}}));
    p.setColor(QPalette::WindowText, QColor(0xA0, 0x30, 0x00));
  }
  val_profile_summary->setPalette(p);
}

}  // namespace quillon
