// Where the build has no symbol library (the Windows cross build): a framed box with room
// for the symbol's data, which the renderer prints inside it. Its checks still run.
#include <algorithm>

#include "virtualprinter/escpos/symbols.h"

namespace quillon::vp::escpos {

bool DrawSymbol(const SymbolRequest& r, const std::string& data, Symbol& out,
                std::string& /*error*/) {
  constexpr int kBorder = 3, kPad = 8, kCharWidth = 12, kLine = 30;
  const int chars = std::clamp(static_cast<int>(data.size()), 6, 40);
  const int lines = 1 + static_cast<int>(data.size()) / 40;
  const int w = chars * kCharWidth + 2 * (kBorder + kPad);
  const int h = std::max(IsLinear(r.kind) ? r.height : 0, lines * kLine + 2 * (kBorder + kPad));
  out.picture.Reset(w, h);
  out.picture.Fill(0, 0, w, kBorder);
  out.picture.Fill(0, h - kBorder, w, kBorder);
  out.picture.Fill(0, 0, kBorder, h);
  out.picture.Fill(w - kBorder, 0, kBorder, h);
  out.placeholder = true;
  out.text = data;
  return true;
}

}  // namespace quillon::vp::escpos
