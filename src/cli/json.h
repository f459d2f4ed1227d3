// A tiny JSON object writer for the CLI's --json output (flat objects, one per line).
#pragma once

#include <cstdint>
#include <string>

namespace quillon::cli {

class JsonObject {
 public:
  JsonObject& Add(const std::string& key, const std::string& value);
  JsonObject& Add(const std::string& key, const char* value) {
    return Add(key, std::string(value));
  }
  JsonObject& Add(const std::string& key, int64_t value);
  JsonObject& Add(const std::string& key, int value) {
    return Add(key, static_cast<int64_t>(value));
  }
  JsonObject& Add(const std::string& key, uint32_t value) {
    return Add(key, static_cast<int64_t>(value));
  }
  JsonObject& Add(const std::string& key, double value);
  JsonObject& Add(const std::string& key, bool value);
  // Adds an already-serialised JSON value (object or array).
  JsonObject& AddRaw(const std::string& key, const std::string& json);
  bool empty() const { return body_.empty(); }
  std::string str() const { return "{" + body_ + "}"; }

 private:
  void Key(const std::string& key);
  std::string body_;
};

// Quotes and escapes a string. Control characters are escaped; each ill-formed UTF-8
// sequence (overlong forms, surrogates, values past U+10FFFF, cut-off sequences, stray
// continuation bytes) is written as one U+FFFD, so the result is always valid UTF-8.
std::string JsonString(const std::string& text);

}  // namespace quillon::cli
