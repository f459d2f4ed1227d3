#include "virtualprinter/escpos/report.h"

#include <cstdio>

namespace quillon::vp::escpos {
namespace {

// A JSON string literal of UTF-8 text.
std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

}  // namespace

std::string EscapeBytes(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out;
}

std::string Report::ToJson() const {
  std::string j = "{\n  \"commands\": {";
  bool first = true;
  for (const auto& [name, count] : commands) {
    j += (first ? "\n    " : ",\n    ") + Quote(name) + ": " + std::to_string(count);
    first = false;
  }
  j += first ? "},\n" : "\n  },\n";
  j += "  \"unknown_count\": " + std::to_string(unknown_count) + ",\n  \"unknown\": [";
  first = true;
  for (const Unknown& u : unknown) {
    j += std::string(first ? "\n    " : ",\n    ") + "{\"offset\": " + std::to_string(u.offset) +
         ", \"bytes\": " + Quote(u.bytes) + "}";
    first = false;
  }
  j += first ? "],\n" : "\n  ],\n";
  j += "  \"symbols\": [";
  first = true;
  for (const SymbolEntry& s : symbols) {
    j += std::string(first ? "\n    " : ",\n    ") + "{\"offset\": " + std::to_string(s.offset) +
         ", \"kind\": " + Quote(s.kind) + ", \"data\": " + Quote(s.data) +
         ", \"printed\": " + (s.printed ? "true" : "false");
    if (s.printed) {
      j += ", \"x\": " + std::to_string(s.x) + ", \"y\": " + std::to_string(s.y) +
           ", \"width\": " + std::to_string(s.w) + ", \"height\": " + std::to_string(s.h);
    } else {
      j += ", \"error\": " + Quote(s.error);
    }
    j += "}";
    first = false;
  }
  j += first ? "],\n" : "\n  ],\n";
  j += "  \"lines\": [";
  first = true;
  for (const Line& l : lines) {
    j += std::string(first ? "\n    " : ",\n    ") + "{\"y\": " + std::to_string(l.y) +
         ", \"text\": " + Quote(l.text) + "}";
    first = false;
  }
  j += first ? "],\n" : "\n  ],\n";
  j += "  \"notes\": [";
  first = true;
  for (const std::string& n : notes) {
    j += (first ? "\n    " : ",\n    ") + Quote(n);
    first = false;
  }
  j += first ? "],\n" : "\n  ],\n";
  j += "  \"dropped\": " + std::to_string(dropped) + "\n}\n";
  return j;
}

}  // namespace quillon::vp::escpos
