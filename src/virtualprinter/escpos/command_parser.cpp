#include "virtualprinter/escpos/command_parser.h"

#include <algorithm>
#include <cstdio>

namespace quillon::vp::escpos {
namespace {

constexpr uint8_t DLE = 0x10, DC2 = 0x12, DC4 = 0x14, ESC = 0x1B, FS = 0x1C, GS = 0x1D;
constexpr uint8_t EOT = 0x04, ENQ = 0x05;

const char* const kNames[] = {
#define QUILLON_ESCPOS_NAME(id, name) name,
    QUILLON_ESCPOS_OPS(QUILLON_ESCPOS_NAME)
#undef QUILLON_ESCPOS_NAME
};

Token NeedMore() {
  return {};
}

// A command of `name` bytes followed by `params` fixed bytes.
Token Fixed(std::span<const uint8_t> in, Op op, size_t name, size_t params) {
  if (in.size() < name + params) return NeedMore();
  return {Token::Kind::kCommand, name + params, op, name, 0};
}

// A command whose whole size is known once its header is in: `total` bytes from the start,
// of which `header` are the name and parameters. A block too large to hold is streamed.
Token Sized(std::span<const uint8_t> in, Op op, size_t name, size_t header, uint64_t total) {
  if (total - header > kMaxHeldCommand)
    return {Token::Kind::kCommand, header, op, name, static_cast<size_t>(total - header)};
  if (in.size() < total) return NeedMore();
  return {Token::Kind::kCommand, static_cast<size_t>(total), op, name, 0};
}

size_t Le16(std::span<const uint8_t> in, size_t at) {
  return in[at] + 256u * in[at + 1];
}

// "ESC (", "GS (" and "FS (" followed by a function byte and a two-byte length.
Token Paren(std::span<const uint8_t> in, Op op) {
  if (in.size() < 5) return NeedMore();
  return Sized(in, op, 2, 5, 5 + Le16(in, 3));
}

// ESC & y c1 c2 [x d1 .. d(y*x)] for each code c1..c2: user-defined characters.
Token UserChars(std::span<const uint8_t> in) {
  if (in.size() < 5) return NeedMore();
  const size_t y = in[2];
  const int c1 = in[3], c2 = in[4];
  size_t at = 5;
  for (int c = c1; c <= c2; ++c) {
    if (in.size() <= at) return NeedMore();
    at += 1 + y * in[at];
    if (at > 5 + 256 * (1 + 3 * 255)) break;  // cannot happen with byte-sized fields
  }
  if (in.size() < at) return NeedMore();
  return {Token::Kind::kCommand, at, Op::kEscAmp, 2, 0};
}

// ESC D n1 .. nk NUL: at most 32 tab stops; without a NUL the 33rd byte is no longer a
// parameter.
Token TabStops(std::span<const uint8_t> in) {
  constexpr size_t kMaxStops = 32;
  for (size_t i = 2; i < in.size() && i < 2 + kMaxStops + 1; ++i) {
    if (in[i] == 0) return {Token::Kind::kCommand, i + 1, Op::kEscD, 2, 0};
  }
  if (in.size() < 2 + kMaxStops + 1) return NeedMore();
  return {Token::Kind::kCommand, 2 + kMaxStops, Op::kEscD, 2, 0};
}

// GS k m: forms 0..6 end at a NUL (at most 255 data bytes); forms 65 and up carry a length.
Token Barcode(std::span<const uint8_t> in) {
  constexpr size_t kMaxNulTerminated = 255;
  if (in.size() < 3) return NeedMore();
  if (in[2] >= 65) {
    if (in.size() < 4) return NeedMore();
    return Sized(in, Op::kGsk, 2, 4, 4u + in[3]);
  }
  for (size_t i = 3; i < in.size() && i < 3 + kMaxNulTerminated + 1; ++i) {
    if (in[i] == 0) return {Token::Kind::kCommand, i + 1, Op::kGsk, 2, 0};
  }
  if (in.size() < 3 + kMaxNulTerminated + 1) return NeedMore();
  return {Token::Kind::kCommand, 3 + kMaxNulTerminated, Op::kGsk, 2, 0};
}

// FS q n [xL xH yL yH d1 .. dk]1 .. [ ]n, k = x * y * 8: the NV bit images. An image too
// large to hold has its data streamed past (and the images after it are lost).
Token NvBitImages(std::span<const uint8_t> in) {
  if (in.size() < 3) return NeedMore();
  uint64_t at = 3;
  for (int i = 0; i < in[2]; ++i) {
    if (in.size() < at + 4) return NeedMore();
    const uint64_t x = Le16(in, static_cast<size_t>(at)), y = Le16(in, static_cast<size_t>(at) + 2);
    const uint64_t data = x * y * 8;
    if (at + 4 + data > kMaxHeldCommand) {
      return {Token::Kind::kCommand, static_cast<size_t>(at + 4), Op::kFsq, 2,
              static_cast<size_t>(data)};
    }
    at += 4 + data;
  }
  if (in.size() < at) return NeedMore();
  return {Token::Kind::kCommand, static_cast<size_t>(at), Op::kFsq, 2, 0};
}

Token Unknown() {
  return {Token::Kind::kUnknown, 2, Op::kCount, 2, 0};
}

Token ParseEsc(std::span<const uint8_t> in) {
  switch (in[1]) {
    case 0x0C:
      return Fixed(in, Op::kEscFF, 2, 0);
    case ' ':
      return Fixed(in, Op::kEscSp, 2, 1);
    case '!':
      return Fixed(in, Op::kEscBang, 2, 1);
    case '$':
      return Fixed(in, Op::kEscDollar, 2, 2);
    case '%':
      return Fixed(in, Op::kEscPercent, 2, 1);
    case '&':
      return UserChars(in);
    case '(':
      return Paren(in, Op::kEscParen);
    case '*': {
      if (in.size() < 5) return NeedMore();
      const uint64_t cols = Le16(in, 3);
      return Sized(in, Op::kEscStar, 2, 5, 5 + cols * ((in[2] & 0x20) ? 3 : 1));
    }
    case '-':
      return Fixed(in, Op::kEscMinus, 2, 1);
    case '2':
      return Fixed(in, Op::kEsc2, 2, 0);
    case '3':
      return Fixed(in, Op::kEsc3, 2, 1);
    case '<':
      return Fixed(in, Op::kEscLess, 2, 0);
    case '=':
      return Fixed(in, Op::kEscEqual, 2, 1);
    case '?':
      return Fixed(in, Op::kEscQuestion, 2, 1);
    case '@':
      return Fixed(in, Op::kEscAt, 2, 0);
    case 'B':
      return Fixed(in, Op::kEscB, 2, 2);
    case 'D':
      return TabStops(in);
    case 'E':
      return Fixed(in, Op::kEscE, 2, 1);
    case 'G':
      return Fixed(in, Op::kEscG, 2, 1);
    case 'J':
      return Fixed(in, Op::kEscJ, 2, 1);
    case 'K':
      return Fixed(in, Op::kEscK, 2, 1);
    case 'L':
      return Fixed(in, Op::kEscL, 2, 0);
    case 'M':
      return Fixed(in, Op::kEscM, 2, 1);
    case 'R':
      return Fixed(in, Op::kEscR, 2, 1);
    case 'S':
      return Fixed(in, Op::kEscS, 2, 0);
    case 'T':
      return Fixed(in, Op::kEscT, 2, 1);
    case 'U':
      return Fixed(in, Op::kEscU, 2, 1);
    case 'V':
      return Fixed(in, Op::kEscV, 2, 1);
    case 'W':
      return Fixed(in, Op::kEscW, 2, 8);
    case 'Z':
      if (in.size() < 7) return NeedMore();
      return Sized(in, Op::kEscZ, 2, 7, 7 + Le16(in, 5));
    case '\\':
      return Fixed(in, Op::kEscBackslash, 2, 2);
    case 'a':
      return Fixed(in, Op::kEsca, 2, 1);
    case 'c':
      return Fixed(in, Op::kEscc, 2, 2);
    case 'd':
      return Fixed(in, Op::kEscd, 2, 1);
    case 'e':
      return Fixed(in, Op::kEsce, 2, 1);
    case 'i':
      return Fixed(in, Op::kEsci, 2, 0);
    case 'm':
      return Fixed(in, Op::kEscm, 2, 0);
    case 'p':
      return Fixed(in, Op::kEscp, 2, 3);
    case 'r':
      return Fixed(in, Op::kEscr, 2, 1);
    case 't':
      return Fixed(in, Op::kEsct, 2, 1);
    case 'u':
      return Fixed(in, Op::kEscu, 2, 1);
    case 'v':
      return Fixed(in, Op::kEscv, 2, 0);
    case '{':
      return Fixed(in, Op::kEscBrace, 2, 1);
    default:
      return Unknown();
  }
}

Token ParseGs(std::span<const uint8_t> in) {
  switch (in[1]) {
    case '!':
      return Fixed(in, Op::kGsBang, 2, 1);
    case '$':
      return Fixed(in, Op::kGsDollar, 2, 2);
    case '(':
      return Paren(in, Op::kGsParen);
    case '*':
      if (in.size() < 4) return NeedMore();
      return Sized(in, Op::kGsStar, 2, 4, 4u + 8u * in[2] * in[3]);
    case '/':
      return Fixed(in, Op::kGsSlash, 2, 1);
    case '8':
      if (in.size() < 3) return NeedMore();
      if (in[2] != 'L') return Unknown();
      if (in.size() < 7) return NeedMore();
      return Sized(in, Op::kGs8L, 3, 7,
                   7 + (Le16(in, 3) + (static_cast<uint64_t>(Le16(in, 5)) << 16)));
    case ':':
      return Fixed(in, Op::kGsColon, 2, 0);
    case 'B':
      return Fixed(in, Op::kGsB, 2, 1);
    case 'E':
      return Fixed(in, Op::kGsE, 2, 1);
    case 'H':
      return Fixed(in, Op::kGsH, 2, 1);
    case 'I':
      return Fixed(in, Op::kGsI, 2, 1);
    case 'L':
      return Fixed(in, Op::kGsL, 2, 2);
    case 'P':
      return Fixed(in, Op::kGsP, 2, 2);
    case 'S':
      return Fixed(in, Op::kGsS, 2, 0);
    case 'T':
      return Fixed(in, Op::kGsT, 2, 1);
    case 'V': {
      if (in.size() < 3) return NeedMore();
      const uint8_t m = in[2];
      const bool with_n = m == 65 || m == 66 || m == 97 || m == 98 || m == 103 || m == 104;
      return Fixed(in, Op::kGsV, 2, with_n ? 2 : 1);
    }
    case 'W':
      return Fixed(in, Op::kGsW, 2, 2);
    case '\\':
      return Fixed(in, Op::kGsBackslash, 2, 2);
    case '^':
      return Fixed(in, Op::kGsCaret, 2, 3);
    case 'a':
      return Fixed(in, Op::kGsa, 2, 1);
    case 'b':
      return Fixed(in, Op::kGsb, 2, 1);
    case 'c':
      return Fixed(in, Op::kGsc, 2, 0);
    case 'f':
      return Fixed(in, Op::kGsf, 2, 1);
    case 'g':
      return Fixed(in, Op::kGsg, 2, 4);
    case 'h':
      return Fixed(in, Op::kGsh, 2, 1);
    case 'j':
      return Fixed(in, Op::kGsj, 2, 1);
    case 'k':
      return Barcode(in);
    case 'r':
      return Fixed(in, Op::kGsr, 2, 1);
    case 'v': {
      if (in.size() < 3) return NeedMore();
      if (in[2] != '0') return Unknown();
      if (in.size() < 8) return NeedMore();
      const size_t data = Le16(in, 4) * Le16(in, 6);
      return {Token::Kind::kCommand, 8, Op::kGsv0, 3, data};  // rows print as they come
    }
    case 'w':
      return Fixed(in, Op::kGsw, 2, 1);
    case 'z':
      return Fixed(in, Op::kGsz, 2, 3);
    default:
      return Unknown();
  }
}

Token ParseFs(std::span<const uint8_t> in) {
  switch (in[1]) {
    case '!':
      return Fixed(in, Op::kFsBang, 2, 1);
    case '&':
      return Fixed(in, Op::kFsAmp, 2, 0);
    case '(':
      return Paren(in, Op::kFsParen);
    case '-':
      return Fixed(in, Op::kFsMinus, 2, 1);
    case '.':
      return Fixed(in, Op::kFsDot, 2, 0);
    case '2':
      return Fixed(in, Op::kFs2, 2, 2 + 72);
    case 'C':
      return Fixed(in, Op::kFsC, 2, 1);
    case 'S':
      return Fixed(in, Op::kFsS, 2, 2);
    case 'W':
      return Fixed(in, Op::kFsW, 2, 1);
    case '?':
      return Fixed(in, Op::kFsQuestion, 2, 2);
    case 'p':
      return Fixed(in, Op::kFsp, 2, 2);
    case 'q':
      return NvBitImages(in);
    default:
      return Unknown();
  }
}

Token ParseDle(std::span<const uint8_t> in) {
  switch (in[1]) {
    case EOT:
      if (in.size() < 3) return NeedMore();
      return Fixed(in, Op::kDleEot, 2, in[2] == 7 || in[2] == 8 ? 2 : 1);
    case ENQ:
      return Fixed(in, Op::kDleEnq, 2, 1);
    case DC4: {
      if (in.size() < 3) return NeedMore();
      switch (in[2]) {
        case 1:
        case 2:
          return Fixed(in, Op::kDleDc4, 2, 3);  // fn m t, fn a b
        case 3:
          return Fixed(in, Op::kDleDc4, 2, 6);  // buzzer: fn a n r t1 t2
        case 7:
          return Fixed(in, Op::kDleDc4, 2, 2);  // fn m
        case 8:
          return Fixed(in, Op::kDleDc4, 2, 8);  // fn d1..d7
        default:
          return Fixed(in, Op::kDleDc4, 2, 1);
      }
    }
    default:
      return {Token::Kind::kControl, 1};  // a lone DLE does nothing
  }
}

}  // namespace

const char* OpName(Op op) {
  const auto i = static_cast<size_t>(op);
  return i < sizeof kNames / sizeof kNames[0] ? kNames[i] : "?";
}

Token ParseToken(std::span<const uint8_t> in) {
  const uint8_t b = in[0];
  if (b == ESC || b == GS || b == FS || b == DLE || b == DC2) {
    if (in.size() < 2) return NeedMore();
    if (b == ESC) return ParseEsc(in);
    if (b == GS) return ParseGs(in);
    if (b == FS) return ParseFs(in);
    if (b == DLE) return ParseDle(in);
    if (in[1] == 'T') return {Token::Kind::kCommand, 2, Op::kDc2T, 2, 0};
    return {Token::Kind::kControl, 1};  // a lone DC2 does nothing
  }
  if (b < 0x20 || b == 0x7F) return {Token::Kind::kControl, 1};
  size_t n = 1;
  while (n < in.size() && in[n] >= 0x20 && in[n] != 0x7F) ++n;
  return {Token::Kind::kText, n};
}

std::string TokenName(std::span<const uint8_t> in, const Token& t) {
  if (t.kind == Token::Kind::kUnknown) {
    static const char* const kIntro[] = {"ESC", "GS", "FS"};
    const char* intro = in[0] == ESC ? kIntro[0] : in[0] == GS ? kIntro[1] : kIntro[2];
    char buf[32];
    if (in[1] > 0x20 && in[1] < 0x7F) {
      std::snprintf(buf, sizeof buf, "%s %c", intro, in[1]);
    } else {
      std::snprintf(buf, sizeof buf, "%s 0x%02X", intro, in[1]);
    }
    return buf;
  }
  std::string name = OpName(t.op);
  if ((t.op == Op::kGsParen || t.op == Op::kEscParen || t.op == Op::kFsParen) && in.size() > 2) {
    name += ' ';
    name += static_cast<char>(in[2] >= 0x21 && in[2] < 0x7F ? in[2] : '?');
  }
  return name;
}

}  // namespace quillon::vp::escpos
