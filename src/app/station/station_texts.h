// The station window's run-time texts (tile states, step names, status lines, the records
// panel), read once from the message file when a window is made: sixteen tiles redrawn on
// every progress event must not read a file each time. English stands in for a key that an
// older message file lacks.
#pragma once

#include <QString>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>

#include "core/messages.h"
#include "production/unit_record.h"

namespace quillon {

class StationTexts {
 public:
  explicit StationTexts(Messages& messages);

  // The text of key (an STN_ key) with its {fields} filled in.
  QString Text(const char* key,
               std::initializer_list<std::pair<const char*, std::string>> fields = {}) const;
  // "font", "字库": a step's name as the operator reads it.
  QString StepName(production::Step step) const;
  // "PASS", "FAIL", "INTERRUPTED" (with the language's own word beside it): never a colour
  // alone.
  QString ResultWord(production::UnitResult result) const;
  // "41.2 s"
  QString Seconds(double seconds) const;
  // A unit's one-line reason ("settings: blackness read back 3, wanted 5") with the step
  // named in the window's language.
  QString Reason(const std::string& reason) const;

 private:
  std::map<std::string, std::string> texts_;
};

}  // namespace quillon
