#include "production/json_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/text_conv.h"

namespace quillon::production {
namespace {

size_t Utf8Length(std::string_view s, size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}
  bool Document(JsonValue& out) {
    if (!Value(out, 0)) return false;
    Space();
    return i_ == s_.size();
  }

 private:
  static constexpr int kMaxDepth = 64;
  void Space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
      ++i_;
  }
  bool Word(std::string_view w) {
    if (s_.substr(i_, w.size()) != w) return false;
    i_ += w.size();
    return true;
  }
  bool Hex4(uint32_t& v) {
    if (i_ + 4 > s_.size()) return false;
    v = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = s_[i_++];
      v <<= 4;
      if (c >= '0' && c <= '9')
        v |= static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f')
        v |= static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        v |= static_cast<uint32_t>(c - 'A' + 10);
      else
        return false;
    }
    return true;
  }
  bool String(std::string& out) {
    if (i_ >= s_.size() || s_[i_] != '"') return false;
    ++i_;
    while (i_ < s_.size()) {
      // Plain runs are copied whole.
      size_t run = i_;
      while (run < s_.size() && s_[run] != '"' && s_[run] != '\\' &&
             static_cast<unsigned char>(s_[run]) >= 0x20)
        ++run;
      out.append(s_.data() + i_, run - i_);
      i_ = run;
      if (i_ >= s_.size()) return false;
      const char c = s_[i_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i_ >= s_.size()) return false;
      const char e = s_[i_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          uint32_t cp = 0;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00 && Word("\\u")) {
            uint32_t low = 0;
            if (!Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          // \u0080-\u00FF written for bytes that were not UTF-8 come back as those bytes.
          if (cp >= 0x80 && cp < 0x100 && raw_bytes_)
            out += static_cast<char>(cp);
          else
            AppendUtf8(out, cp);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }
  bool Value(JsonValue& v, int depth) {
    if (depth > kMaxDepth) return false;
    Space();
    if (i_ >= s_.size()) return false;
    const char c = s_[i_];
    if (c == '{') {
      ++i_;
      v.type = JsonValue::Type::kObject;
      Space();
      if (i_ < s_.size() && s_[i_] == '}') return ++i_, true;
      for (;;) {
        Space();
        std::string key;
        if (!String(key)) return false;
        Space();
        if (i_ >= s_.size() || s_[i_++] != ':') return false;
        if (!Value(v.fields[key], depth + 1)) return false;
        Space();
        if (i_ >= s_.size()) return false;
        if (s_[i_] == ',') {
          ++i_;
          continue;
        }
        return s_[i_++] == '}';
      }
    }
    if (c == '[') {
      ++i_;
      v.type = JsonValue::Type::kArray;
      Space();
      if (i_ < s_.size() && s_[i_] == ']') return ++i_, true;
      for (;;) {
        v.items.emplace_back();
        if (!Value(v.items.back(), depth + 1)) return false;
        Space();
        if (i_ >= s_.size()) return false;
        if (s_[i_] == ',') {
          ++i_;
          continue;
        }
        return s_[i_++] == ']';
      }
    }
    if (c == '"') {
      v.type = JsonValue::Type::kString;
      return String(v.text);
    }
    if (Word("true")) {
      v.type = JsonValue::Type::kBool;
      v.boolean = true;
      return true;
    }
    if (Word("false")) {
      v.type = JsonValue::Type::kBool;
      return true;
    }
    if (Word("null")) return true;
    const size_t start = i_;
    while (i_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[i_])) || s_[i_] == '-' ||
                              s_[i_] == '+' || s_[i_] == '.' || s_[i_] == 'e' || s_[i_] == 'E'))
      ++i_;
    if (i_ == start) return false;
    const std::string number(s_.substr(start, i_ - start));
    char* end = nullptr;
    v.number = std::strtod(number.c_str(), &end);
    v.type = JsonValue::Type::kNumber;
    return end && *end == '\0';
  }

 public:
  // An array of flat objects (string, number, true, false and null members).
  bool FlatArray(const FlatMember& member) {
    Space();
    if (i_ >= s_.size() || s_[i_++] != '[') return false;
    Space();
    if (i_ < s_.size() && s_[i_] == ']') return ++i_, Rest();
    std::string key;
    FlatValue value;
    for (size_t index = 0;; ++index) {
      Space();
      if (i_ >= s_.size() || s_[i_++] != '{') return false;
      Space();
      if (i_ < s_.size() && s_[i_] == '}') {
        ++i_;
      } else {
        for (;;) {
          Space();
          key.clear();
          if (!String(key)) return false;
          Space();
          if (i_ >= s_.size() || s_[i_++] != ':') return false;
          Space();
          value.type = FlatValue::kNull;
          value.text.clear();
          if (i_ < s_.size() && s_[i_] == '"') {
            value.type = FlatValue::kString;
            if (!String(value.text)) return false;
          } else if (Word("true") || Word("false")) {
            value.type = FlatValue::kBool;
            value.boolean = s_[i_ - 1] == 'e' && s_[i_ - 2] == 'u';
          } else if (!Word("null")) {
            const char* start = s_.data() + i_;
            char* end = nullptr;
            const size_t len = std::min<size_t>(s_.size() - i_, 40);
            char number[48];
            std::memcpy(number, start, len);
            number[len] = '\0';
            value.number = std::strtod(number, &end);
            if (end == number) return false;
            value.type = FlatValue::kNumber;
            i_ += static_cast<size_t>(end - number);
          }
          member(index, key, value);
          Space();
          if (i_ >= s_.size()) return false;
          if (s_[i_] == ',') {
            ++i_;
            continue;
          }
          if (s_[i_++] != '}') return false;
          break;
        }
      }
      Space();
      if (i_ >= s_.size()) return false;
      if (s_[i_] == ',') {
        ++i_;
        continue;
      }
      return s_[i_++] == ']' && Rest();
    }
  }

 private:
  bool Rest() {
    Space();
    return i_ == s_.size();
  }

  std::string_view s_;
  size_t i_ = 0;
  bool raw_bytes_ = true;
};

}  // namespace

std::string JsonQuote(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    char esc[8];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c == '\n') {
      out += "\\n", ++i;
    } else if (c == '\r') {
      out += "\\r", ++i;
    } else if (c == '\t') {
      out += "\\t", ++i;
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc, ++i;
    } else if (const size_t n = Utf8Length(text, i); n > 0) {
      out.append(text.substr(i, n));
      i += n;
    } else {
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc, ++i;
    }
  }
  return out + "\"";
}

void JsonWriter::Key(std::string_view key) {
  if (!body_.empty()) body_ += ',';
  body_ += JsonQuote(key);
  body_ += ':';
}

JsonWriter& JsonWriter::Field(std::string_view key, std::string_view value) {
  Key(key);
  body_ += JsonQuote(value);
  return *this;
}

JsonWriter& JsonWriter::Field(std::string_view key, int64_t value) {
  Key(key);
  body_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Field(std::string_view key, double value) {
  Key(key);
  if (!std::isfinite(value)) {
    body_ += "null";
    return *this;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  body_ += text;
  return *this;
}

JsonWriter& JsonWriter::Field(std::string_view key, bool value) {
  Key(key);
  body_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Raw(std::string_view key, std::string_view json) {
  Key(key);
  body_ += json;
  return *this;
}

const JsonValue& JsonValue::operator[](const std::string& key) const {
  static const JsonValue kNull;
  auto it = fields.find(key);
  return it == fields.end() ? kNull : it->second;
}

bool ParseJson(std::string_view text, JsonValue& out) {
  out = JsonValue();
  return Parser(text).Document(out);
}

bool ScanFlatArray(std::string_view text, const FlatMember& member) {
  return Parser(text).FlatArray(member);
}

}  // namespace quillon::production
