// A flow's page as the fault scenarios see it: message texts are their keys, boxes and memo
// lines are recorded, so a scenario can name the message the user got.
#pragma once

#include <string>
#include <vector>

#include "core/flow_ui.h"
#include "core/messages.h"

namespace quillon::faults {

class RecordingMessages final : public Messages {
 public:
  // The fixed keys read as themselves; the program's own texts (FLASH_..., MSG101 on) as
  // missing, so their built-in English sentences show what the user is told.
  std::string Text(const std::string& key) override {
    return key.size() == 6 && key.rfind("MSG0", 0) == 0 ? key : "ERROR";
  }
  int MSGDLG(int, const std::string&, const std::string& text) override {
    boxes.push_back(text);
    return kMsgResultOk;
  }
  std::vector<std::string> boxes;
};

class RecordingUi final : public FlowUi {
 public:
  void ClearMemo() override { memo.clear(); }
  void MemoLine(const std::string& line) override { memo.push_back(line); }
  void SetProgressMax(int64_t max) override { progress_max = max; }
  void SetProgress(int64_t position) override { progress = position; }
  Messages& messages() override { return msgs; }
  // The last thing the user was told: the last box, else the last memo line.
  std::string LastWord() const {
    if (!msgs.boxes.empty()) return msgs.boxes.back();
    return memo.empty() ? "(nothing)" : memo.back();
  }
  RecordingMessages msgs;
  std::vector<std::string> memo;
  int64_t progress_max = 0, progress = 0;
};

}  // namespace quillon::faults
