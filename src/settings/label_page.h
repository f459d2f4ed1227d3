// The label control page: the label sensor's thresholds and self-test, and the label
// detection and tear-off distances. Finds its controls on the page by object name.
#pragma once

#include <QObject>
#include <memory>

#include "session/app_context.h"

class QWidget;

namespace quillon {

class LabelPageController : public QObject {
  Q_OBJECT
 public:
  LabelPageController(QWidget* page, AppContext& ctx);

  void btn45Click();  // thresholds
  void btn46Click();  // self-test
  void btn47Click();  // distances query
  void btn48Click();  // distances set

 private:
  void LabelTest(uint8_t operation);

  QWidget* page_;
  AppContext& ctx_;
};

// Installs the controller on the inner page ts2; the caller keeps it for the run.
std::unique_ptr<QObject> InstallLabelPage(QWidget* ts2, AppContext& ctx);

}  // namespace quillon
