// The little JSON the records need: writing objects field by field, and reading back the
// objects the records store and the station events write (objects, arrays, strings,
// numbers, true, false, null).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::production {

// Quoted and escaped; bytes that are not valid UTF-8 become \u00XX.
std::string JsonQuote(std::string_view text);

class JsonWriter {
 public:
  JsonWriter& Field(std::string_view key, std::string_view value);
  JsonWriter& Field(std::string_view key, const char* value) {
    return Field(key, std::string_view(value));
  }
  JsonWriter& Field(std::string_view key, int64_t value);
  JsonWriter& Field(std::string_view key, int value) {
    return Field(key, static_cast<int64_t>(value));
  }
  JsonWriter& Field(std::string_view key, double value);
  JsonWriter& Field(std::string_view key, bool value);
  JsonWriter& Raw(std::string_view key, std::string_view json);
  std::string str() const { return "{" + body_ + "}"; }

 private:
  void Key(std::string_view key);
  std::string body_;
};

struct JsonValue {
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject } type = Type::kNull;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> fields;

  // The field's value, or a null value when absent.
  const JsonValue& operator[](const std::string& key) const;
  std::string Str() const { return type == Type::kString ? text : std::string(); }
  int64_t Int() const { return type == Type::kNumber ? static_cast<int64_t>(number) : 0; }
  double Num() const { return type == Type::kNumber ? number : 0; }
  bool Bool() const { return type == Type::kBool && boolean; }
};

// Parses one JSON value (surrounding white space allowed); false on anything else.
bool ParseJson(std::string_view text, JsonValue& out);

// A member of a flat object.
struct FlatValue {
  enum Type { kNull, kBool, kNumber, kString } type = kNull;
  bool boolean = false;
  double number = 0;
  std::string text;
};
// Reads a JSON array of flat objects (the records' step and value lists) without building a
// tree: member(index of the object, key, value) for each member. False on anything else.
using FlatMember =
    std::function<void(size_t index, const std::string& key, const FlatValue& value)>;
bool ScanFlatArray(std::string_view text, const FlatMember& member);

}  // namespace quillon::production
