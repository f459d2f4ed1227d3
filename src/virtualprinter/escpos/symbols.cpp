#include "virtualprinter/escpos/symbols.h"

#include <algorithm>
#include <cstring>

namespace quillon::vp::escpos {
namespace {

bool AllDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The EAN/UPC check digit of the digits in s (the check digit itself not included).
char CheckDigit(const std::string& s) {
  int sum = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const int weight = (s.size() - i) % 2 ? 3 : 1;  // 3 for the rightmost digit
    sum += (s[i] - '0') * weight;
  }
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

// Digits of a fixed-length code: n without the check digit, or n + 1 with one that must be
// right. On success `digits` holds all n + 1.
bool CheckedDigits(const std::string& data, size_t n, std::string& digits, std::string& error) {
  if (!AllDigits(data) || (data.size() != n && data.size() != n + 1)) {
    error = std::to_string(n) + " or " + std::to_string(n + 1) + " digits expected";
    return false;
  }
  digits = data.substr(0, n);
  const char check = CheckDigit(digits);
  if (data.size() == n + 1 && data[n] != check) {
    error = std::string("check digit is ") + data[n] + ", expected " + check;
    return false;
  }
  digits += check;
  return true;
}

// UPC-E (number system and six digits) written out as the eleven digits of UPC-A.
std::string ExpandUpcE(const std::string& e) {
  const std::string d = e.substr(1, 6);
  const char last = d[5];
  std::string a(1, e[0]);
  if (last <= '2') {
    a += d.substr(0, 2) + last + "0000" + d.substr(2, 3);
  } else if (last == '3') {
    a += d.substr(0, 3) + "00000" + d.substr(3, 2);
  } else if (last == '4') {
    a += d.substr(0, 4) + "00000" + d[4];
  } else {
    a += d.substr(0, 5) + "0000" + last;
  }
  return a;
}

// The UPC-E form (number system and six digits) of an eleven-digit UPC-A, if it has one.
bool CompressUpcA(const std::string& a, std::string& e) {
  const std::string x = a.substr(1, 5), p = a.substr(6, 5);
  const std::string candidates[] = {x.substr(0, 2) + p.substr(2, 3) + x[2],
                                    x.substr(0, 3) + p.substr(3, 2) + "3",
                                    x.substr(0, 4) + p[4] + "4", x + p[4]};
  for (const std::string& c : candidates) {
    if (ExpandUpcE(a.substr(0, 1) + c) == a) {
      e = a.substr(0, 1) + c;
      return true;
    }
  }
  return false;
}

bool UpcE(const std::string& data, std::string& digits, std::string& error) {
  if (!AllDigits(data)) {
    error = "UPC-E takes digits only";
    return false;
  }
  std::string e;  // number system + six digits
  std::string given_check;
  switch (data.size()) {
    case 6:
      e = "0" + data;
      break;
    case 7:
      e = data;
      break;
    case 8:
      e = data.substr(0, 7), given_check = data.substr(7);
      break;
    case 11:
    case 12:
      if (!CompressUpcA(data.substr(0, 11), e)) {
        error = "this UPC-A number has no UPC-E form";
        return false;
      }
      if (data.size() == 12) given_check = data.substr(11);
      break;
    default:
      error = "6, 7, 8, 11 or 12 digits expected";
      return false;
  }
  if (e[0] != '0') {
    error = "UPC-E starts with the number system 0";
    return false;
  }
  const char check = CheckDigit(ExpandUpcE(e));
  if (!given_check.empty() && given_check[0] != check) {
    error = "check digit is " + given_check + ", expected " + check;
    return false;
  }
  digits = e + check;
  return true;
}

bool Code39(const std::string& data, std::string& chars, std::string& error) {
  chars = data;
  if (!chars.empty() && chars.front() == '*') chars.erase(0, 1);
  if (!chars.empty() && chars.back() == '*') chars.pop_back();
  if (chars.empty()) {
    error = "no data";
    return false;
  }
  for (char c : chars) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || std::strchr(" $%+-./", c))) {
      error = "CODE39 has no character " + std::to_string(static_cast<uint8_t>(c));
      return false;
    }
  }
  return true;
}

bool Codabar(const std::string& data, std::string& chars, std::string& error) {
  auto start_stop = [](char c) { return (c >= 'A' && c <= 'D') || (c >= 'a' && c <= 'd'); };
  if (data.size() < 3 || !start_stop(data.front()) || !start_stop(data.back())) {
    error = "CODABAR starts and ends with A, B, C or D";
    return false;
  }
  for (size_t i = 1; i + 1 < data.size(); ++i) {
    const char c = data[i];
    if (!((c >= '0' && c <= '9') || std::strchr("$+-./:", c))) {
      error = "CODABAR has no character " + std::to_string(static_cast<uint8_t>(c)) + " inside";
      return false;
    }
  }
  chars = data;
  std::transform(chars.begin(), chars.end(), chars.begin(),
                 [](char c) { return c >= 'a' && c <= 'd' ? static_cast<char>(c - 32) : c; });
  return true;
}

// CODE128 data with its code-set selections ({A, {B, {C; {{ for "{"; {S shift) resolved to
// the characters it stands for. Data without a selection is taken as it is.
bool Code128(const std::string& data, std::string& chars, std::string& error) {
  chars.clear();
  if (data.size() < 2 || data[0] != '{' || !std::strchr("ABC", data[1])) {
    if (data.empty()) {
      error = "no data";
      return false;
    }
    for (char c : data) {
      if (static_cast<uint8_t>(c) > 0x7F) {
        error = "CODE128 takes codes 00..7F";
        return false;
      }
    }
    chars = data;
    return true;
  }
  char set = 'B';
  bool shift = false;
  for (size_t i = 0; i < data.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(data[i]);
    if (c == '{' && !shift) {
      if (i + 1 >= data.size()) {
        error = "CODE128 data ends inside a {";
        return false;
      }
      const char f = data[++i];
      if (f == 'A' || f == 'B' || f == 'C') {
        set = f;
      } else if (f == '{') {
        chars += '{';
      } else if (f == 'S') {
        shift = true;
      } else {
        error = std::string("CODE128 function {") + f + " is not supported";
        return false;
      }
      continue;
    }
    const char active = shift ? (set == 'A' ? 'B' : 'A') : set;
    shift = false;
    if (active == 'C') {
      if (c > 99) {
        error = "CODE128 code set C takes values 0..99";
        return false;
      }
      chars += static_cast<char>('0' + c / 10);
      chars += static_cast<char>('0' + c % 10);
    } else if ((active == 'A' && c > 0x5F) || (active == 'B' && (c < 0x20 || c > 0x7F))) {
      error = std::string("CODE128 code set ") + active + " has no code " + std::to_string(c);
      return false;
    } else {
      chars += static_cast<char>(c);
    }
  }
  if (chars.empty()) {
    error = "no data";
    return false;
  }
  return true;
}

// What a human reads under the bars: control codes become spaces.
std::string Readable(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return out;
}

}  // namespace

const char* SymbolKindName(SymbolKind kind) {
  static const char* const kNames[] = {"UPC-A",   "UPC-E",   "EAN13",      "EAN8",    "CODE39",
                                       "ITF",     "CODABAR", "CODE93",     "CODE128", "QR",
                                       "MicroQR", "PDF417",  "DataMatrix", "Aztec",   "MaxiCode"};
  return kNames[static_cast<size_t>(kind)];
}

bool IsLinear(SymbolKind kind) {
  return kind <= SymbolKind::kCode128;
}

Symbol MakeSymbol(const SymbolRequest& request, int max_width) {
  Symbol out;
  std::string checked;  // what the drawing takes
  std::string& error = out.error;
  const std::string& d = request.data;
  bool ok = true;
  switch (request.kind) {
    case SymbolKind::kUpcA:
      ok = CheckedDigits(d, 11, checked, error);
      break;
    case SymbolKind::kUpcE:
      ok = UpcE(d, checked, error);
      break;
    case SymbolKind::kEan13:
      ok = CheckedDigits(d, 12, checked, error);
      break;
    case SymbolKind::kEan8:
      ok = CheckedDigits(d, 7, checked, error);
      break;
    case SymbolKind::kCode39:
      ok = Code39(d, checked, error);
      break;
    case SymbolKind::kItf:
      ok = AllDigits(d) && d.size() % 2 == 0;
      if (!ok) error = "ITF takes an even number of digits";
      checked = d;
      break;
    case SymbolKind::kCodabar:
      ok = Codabar(d, checked, error);
      break;
    case SymbolKind::kCode93:
      ok = !d.empty() &&
           std::all_of(d.begin(), d.end(), [](char c) { return static_cast<uint8_t>(c) <= 0x7F; });
      if (!ok) error = d.empty() ? "no data" : "CODE93 takes codes 00..7F";
      checked = d;
      break;
    case SymbolKind::kCode128:
      ok = Code128(d, checked, error);
      break;
    default:
      ok = !d.empty();
      if (!ok) error = "no data stored";
      checked = d;
      break;
  }
  if (!ok) return out;
  if (IsLinear(request.kind)) out.text = Readable(checked);
  if (request.kind == SymbolKind::kCode39) out.text = "*" + out.text + "*";
  std::string draw_error;
  if (!DrawSymbol(request, checked, out, draw_error)) {
    out.picture = Bitmap();
    error = draw_error.empty() ? "the symbol could not be made" : draw_error;
    return out;
  }
  if (out.picture.width() > max_width) {
    error = "the symbol is " + std::to_string(out.picture.width()) + " dots wide, the print area " +
            std::to_string(max_width);
    out.picture = Bitmap();
  }
  return out;
}

}  // namespace quillon::vp::escpos
