// Everything the font editor asks of the user: message boxes, file names, the copy dialog and
// the unsaved-changes question. The GUI shows real dialogs; tests answer from a script.
#pragma once

#include <optional>
#include <string>

namespace quillon {

enum class UnsavedChoice {
  kSave,     // save first, then go on
  kDiscard,  // drop the changes and go on
  kCancel,   // stay in the editor
};

// The pages picked in the copy dialog.
struct CodePageCopyRequest {
  int source = 0;
  int target = 0;
};

class FontEditorPrompts {
 public:
  virtual ~FontEditorPrompts() = default;
  // A message box of the MSGDLG kinds (app/messages.h); returns 1 for OK, 2 for Cancel.
  virtual int MSGDLG(int kind, const std::string& caption, const std::string& text) = 0;
  // The open dialog: a font file to load, or nothing when cancelled.
  virtual std::optional<std::string> AskOpenFileName() = 0;
  // The save dialog preset to proposed_path: the chosen path, or nothing when cancelled.
  virtual std::optional<std::string> AskSaveFileName(const std::string& proposed_path) = 0;
  // Changes written to memory but not saved: what to do before closing or opening another file.
  virtual UnsavedChoice AskUnsavedChanges() = 0;
  // The copy dialog: the chosen pages after OK, nothing after Cancel.
  virtual std::optional<CodePageCopyRequest> AskCodePageCopy() = 0;
};

}  // namespace quillon
