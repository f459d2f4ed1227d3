// Window language files: language_<window name>.ini holds, per language section, the
// window's caption (TITLE), the captions of its buttons, labels, tab pages, group boxes and
// check boxes, and the "#"-joined item lists of its combo boxes, keyed by component name.
#pragma once

#include <string>

class QWidget;

namespace quillon {

// "language_" + the form's object name + ".ini"; FileLocations says which folders hold it.
std::string LanguageFileName(const QWidget* form);

// Loads the captions of form from section title of its language file. Missing files,
// sections or keys give the component names; a combo box gets the pieces of its value split
// at every "#" (strictly: "A#B#" is "A", "B" and ""), with the first item selected.
void Language_Set(QWidget* form, const std::string& title);

// Writes the current captions and combo lists of form into section "CHS" of its language
// file (whatever language is in use), keeping the file's other sections. Installed, the
// user's copy is written; it starts as a copy of the shipped file.
bool Language_Create(QWidget* form);

}  // namespace quillon
