// A strict JSON reader for tests: says whether a text is exactly one JSON value (RFC 8259:
// no trailing commas, no bare words, no control characters or invalid UTF-8 in strings, no
// leading zeros) and, when it is not, where it went wrong.
#pragma once

#include <cctype>
#include <cstddef>
#include <string>

namespace quillon::testing {

class JsonCheck {
 public:
  // Empty when text is one valid JSON value (surrounding white space allowed), else why not.
  static std::string Problem(const std::string& text) {
    JsonCheck c(text);
    c.Space();
    if (!c.Value(0)) return c.why_;
    c.Space();
    if (c.at_ != text.size()) c.Fail("text after the value");
    return c.why_;
  }

 private:
  explicit JsonCheck(const std::string& text) : s_(text) {}

  bool Fail(const std::string& what) {
    if (why_.empty()) why_ = what + " at offset " + std::to_string(at_);
    return false;
  }
  bool More() const { return at_ < s_.size(); }
  char Peek() const { return More() ? s_[at_] : '\0'; }
  void Space() {
    while (More() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) ++at_;
  }
  bool Eat(char c) {
    if (Peek() != c) return false;
    ++at_;
    return true;
  }
  bool Digits() {
    const size_t from = at_;
    while (Peek() >= '0' && Peek() <= '9') ++at_;
    return at_ > from;
  }

  bool Value(int depth) {
    if (depth > 64) return Fail("nesting too deep");
    switch (Peek()) {
      case '{':
        return Object(depth);
      case '[':
        return Array(depth);
      case '"':
        return String();
      case 't':
        return Word("true");
      case 'f':
        return Word("false");
      case 'n':
        return Word("null");
      default:
        return Number();
    }
  }
  bool Word(const char* w) {
    const std::string word(w);
    if (s_.compare(at_, word.size(), word) != 0) return Fail("not a value");
    at_ += word.size();
    return true;
  }
  bool Number() {
    Eat('-');
    if (Eat('0')) {
      if (Peek() >= '0' && Peek() <= '9') return Fail("leading zero");
    } else if (!Digits()) {
      return Fail("not a value");
    }
    if (Eat('.') && !Digits()) return Fail("no digits after the point");
    if (Eat('e') || Eat('E')) {
      if (!Eat('+')) Eat('-');
      if (!Digits()) return Fail("no digits in the exponent");
    }
    return true;
  }
  bool String() {
    ++at_;  // the opening quote
    while (More()) {
      const auto c = static_cast<unsigned char>(s_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return Fail("control character in a string");
      if (c >= 0x80 && !Utf8(c)) return Fail("invalid UTF-8 in a string");
      if (c != '\\') continue;
      const char e = Peek();
      ++at_;
      if (e == 'u') {
        for (int i = 0; i < 4; ++i, ++at_) {
          if (!std::isxdigit(static_cast<unsigned char>(Peek()))) return Fail("bad \\u escape");
        }
      } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos || e == '\0') {
        return Fail("bad escape");
      }
    }
    return Fail("unterminated string");
  }
  // The rest of the UTF-8 sequence that lead began (no overlong forms, no surrogates).
  bool Utf8(unsigned char lead) {
    int more = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // the range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2;
      if (lead == 0xE0) lo = 0xA0;
      if (lead == 0xED) hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3;
      if (lead == 0xF0) lo = 0x90;
      if (lead == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    for (int i = 0; i < more; ++i, ++at_, lo = 0x80, hi = 0xBF) {
      const auto c = static_cast<unsigned char>(Peek());
      if (!More() || c < lo || c > hi) return false;
    }
    return true;
  }
  // Members or elements separated by commas, none after the last.
  template <typename Item>
  bool List(char close, Item item) {
    ++at_;  // the opening bracket
    Space();
    if (Eat(close)) return true;
    for (;;) {
      if (!item()) return false;
      Space();
      if (Eat(close)) return true;
      if (!Eat(',')) return Fail("expected ',' or the closing bracket");
      Space();
      if (Peek() == close) return Fail("trailing comma");
    }
  }
  bool Object(int depth) {
    return List('}', [&] {
      if (Peek() != '"') return Fail("expected a member name");
      if (!String()) return false;
      Space();
      if (!Eat(':')) return Fail("expected ':'");
      Space();
      return Value(depth + 1);
    });
  }
  bool Array(int depth) {
    return List(']', [&] { return Value(depth + 1); });
  }

  const std::string& s_;
  size_t at_ = 0;
  std::string why_;
};

}  // namespace quillon::testing
