// The text panel's conversions of a text into the bytes sent to the printer: ANSI and
// UTF-8 with backslash escapes, UTF-16, and hexadecimal byte strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Size of the send buffer: the most bytes one text send may produce.
inline constexpr size_t kSendBufferSize = 40961;

// Every conversion writes its bytes to the start of dest and their number to count, and
// returns true. When the bytes do not fit in dest, nothing is written, count is the number
// of bytes the text would need, and the result is false.

// ANSI bytes with escapes resolved: \\ -> 5C, \xHH -> one byte, \uHHHH -> two bytes (low
// byte first), any other escaped byte dropped with its backslash. Scans byte-wise up to
// the first zero byte. An escape cut short by the end of the input is dropped.
bool AnsiToBuf(std::span<const uint8_t> ansi, std::span<uint8_t> dest, int32_t& count);
// UTF-8 bytes with escapes resolved, stepping whole characters: \\ -> 5C, \xHH -> one
// byte, any other escaped character kept without its backslash. An escape cut short by
// the end of the input is dropped.
bool UTF8ToBuf(std::span<const uint8_t> utf8, std::span<uint8_t> dest, int32_t& count);
// UTF-16 code units, low byte first, no byte-order mark, no escapes.
bool UnicodeToBuf(std::u16string_view text, std::span<uint8_t> dest, int32_t& count);
// Pairs of hexadecimal digits to bytes, after removing spaces, CR and LF (tabs stay). A
// pair that is not two hexadecimal digits gives 0; a last unpaired character is ignored.
bool TextToBuf(std::u16string_view text, std::span<uint8_t> dest, int32_t& count);
// Length of the UTF-8 sequence a byte starts: its leading 1 bits (1 when the top bit is 0).
int GetUTF8Length(uint8_t b);
// Appends the UTF-8 form of cp; a surrogate or a value past U+10FFFF becomes U+FFFD.
void AppendUtf8(std::string& out, char32_t cp);

// The encodings of the text panel, in the order of its drop-down box.
enum class TextEncoding : int {
  kAnsi = 0,     // the ANSI code page, escapes unless sent as they are
  kUtf8 = 1,     // UTF-8 with escapes
  kUnicode = 2,  // UTF-16 low byte first
  kHex = 3,      // hexadecimal byte string
};

struct TextBytes {
  bool ok = false;
  std::vector<uint8_t> bytes;
  std::string error;     // why the text was refused (ok false)
  size_t replaced = 0;   // characters the ANSI code page could not hold, sent as "?"
  int32_t too_long = 0;  // refused for its size: the byte count it would have made
};

// The bytes one press of "send" produces for a text held as UTF-8, the way the text box
// hands it over (line breaks become CR LF). raw: in ANSI mode send the bytes without
// escape processing. codepage: the ANSI code page. Refuses a result larger than the send
// buffer.
TextBytes ConvertTextForSending(TextEncoding encoding, std::string_view utf8_text, bool raw,
                                int codepage);

// UTF-8 to UTF-16 (a broken sequence becomes U+FFFD); bare LF line breaks become CR LF.
std::u16string Utf8ToUtf16CrLf(std::string_view utf8);
std::string Utf8WithCrLf(std::string_view utf8);

// The character table: 14 lines of the codes 20..FF in upper-case hexadecimal, 16 a line,
// each followed by a space, then a line "0A".
std::vector<std::string> CharacterTableLines();

}  // namespace quillon
