// One tile per USB port that has had a printer: the port, the unit's serial number, its
// step with a progress bar and the time so far; then a large PASS or FAIL with one line of
// reason, kept until the printer is unplugged; then grey while the port waits. The result
// is always a word, the colour only repeats it (a colour-blind-safe pair).
#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QFrame>
#include <QString>

#include "production/unit_record.h"

class QLabel;
class QProgressBar;

namespace quillon {

class StationTexts;

// Background and text colours of a result (Okabe-Ito colours that stay apart for the usual
// kinds of colour blindness, and apart in lightness too): bluish green PASS with dark text,
// vermillion FAIL with white text, yellow INTERRUPTED, grey while running.
struct ResultColours {
  QColor background, text;
};
ResultColours ColoursOf(production::UnitResult result);

class PortTile final : public QFrame {
  Q_OBJECT

 public:
  enum class State {
    kWaiting,       // no printer (grey); a line says how the last unit ended
    kRunning,       // a unit runs: step, progress, time so far
    kEnded,         // the unit ended: PASS, FAIL or INTERRUPTED until the printer leaves
    kStoreWaiting,  // a printer waits because no serial number can be allocated
  };

  PortTile(const QString& port, const StationTexts& texts, QWidget* parent = nullptr);

  // A printer arrived: a new unit starts.
  void Arrived(const QString& usb_serial);
  void SetSerial(const QString& serial);
  // The bar shows the step's own progress, or that it is busy while it says none.
  void StepStarted(production::Step step);
  void StepProgress(int percent);
  void Ended(production::UnitResult result, const std::string& reason, double seconds);
  void Left();
  void StoreWaiting();
  // Redraws the time so far of a running unit.
  void Tick();

  const QString& port() const { return port_; }
  State state() const { return state_; }
  production::UnitResult result() const { return result_; }
  // What the tile shows, for tests and screen readers: the result word, the reason line,
  // the serial number, the step line.
  QString resultText() const;
  QString reasonText() const;
  QString serialText() const;
  QString stepText() const;

 private:
  void Show(State state);
  void Paint(const QColor& background, const QColor& text);

  const StationTexts& texts_;
  QString port_;
  State state_ = State::kWaiting;
  production::UnitResult result_ = production::UnitResult::kRunning;
  QString last_line_;  // "Last: FAIL QL58-..." and the reason, for the grey tile
  bool gone_ = false;  // the printer left while its unit ran
  QString step_name_;
  QElapsedTimer elapsed_;

  QLabel* port_label_;
  QLabel* time_label_;
  QLabel* serial_label_;
  QLabel* step_label_;
  QProgressBar* progress_;
  QLabel* result_label_;
  QLabel* reason_label_;
  QLabel* waiting_label_;
};

}  // namespace quillon
