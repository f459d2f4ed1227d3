// The transmit box's text in the ANSI code page; the locale's 8-bit encoding stands for it.
#include "link/bluetooth/ansi_text.h"

namespace quillon {

std::string ToAnsi(const QString& text) {
  return text.toLocal8Bit().toStdString();
}

}  // namespace quillon
