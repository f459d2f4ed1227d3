#include "virtualprinter/escpos/code_pages.h"

#include <algorithm>
#include <array>
#include <vector>

namespace quillon::vp::escpos {
namespace {

// The twelve ASCII positions that the international sets replace.
constexpr uint8_t kIntlCodes[12] = {0x23, 0x24, 0x40, 0x5B, 0x5C, 0x5D,
                                    0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7E};
// Their characters in each set, in the order of kIntlCodes.
constexpr char32_t kIntlSets[kInternationalSets][12] = {
    {U'#', U'$', U'@', U'[', U'\\', U']', U'^', U'`', U'{', U'|', U'}', U'~'},  // USA
    {U'#', U'$', U'à', U'°', U'ç', U'§', U'^', U'`', U'é', U'ù', U'è', U'¨'},   // France
    {U'#', U'$', U'§', U'Ä', U'Ö', U'Ü', U'^', U'`', U'ä', U'ö', U'ü', U'ß'},   // Germany
    {U'£', U'$', U'@', U'[', U'\\', U']', U'^', U'`', U'{', U'|', U'}', U'~'},  // UK
    {U'#', U'$', U'@', U'Æ', U'Ø', U'Å', U'^', U'`', U'æ', U'ø', U'å', U'~'},   // Denmark I
    {U'#', U'¤', U'É', U'Ä', U'Ö', U'Å', U'Ü', U'é', U'ä', U'ö', U'å', U'ü'},   // Sweden
    {U'#', U'$', U'@', U'°', U'\\', U'é', U'^', U'ù', U'à', U'ò', U'è', U'ì'},  // Italy
    {U'₧', U'$', U'@', U'¡', U'Ñ', U'¿', U'^', U'`', U'¨', U'ñ', U'}', U'~'},   // Spain I
    {U'#', U'$', U'@', U'[', U'¥', U']', U'^', U'`', U'{', U'|', U'}', U'~'},   // Japan
    {U'#', U'¤', U'É', U'Æ', U'Ø', U'Å', U'Ü', U'é', U'æ', U'ø', U'å', U'ü'},   // Norway
    {U'#', U'$', U'É', U'Æ', U'Ø', U'Å', U'Ü', U'é', U'æ', U'ø', U'å', U'ü'},   // Denmark II
    {U'#', U'$', U'á', U'¡', U'Ñ', U'¿', U'é', U'`', U'í', U'ñ', U'ó', U'ú'},   // Spain II
    {U'#', U'$', U'á', U'¡', U'Ñ', U'¿', U'é', U'ü', U'í', U'ñ', U'ó', U'ú'},   // Latin America
    {U'#', U'$', U'@', U'[', U'₩', U']', U'^', U'`', U'{', U'|', U'}', U'~'},   // Korea
    {U'#', U'$', U'Ž', U'Š', U'Đ', U'Ć', U'Č', U'ž', U'š', U'đ', U'ć', U'č'},   // Slovenia/Croatia
    {U'#', U'¥', U'@', U'[', U'\\', U']', U'^', U'`', U'{', U'|', U'}', U'~'},  // China
};

struct ReverseEntry {
  char32_t cp;
  PageChar at;
  bool operator<(const ReverseEntry& o) const { return cp < o.cp; }
};

// Every character of every table, sorted, for the lookups of Unicode text.
const std::vector<ReverseEntry>& ReverseIndex() {
  static const std::vector<ReverseEntry> index = [] {
    std::vector<ReverseEntry> v;
    for (size_t t = 0; t < kCodePageTableCount; ++t) {
      const CodePageTable& table = kCodePageTables[t];
      for (int i = 0; i < 128; ++i) {
        if (table.upper[i] == 0) continue;
        v.push_back({table.upper[i], {table.number, static_cast<uint8_t>(0x80 + i)}});
      }
    }
    std::stable_sort(v.begin(), v.end());
    return v;
  }();
  return index;
}

}  // namespace

const CodePageTable* FindCodePage(int number) {
  for (size_t i = 0; i < kCodePageTableCount; ++i) {
    if (kCodePageTables[i].number == number) return &kCodePageTables[i];
  }
  return nullptr;
}

char32_t CodePageChar(int page, uint8_t c) {
  if (c < 0x80) return c;
  const CodePageTable* t = FindCodePage(page);
  return t ? t->upper[c - 0x80] : 0;
}

std::optional<PageChar> FindInCodePages(char32_t cp, int preferred) {
  if (const CodePageTable* t = FindCodePage(preferred)) {
    for (int i = 0; i < 128; ++i) {
      if (t->upper[i] == cp) return PageChar{t->number, static_cast<uint8_t>(0x80 + i)};
    }
  }
  const auto& index = ReverseIndex();
  const auto it = std::lower_bound(index.begin(), index.end(), ReverseEntry{cp, {}});
  if (it == index.end() || it->cp != cp) return std::nullopt;
  return it->at;
}

char32_t InternationalChar(int set, uint8_t c) {
  if (set <= 0 || set >= kInternationalSets) return c;
  const auto* pos = std::find(std::begin(kIntlCodes), std::end(kIntlCodes), c);
  if (pos == std::end(kIntlCodes)) return c;
  return kIntlSets[set][pos - std::begin(kIntlCodes)];
}

}  // namespace quillon::vp::escpos
