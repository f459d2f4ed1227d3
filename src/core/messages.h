// Message texts by key and the message box, as the core flows and pages see them.
// The GUI shows QMessageBox; the CLI prints; tests record and answer.
#pragma once

#include <string>

namespace quillon {

// MSGDLG kinds.
enum MsgKind : int {
  kMsgPlain = 0,        // OK, no icon
  kMsgInfo = 1,         // OK, information icon
  kMsgQuestion = 2,     // OK and Cancel, question icon, Cancel is the default
  kMsgWarning = 3,      // OK, warning icon
  kMsgError = 4,        // OK, error icon
  kMsgErrorCancel = 5,  // OK and Cancel, error icon
};
inline constexpr int kMsgResultOk = 1;
inline constexpr int kMsgResultCancel = 2;

class Messages {
 public:
  virtual ~Messages() = default;
  // The text of key (MSG001...) in the current language, read afresh; "ERROR" when missing.
  virtual std::string Text(const std::string& key) = 0;
  // Shows a modal box; returns 1 (OK), 2 (Cancel) or -1 (unknown kind or failure).
  // An empty caption means the application title.
  virtual int MSGDLG(int kind, const std::string& caption, const std::string& text) = 0;
};

}  // namespace quillon
