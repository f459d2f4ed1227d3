// Bar codes and two-dimensional symbols: the data checked as a printer checks it (lengths,
// character sets, check digits), the human readable text, and the symbol drawn in dots.
// The drawing is done by the symbol library where the build has it (symbols_zint.cpp);
// elsewhere a framed box stands in (symbols_box.cpp).
#pragma once

#include <cstdint>
#include <string>

#include "virtualprinter/escpos/bitmap.h"

namespace quillon::vp::escpos {

enum class SymbolKind : uint8_t {
  kUpcA,
  kUpcE,
  kEan13,
  kEan8,
  kCode39,
  kItf,
  kCodabar,
  kCode93,
  kCode128,  // linear (GS k)
  kQr,
  kMicroQr,
  kPdf417,
  kDataMatrix,
  kAztec,
  kMaxiCode,  // two-dimensional
};
const char* SymbolKindName(SymbolKind kind);
bool IsLinear(SymbolKind kind);

struct SymbolRequest {
  SymbolKind kind = SymbolKind::kCode128;
  std::string data;  // the bytes as the host sent them (CODE128 with its code-set prefixes)
  int module = 3;    // dots per module (narrow bar, or the side of a 2D module)
  int height = 162;  // linear codes: bar height in dots
  // Two-dimensional options; 0 means automatic where a size is meant.
  int version = 0;           // QR and Micro QR version
  int ec_level = -1;         // QR: 0..3 (L, M, Q, H); PDF417: 0..8; -1 automatic
  int ec_percent = 0;        // PDF417 and Aztec: error correction as a share of the data, %
  int columns = 0;           // PDF417 data columns; Data Matrix columns
  int rows = 0;              // PDF417 rows; Data Matrix rows
  int row_height = 3;        // PDF417: row height in modules
  bool truncated = false;    // PDF417: the truncated (compact) form
  bool rectangular = false;  // Data Matrix: rectangular rather than square
  int layers = 0;            // Aztec layers (negative: compact symbol)
  int maxicode_mode = 4;     // MaxiCode mode 2..6
};

struct Symbol {
  Bitmap picture;            // the symbol in dots, no quiet zone (empty when not printed)
  std::string text;          // human readable text of a linear code: the data, check digit added
  std::string error;         // why nothing is printed (bad data, does not fit)
  bool placeholder = false;  // a framed box stands for the symbol: `text` goes inside it
  bool ok() const { return error.empty(); }
};

// Checks the request and draws the symbol. max_width: the print area in dots; a wider
// symbol is refused, as a printer refuses it.
Symbol MakeSymbol(const SymbolRequest& request, int max_width);

// The part each build supplies: draws the checked data (check digits included, CODE128
// resolved to its characters) at the request's sizes. False with a reason in error.
bool DrawSymbol(const SymbolRequest& request, const std::string& data, Symbol& out,
                std::string& error);

}  // namespace quillon::vp::escpos
