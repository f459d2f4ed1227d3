// The profile a station applies: the file chosen, its name, its SHA-256 and what it does
// step by step, or the one-line error (file and line) that keeps it from being used.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <memory>

#include "production/plan.h"

class QPushButton;

namespace quillon {

class StationTexts;

// A label for a path: elided in the middle when the room is short (the whole text in its
// tool tip), so a long folder never widens the window.
class ElidedLabel final : public QLabel {
 public:
  using QLabel::QLabel;
  void SetFullText(const QString& text);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString full_;
};

class ProfilePanel final : public QGroupBox {
  Q_OBJECT

 public:
  ProfilePanel(const StationTexts& texts, QWidget* parent = nullptr);

  // Loads and checks the profile at path; false (the error shown) when it cannot be used.
  bool Load(const QString& path);
  // The checked plan (null when none is loaded).
  std::shared_ptr<const production::Plan> plan() const { return plan_; }
  // Shows what the panel holds (after the language file set the captions).
  void Refresh();

  QLabel* lbl_profile_file;
  ElidedLabel* val_profile_file;
  QPushButton* btn_choose;
  QLabel* lbl_profile_name;
  QLabel* val_profile_name;
  QLabel* lbl_profile_sha;
  QLabel* val_profile_sha;
  QLabel* lbl_profile_summary;
  QLabel* val_profile_summary;

 private:
  const StationTexts& texts_;
  QString path_;
  QString error_;
  std::shared_ptr<const production::Plan> plan_;
};

// What a plan does, step by step: "firmware fw.bin · settings blackness, bt-name · ...".
QString PlanSummary(const production::Plan& plan, const StationTexts& texts);

}  // namespace quillon
