// The ESC/POS command table on arbitrary bytes: a token never claims more bytes than it
// has, a complete command does not change with what follows it, and every shorter piece of
// a command asks for more rather than being read as something else.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "virtualprinter/escpos/command_parser.h"

using quillon::vp::escpos::ParseToken;
using quillon::vp::escpos::Token;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> all(data, size);
  size_t at = 0;
  while (at < size) {
    const auto in = all.subspan(at);
    const Token t = ParseToken(in);
    if (t.kind == Token::Kind::kNeedMore) {
      if (t.length != 0) std::abort();
      break;
    }
    if (t.length == 0 || t.length > in.size() || t.args_at > t.length) std::abort();
    if (t.kind == Token::Kind::kCommand || t.kind == Token::Kind::kUnknown) {
      // The same bytes cut shorter: still the start of this command, never another one.
      for (size_t n = 1; n < t.length; ++n) {
        if (ParseToken(in.first(n)).kind != Token::Kind::kNeedMore) std::abort();
      }
      // The command alone parses the same as with what follows it, or (where the command's
      // end is told by the byte after it, as ESC D's 33rd) asks for that byte.
      const Token alone = ParseToken(in.first(t.length));
      if (alone.kind != Token::Kind::kNeedMore &&
          (alone.kind != t.kind || alone.length != t.length || alone.op != t.op))
        std::abort();
    }
    at += t.length;
  }
  return 0;
}
