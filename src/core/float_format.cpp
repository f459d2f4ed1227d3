#include "core/float_format.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace quillon {

std::string FormatNumbers(std::string_view format, const std::vector<double>& values) {
  std::string out;
  size_t next = 0;
  size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    if (c != '%') {
      out.push_back(c);
      ++i;
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      out.push_back('%');
      i += 2;
      continue;
    }
    // %[-][width][.precision]conversion
    size_t j = i + 1;
    const bool left = j < format.size() && format[j] == '-';
    if (left) ++j;
    int width = 0, precision = -1;
    while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])) &&
           width < 1000) {
      width = width * 10 + (format[j++] - '0');
    }
    if (j < format.size() && format[j] == '.') {
      precision = 0;
      ++j;
      while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])) &&
             precision < 100) {
        precision = precision * 10 + (format[j++] - '0');
      }
    }
    const char conv = j < format.size() ? static_cast<char>(std::tolower(format[j])) : '\0';
    const bool known = conv == 'f' || conv == 'n' || conv == 'e' || conv == 'g' || conv == 'd';
    if (!known || next >= values.size() || width >= 1000 || precision >= 100) {
      out.push_back('%');  // left as written
      ++i;
      continue;
    }
    const double v = values[next++];
    char buf[1200];
    const int w = left ? -width : width;
    switch (conv) {
      case 'f':
      case 'n':
        std::snprintf(buf, sizeof buf, "%*.*f", w, precision < 0 ? 2 : precision, v);
        break;
      case 'e':
        std::snprintf(buf, sizeof buf, "%*.*E", w, precision < 0 ? 14 : precision, v);
        break;
      case 'g':
        std::snprintf(buf, sizeof buf, "%*.*G", w, precision < 0 ? 15 : precision, v);
        break;
      default:
        std::snprintf(buf, sizeof buf, "%*.0f", w, std::round(v));
        break;
    }
    out += buf;
    i = j + 1;
  }
  return out;
}

}  // namespace quillon
