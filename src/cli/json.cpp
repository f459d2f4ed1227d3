#include "cli/json.h"

#include <cmath>
#include <cstdio>

namespace quillon::cli {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// Length of the well-formed UTF-8 sequence at s[i] (Unicode's table of well-formed byte
// sequences: no overlong forms, no surrogates, nothing past U+10FFFF). When the bytes there
// are ill-formed, 0 with *skip set to the length of their maximal subpart (at least 1), the
// bytes that one U+FFFD stands for.
size_t Utf8Length(const std::string& s, size_t i, size_t* skip) {
  const auto c = static_cast<unsigned char>(s[i]);
  *skip = 1;
  if (c < 0x80) return 1;
  size_t n = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) lo = 0xA0;  // else overlong
    if (c == 0xED) hi = 0x9F;  // else a surrogate
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) lo = 0x90;  // else overlong
    if (c == 0xF4) hi = 0x8F;  // else past U+10FFFF
  } else {
    return 0;  // a continuation byte on its own, C0, C1 or F5..FF
  }
  for (size_t k = 1; k < n; ++k) {
    if (i + k >= s.size()) return 0;  // cut off by the end
    const auto b = static_cast<unsigned char>(s[i + k]);
    if (b < (k == 1 ? lo : 0x80) || b > (k == 1 ? hi : 0xBF)) return 0;
    *skip = k + 1;
  }
  return n;
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    char esc[8];
    switch (c) {
      case '"':
        out += "\\\"";
        ++i;
        continue;
      case '\\':
        out += "\\\\";
        ++i;
        continue;
      case '\n':
        out += "\\n";
        ++i;
        continue;
      case '\r':
        out += "\\r";
        ++i;
        continue;
      case '\t':
        out += "\\t";
        ++i;
        continue;
      default:
        break;
    }
    if (c < 0x20) {
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
      ++i;
      continue;
    }
    size_t skip = 1;
    const size_t n = Utf8Length(text, i, &skip);
    if (n == 0) {
      // JSON must be Unicode: bytes that are not (a file name from another system, a
      // damaged reply) become U+FFFD, as every UTF-8 reader would show them.
      out += kReplacement;
      i += skip;
    } else {
      out.append(text, i, n);
      i += n;
    }
  }
  return out + "\"";
}

void JsonObject::Key(const std::string& key) {
  if (!body_.empty()) body_ += ',';
  body_ += JsonString(key) + ':';
}

JsonObject& JsonObject::Add(const std::string& key, const std::string& value) {
  Key(key);
  body_ += JsonString(value);
  return *this;
}

JsonObject& JsonObject::Add(const std::string& key, int64_t value) {
  Key(key);
  body_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::Add(const std::string& key, double value) {
  Key(key);
  if (!std::isfinite(value)) {
    body_ += "null";
  } else {
    char num[64];
    std::snprintf(num, sizeof num, "%.6g", value);
    body_ += num;
  }
  return *this;
}

JsonObject& JsonObject::Add(const std::string& key, bool value) {
  Key(key);
  body_ += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::AddRaw(const std::string& key, const std::string& json) {
  Key(key);
  body_ += json;
  return *this;
}

}  // namespace quillon::cli
