#include "core/message_text.h"

#include <algorithm>
#include <string_view>

namespace quillon {

std::string TextOr(Messages& messages, const std::string& key, const std::string& fallback) {
  std::string text = messages.Text(key);
  return text.empty() || text == "ERROR" ? fallback : text;
}

std::string FillFields(std::string text,
                       std::initializer_list<std::pair<const char*, std::string>> fields) {
  // One pass from left to right: an inserted value (a path with braces) is never read again.
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find('{', at);
    const size_t close = open == std::string::npos ? open : text.find('}', open);
    if (close == std::string::npos) break;
    out.append(text, at, open - at);
    const std::string_view name(text.data() + open + 1, close - open - 1);
    const auto* field =
        std::find_if(fields.begin(), fields.end(), [&](const auto& f) { return name == f.first; });
    if (field != fields.end()) {
      out += field->second;
    } else {
      out.append(text, open, close - open + 1);
    }
    at = close + 1;
  }
  out.append(text, at, std::string::npos);
  return out;
}

}  // namespace quillon
