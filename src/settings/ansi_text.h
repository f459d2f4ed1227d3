// Texts of the settings page and its dialogs on their way to and from the printer, which
// keeps them as bytes of the ANSI code page. Every conversion of this folder goes here.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

// UTF-8 (as the widgets hand it over) to the printer's ANSI bytes; a character the code
// page cannot hold becomes one "?", counted into *replaced.
std::string ToAnsiText(std::string_view utf8, size_t* replaced = nullptr);
// The printer's ANSI bytes back to UTF-8; bytes the code page does not define become "?".
std::string FromAnsiText(std::string_view ansi);

}  // namespace quillon
