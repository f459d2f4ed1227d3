// Text of the transmit box as bytes of the ANSI code page.
#pragma once

#include <QString>
#include <cstddef>
#include <string>

namespace quillon {

// A character the code page cannot hold becomes one "?", counted into *replaced.
std::string ToAnsi(const QString& text, size_t* replaced = nullptr);

// The once-a-run warning for characters ToAnsi replaced; empty when there were none or the
// warning was given already.
QString ReplacedCharactersNote(size_t replaced);

}  // namespace quillon
