// The character tables behind the printer's text: the ESC t code pages (upper halves as
// Unicode, generated from iconv into code_page_tables.cpp) and the ESC R international
// character sets. The glyphs themselves come from the font flash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace quillon::vp::escpos {

struct CodePageTable {
  uint8_t number;       // the n of ESC t n, which is also the page's slot in the font flash
  const char* name;     // as reports show it, e.g. "PC437"
  uint16_t upper[128];  // Unicode of the codes 80..FF; 0 where the page has no character
};

extern const CodePageTable kCodePageTables[];
extern const size_t kCodePageTableCount;

// The table of ESC t n, or nullptr for a page this printer has no table for.
const CodePageTable* FindCodePage(int number);

// Unicode of byte c in page number (c below 80 is ASCII); 0 when unknown.
char32_t CodePageChar(int page, uint8_t c);

// A character as the font flash holds it: code 80..FF in a code page's slot.
struct PageChar {
  uint8_t page;
  uint8_t code;
};
// Where the code pages hold character cp, looking in page `preferred` first.
std::optional<PageChar> FindInCodePages(char32_t cp, int preferred);

// Number of ESC R international sets that change characters (0..15; others print as set 0).
inline constexpr int kInternationalSets = 16;
// The character that ASCII code c stands for under international set `set` (c itself when
// the set leaves it alone).
char32_t InternationalChar(int set, uint8_t c);

}  // namespace quillon::vp::escpos
