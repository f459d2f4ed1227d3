// What the renderer did with the host's bytes, for tests and users: commands by name and
// count, unknown commands with their offsets, every symbol and the text of every printed
// line. Written as JSON by `quillon-virtual-printer --report FILE`.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quillon::vp::escpos {

struct Report {
  // Long runs keep counting but stop listing after these many entries.
  static constexpr size_t kMaxListed = 100000;

  struct Unknown {
    uint64_t offset;    // byte offset in the host's stream
    std::string bytes;  // the two bytes skipped, "1B 8F"
  };
  struct SymbolEntry {
    uint64_t offset;
    std::string kind;  // "QR", "EAN13", ...
    std::string data;  // the data as sent (bytes outside ASCII escaped as \xHH)
    bool printed = false;
    std::string error;               // why it was not printed
    int x = 0, y = 0, w = 0, h = 0;  // where on the paper (printed symbols)
  };
  struct Line {
    int y;             // top row on the paper (or on the page, in page mode)
    std::string text;  // UTF-8
  };

  std::map<std::string, uint64_t> commands;
  uint64_t unknown_count = 0;
  std::vector<Unknown> unknown;
  std::vector<SymbolEntry> symbols;
  std::vector<Line> lines;
  std::vector<std::string> notes;  // what the printer did besides printing: cuts, pulses
  uint64_t dropped = 0;            // entries not listed because of kMaxListed

  void Clear() { *this = Report(); }
  std::string ToJson() const;
};

// Escapes a byte string for the report: printable ASCII as it is, the rest as \xHH.
std::string EscapeBytes(const std::string& bytes);

}  // namespace quillon::vp::escpos
