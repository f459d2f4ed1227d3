// Text of the transmit box as bytes of the ANSI code page.
#pragma once

#include <QString>
#include <string>

namespace quillon {

std::string ToAnsi(const QString& text);

}  // namespace quillon
