// Symbols drawn with the Zint library: its module pattern is scaled to the printer's dots.
#include <zint.h>

#include <algorithm>
#include <memory>

#include "virtualprinter/escpos/symbols.h"

namespace quillon::vp::escpos {
namespace {

struct ZintDeleter {
  void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};
using ZintSymbol = std::unique_ptr<zint_symbol, ZintDeleter>;

int Symbology(SymbolKind kind) {
  switch (kind) {
    case SymbolKind::kUpcA:
      return BARCODE_UPCA;
    case SymbolKind::kUpcE:
      return BARCODE_UPCE;
    case SymbolKind::kEan13:
    case SymbolKind::kEan8:
      return BARCODE_EANX;
    case SymbolKind::kCode39:
      return BARCODE_CODE39;
    case SymbolKind::kItf:
      return BARCODE_C25INTER;
    case SymbolKind::kCodabar:
      return BARCODE_CODABAR;
    case SymbolKind::kCode93:
      return BARCODE_CODE93;
    case SymbolKind::kCode128:
      return BARCODE_CODE128;
    case SymbolKind::kQr:
      return BARCODE_QRCODE;
    case SymbolKind::kMicroQr:
      return BARCODE_MICROQR;
    case SymbolKind::kPdf417:
      return BARCODE_PDF417;
    case SymbolKind::kDataMatrix:
      return BARCODE_DATAMATRIX;
    case SymbolKind::kAztec:
      return BARCODE_AZTEC;
    case SymbolKind::kMaxiCode:
      return BARCODE_MAXICODE;
  }
  return BARCODE_CODE128;
}

bool Module(const zint_symbol& s, int row, int col) {
  return (s.encoded_data[row][col >> 3] >> (col & 7)) & 1;
}

// PDF417 error correction level that gives about `percent` % of the data in check words.
int Pdf417Level(int percent, size_t data_len) {
  const double data_words = static_cast<double>(data_len) / 2.0 + 2.0;
  const double wanted = data_words * percent / 100.0;
  int level = 0;
  while (level < 8 && (2 << level) < wanted) ++level;
  return level;
}

int AztecLevel(int percent) {
  if (percent <= 10) return 1;
  if (percent <= 23) return 2;
  if (percent <= 36) return 3;
  return 4;
}

ZintSymbol Encode(const SymbolRequest& r, const std::string& data, int version, int& result) {
  ZintSymbol s(ZBarcode_Create());
  if (!s) return s;
  s->symbology = Symbology(r.kind);
  s->input_mode = DATA_MODE;
  s->show_hrt = 0;
  switch (r.kind) {
    case SymbolKind::kQr:
      s->option_1 = std::clamp(r.ec_level, 0, 3) + 1;
      s->option_2 = version;
      break;
    case SymbolKind::kMicroQr:
      s->option_1 = std::clamp(r.ec_level, 0, 2) + 1;
      s->option_2 = version;
      break;
    case SymbolKind::kPdf417:
      if (r.truncated) s->symbology = BARCODE_PDF417COMP;
      s->option_1 = r.ec_level >= 0    ? std::min(r.ec_level, 8)
                    : r.ec_percent > 0 ? Pdf417Level(r.ec_percent, data.size())
                                       : -1;
      s->option_2 = std::clamp(r.columns, 0, 30);
      s->option_3 = r.rows >= 3 && r.rows <= 90 ? r.rows : 0;
      break;
    case SymbolKind::kDataMatrix:
      s->option_3 = r.rectangular ? 0 : DM_SQUARE;
      break;
    case SymbolKind::kAztec:
      if (r.ec_percent > 0) s->option_1 = AztecLevel(r.ec_percent);
      if (r.layers < 0 && r.layers >= -4) s->option_2 = -r.layers;
      if (r.layers > 0 && r.layers <= 32) s->option_2 = r.layers + 4;
      break;
    case SymbolKind::kMaxiCode:
      s->option_1 = std::clamp(r.maxicode_mode, 2, 6);
      s->scale = 0.75f;  // about an inch across, the symbol's fixed size
      break;
    default:
      break;
  }
  // EAN and UPC go without their check digit (checked already): with it, the library takes
  // eight digits for an EAN-13 with leading zeros rather than an EAN-8.
  const bool check_digit = r.kind == SymbolKind::kUpcA || r.kind == SymbolKind::kUpcE ||
                           r.kind == SymbolKind::kEan13 || r.kind == SymbolKind::kEan8;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  const int len = static_cast<int>(data.size()) - (check_digit ? 1 : 0);
  result = r.kind == SymbolKind::kMaxiCode ? ZBarcode_Encode_and_Buffer(s.get(), bytes, len, 0)
                                           : ZBarcode_Encode(s.get(), bytes, len);
  return s;
}

}  // namespace

bool DrawSymbol(const SymbolRequest& r, const std::string& data, Symbol& out, std::string& error) {
  int result = 0;
  ZintSymbol s = Encode(r, data, r.version, result);
  if (s && result >= ZINT_ERROR && r.version > 0 &&
      (r.kind == SymbolKind::kQr || r.kind == SymbolKind::kMicroQr)) {
    s = Encode(r, data, 0, result);  // the version asked for is too small: the data decides
  }
  if (!s) {
    error = "out of memory";
    return false;
  }
  if (result >= ZINT_ERROR) {
    error = s->errtxt;
    return false;
  }
  const int m = std::max(1, r.module);
  Bitmap& pic = out.picture;
  if (r.kind == SymbolKind::kMaxiCode) {
    // Hexagons: taken from the library's own raster (3 bytes a pixel, dark is black).
    pic.Reset(s->bitmap_width, s->bitmap_height);
    for (int y = 0; y < s->bitmap_height; ++y) {
      for (int x = 0; x < s->bitmap_width; ++x) {
        const unsigned char* px = s->bitmap + 3 * (static_cast<size_t>(y) * s->bitmap_width + x);
        if (px[0] + px[1] + px[2] < 3 * 128) pic.Set(x, y);
      }
    }
    return true;
  }
  if (IsLinear(r.kind)) {
    pic.Reset(s->width * m, std::max(1, r.height));
    for (int col = 0; col < s->width; ++col) {
      if (Module(*s, 0, col)) pic.Fill(col * m, 0, m, pic.height());
    }
    return true;
  }
  const int row_h = r.kind == SymbolKind::kPdf417 ? m * std::clamp(r.row_height, 1, 8) : m;
  pic.Reset(s->width * m, s->rows * row_h);
  for (int row = 0; row < s->rows; ++row) {
    for (int col = 0; col < s->width; ++col) {
      if (Module(*s, row, col)) pic.Fill(col * m, row * row_h, m, row_h);
    }
  }
  return true;
}

}  // namespace quillon::vp::escpos
