// The printer's text settings, as the commands set them and the tests read them back.
#pragma once

#include <cstdint>

namespace quillon::vp::escpos {

// How text bytes become characters.
enum class TextEncoding : uint8_t {
  kSingleByte,  // the ESC t code page (Chinese mode off: FS ., ESC t)
  kGb18030,     // Chinese mode: GB18030 two-byte codes (FS &; start-up with charset 0)
  kUtf8,        // start-up with charset 1
  kUtf16,       // start-up with charset 2: UTF-16 code units, low byte first
};

struct TextModes {
  int font = 0;                // 0 font A (12x24), 1 font B (9x17): ESC M, ESC ! bit 0
  bool emphasized = false;     // ESC E, ESC ! bit 3
  bool double_strike = false;  // ESC G (a thermal head prints it as emphasis)
  int underline = 0;           // ESC -, ESC ! bit 7: thickness in dots, 0..2
  bool reverse = false;        // GS B: white on black
  bool upside_down = false;    // ESC {: the line turned 180 degrees
  int rotation = 0;            // ESC V: 0 upright, 1 turned 90 degrees clockwise, 2 same + spacing
  int width_mul = 1;           // GS !, ESC ! bit 5: 1..8
  int height_mul = 1;          // GS !, ESC ! bit 4: 1..8
  int align = 0;               // ESC a: 0 left, 1 centre, 2 right
  int right_spacing = 0;       // ESC SP: dots after each character
  int line_spacing = -1;       // ESC 3: dots a line; -1 the default of ESC 2
  int left_margin = 0;         // GS L: dots
  int print_width = 0;         // GS W: dots; 0 up to the paper's edge
  int code_page = 0;           // ESC t
  int international = 0;       // ESC R
  TextEncoding encoding = TextEncoding::kGb18030;
  bool user_chars = false;  // ESC %: user-defined characters in use
  // Two-byte characters: FS !, FS -, FS W, FS S.
  int kanji_underline = 0;
  bool kanji_double_width = false;
  bool kanji_double_height = false;
  int kanji_left_space = 0;
  int kanji_right_space = 0;

  bool operator==(const TextModes&) const = default;
};

}  // namespace quillon::vp::escpos
