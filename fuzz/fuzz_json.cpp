// The CLI's JSON writer on arbitrary bytes (file names, printer texts, error messages):
// whatever goes in, what comes out is one JSON string that is valid UTF-8, without raw
// control characters, and that reads back as the input where the input was valid UTF-8.
// The checks decode code points by arithmetic, independently of the writer's byte table.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/json.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Decodes one code point at s[i]; -1 when the sequence there is not well-formed UTF-8.
long Decode(const std::string& s, size_t& i) {
  const auto c = static_cast<unsigned char>(s[i]);
  int n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
  if (n == 0 || c >= 0xF8 || i + n > s.size()) return -1;
  long cp = n == 1 ? c : c & (0x7F >> n);
  for (int k = 1; k < n; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return -1;
    cp = cp << 6 | (b & 0x3F);
  }
  static const long kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  i += n;
  return cp;
}

bool ValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();)
    if (Decode(s, i) < 0) return false;
  return true;
}

// The bytes a JSON string literal stands for (the writer emits only \uXXXX below 0x20).
std::string Unquote(const std::string& json) {
  Check(json.size() >= 2 && json.front() == '"' && json.back() == '"');
  std::string out;
  for (size_t i = 1; i + 1 < json.size(); ++i) {
    const auto c = static_cast<unsigned char>(json[i]);
    Check(c >= 0x20 && c != '"');
    if (c != '\\') {
      out += json[i];
      continue;
    }
    Check(i + 2 < json.size());
    const char e = json[++i];
    if (e == 'n')
      out += '\n';
    else if (e == 'r')
      out += '\r';
    else if (e == 't')
      out += '\t';
    else if (e == '"' || e == '\\')
      out += e;
    else {
      Check(e == 'u' && i + 5 < json.size());
      const long v = std::strtol(json.substr(i + 1, 4).c_str(), nullptr, 16);
      Check(v < 0x20);
      out += static_cast<char>(v);
      i += 4;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string json = quillon::cli::JsonString(text);
  Check(ValidUtf8(json));
  const std::string back = Unquote(json);
  if (ValidUtf8(text)) {
    Check(back == text);
  } else {
    Check(back.find("\xEF\xBF\xBD") != std::string::npos);
  }
  // As a key and a value of an object, the line stays valid too.
  quillon::cli::JsonObject o;
  o.Add(text, text).Add("n", 1);
  Check(ValidUtf8(o.str()));
  return 0;
}
