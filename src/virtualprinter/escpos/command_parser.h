// The ESC/POS command table: a pure parser that tells, for the bytes at the start of the
// input, which command they form and exactly how many bytes it takes (its parameters and
// data included), or that more bytes are needed. It never looks at printer state, so it can
// be tested and fuzzed on its own; the renderer acts on what it returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quillon::vp::escpos {

// Every command the printer knows, one value each (the name says its bytes).
#define QUILLON_ESCPOS_OPS(X)                                                                                  \
  X(kEscFF, "ESC FF")                                                                                          \
  X(kEscSp, "ESC SP") X(kEscBang, "ESC !") X(kEscDollar, "ESC $") X(kEscPercent, "ESC %")                      \
      X(kEscAmp, "ESC &") X(kEscParen, "ESC (") X(kEscStar, "ESC *") X(kEscMinus, "ESC -") X(                  \
          kEsc2, "ESC 2") X(kEsc3, "ESC 3") X(kEscLess, "ESC <") X(kEscEqual, "ESC =")                         \
          X(kEscQuestion, "ESC ?") X(kEscAt, "ESC @") X(kEscB, "ESC B") X(kEscD, "ESC D") X(                   \
              kEscE, "ESC E") X(kEscG, "ESC G") X(kEscJ, "ESC J") X(kEscK, "ESC K")                            \
              X(kEscL, "ESC L") X(kEscM, "ESC M") X(kEscR, "ESC R") X(kEscS, "ESC S") X(                       \
                  kEscT, "ESC T") X(kEscU, "ESC U") X(kEscV, "ESC V") X(kEscW, "ESC W")                        \
                  X(kEscZ, "ESC Z") X(kEscBackslash, "ESC \\") X(kEsca, "ESC a") X(kEscc, "ESC c")             \
                      X(kEscd, "ESC d") X(kEsce, "ESC e") X(kEsci, "ESC i") X(kEscm, "ESC m")                  \
                          X(kEscp, "ESC p") X(kEscr, "ESC r") X(kEsct, "ESC t") X(kEscu, "ESC u")              \
                              X(kEscv, "ESC v") X(kEscBrace, "ESC {") X(kGsBang, "GS !")                       \
                                  X(kGsDollar, "GS $") X(kGsParen, "GS (") X(kGsStar, "GS *")                  \
                                      X(kGsSlash, "GS /") X(kGs8L, "GS 8 L") X(kGsColon, "GS :")               \
                                          X(kGsB, "GS B") X(kGsE, "GS E") X(kGsH, "GS H")                      \
                                              X(kGsI, "GS I") X(kGsL, "GS L") X(kGsP, "GS P") X(               \
                                                  kGsS, "GS S") X(kGsT, "GS T") X(kGsV, "GS V")                \
                                                  X(kGsW, "GS W") X(                                           \
                                                      kGsBackslash,                                            \
                                                      "GS \\") X(kGsCaret,                                     \
                                                                 "GS ^") X(kGsa,                               \
                                                                           "GS a") X(kGsb,                     \
                                                                                     "GS b") X(kGsc,           \
                                                                                               "G"             \
                                                                                               "S"             \
                                                                                               " "             \
                                                                                               "c")            \
                                                      X(kGsf,                                                  \
                                                        "GS f") X(kGsg, "GS g")                                \
                                                          X(kGsh,                                              \
                                                            "GS h") X(kGsj, "GS j")                            \
                                                              X(kGsk,                                          \
                                                                "GS k") X(kGsr, "GS r")                        \
                                                                  X(kGsv0, "GS v 0") X(                        \
                                                                      kGsw,                                    \
                                                                      "GS w") X(kGsz, "GS z")                  \
                                                                      X(kFsBang, "FS !") X(                    \
                                                                          kFsAmp,                              \
                                                                          "FS &") X(kFsParen, "FS"             \
                                                                                              " "              \
                                                                                              "(")             \
                                                                          X(kFsMinus, "FS -") X(               \
                                                                              kFsDot,                          \
                                                                              "FS .") X(kFs2, "FS"             \
                                                                                              " "              \
                                                                                              "2")             \
                                                                              X(kFsC, "FS C")                  \
                                                                                  X(kFsS, "FS S") X(           \
                                                                                      kFsW,                    \
                                                                                      "FS W")                  \
                                                                                      X(kFsQuestion,           \
                                                                                        "FS ?") X(kFsp,        \
                                                                                                  "FS p")      \
                                                                                          X(kFsq,              \
                                                                                            "FS "              \
                                                                                            "q") X(kDleEot,    \
                                                                                                   "DLE EOT")  \
                                                                                              X(kDleEnq,       \
                                                                                                "DLE ENQ")     \
                                                                                                  X(kDleDc4,   \
                                                                                                    "DLE DC4") \
                                                                                                      X(kDc2T, \
                                                                                                        "DC2 T")

enum class Op : uint8_t {
#define QUILLON_ESCPOS_ENUM(id, name) id,
  QUILLON_ESCPOS_OPS(QUILLON_ESCPOS_ENUM)
#undef QUILLON_ESCPOS_ENUM
      kCount
};

// The command's name as reports show it, e.g. "GS ( k" is "GS (" plus its function byte.
const char* OpName(Op op);

// Data of one command is held whole up to this size; a larger block is taken in pieces
// (raster rows are printed as they come, anything else is skipped and reported).
inline constexpr size_t kMaxHeldCommand = 1u << 20;

struct Token {
  enum class Kind : uint8_t {
    kNeedMore,  // the bytes begin a command that is not complete yet
    kText,      // a run of printable bytes (20..7E and 80..FF)
    kControl,   // one control byte (LF, CR, HT, FF, CAN, ...) or a lone DLE/DC2
    kCommand,   // a known command
    kUnknown,   // ESC, GS or FS followed by a byte no command starts with: both skipped
  };
  Kind kind = Kind::kNeedMore;
  size_t length = 0;  // bytes taken from the input
  Op op = Op::kCount;
  size_t args_at = 0;   // where the command's own bytes end and its parameters begin
  size_t streamed = 0;  // data bytes that follow the command outside `length`
};

// Reads one token from the start of in (which must not be empty).
Token ParseToken(std::span<const uint8_t> in);

// The report name of a command token: OpName plus the function byte of the "(" families
// and of GS 8 L ("GS ( k", "FS ( A"); for kUnknown "ESC 0x8F"-style.
std::string TokenName(std::span<const uint8_t> in, const Token& t);

}  // namespace quillon::vp::escpos
