// Test tool: decodes the symbols in boxes of a paper PNG, one JSON string per line (empty
// when nothing was read). Usage: vp_read_symbols PAPER.png X,Y,W,H ...
#include <cstdio>
#include <string>

#include "symbol_reader.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PAPER.png X,Y,W,H ...\n", argv[0]);
    return 2;
  }
  quillon::vp::testing::Grey paper;
  std::string error;
  if (!quillon::vp::testing::ReadPaperPng(argv[1], paper, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  for (int i = 2; i < argc; ++i) {
    int x = 0, y = 0, w = 0, h = 0;
    std::string text;
    if (std::sscanf(argv[i], "%d,%d,%d,%d", &x, &y, &w, &h) == 4)
      text = quillon::vp::testing::ReadSymbol(paper, x, y, w, h);
    std::string json = "\"";
    for (unsigned char c : text) {
      if (c == '"' || c == '\\') {
        json += '\\';
        json += static_cast<char>(c);
      } else if (c < 0x20) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", c);
        json += buf;
      } else {
        json += static_cast<char>(c);
      }
    }
    std::printf("%s\"\n", json.c_str());
  }
  return 0;
}
