// Text panel conversions: the escapes of the ANSI and UTF-8 modes, UTF-16, hexadecimal
// text, escapes cut short, the send buffer limit and the character table.
#include "core/text_conv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/escpos_tests.h"
#include "output_fixture.h"

namespace quillon {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Send(TextEncoding enc, const std::string& text, bool raw = false) {
  TextBytes r = ConvertTextForSending(enc, text, raw, 936);
  EXPECT_TRUE(r.ok) << r.error;
  return r.bytes;
}

Bytes Ansi(const std::string& in) {
  std::vector<uint8_t> dest(kSendBufferSize);
  int32_t n = -1;
  EXPECT_TRUE(AnsiToBuf({reinterpret_cast<const uint8_t*>(in.data()), in.size()}, dest, n));
  return Bytes(dest.begin(), dest.begin() + n);
}

Bytes Utf8(const std::string& in) {
  std::vector<uint8_t> dest(kSendBufferSize);
  int32_t n = -1;
  EXPECT_TRUE(UTF8ToBuf({reinterpret_cast<const uint8_t*>(in.data()), in.size()}, dest, n));
  return Bytes(dest.begin(), dest.begin() + n);
}

TEST(TextConv, ExamplesOfTheTextPanel) {
  EXPECT_EQ(Send(TextEncoding::kAnsi, "A\\x1B!\\u4E2D"), (Bytes{0x41, 0x1B, 0x21, 0x2D, 0x4E}));
  EXPECT_EQ(Send(TextEncoding::kAnsi, "a\\nb"), (Bytes{0x61, 0x62}));
  EXPECT_EQ(Send(TextEncoding::kAnsi, "a\\nb", true), (Bytes{0x61, 0x5C, 0x6E, 0x62}));
  EXPECT_EQ(Send(TextEncoding::kUtf8, "中\\x0A"), (Bytes{0xE4, 0xB8, 0xAD, 0x0A}));
  EXPECT_EQ(Send(TextEncoding::kUtf8, "a\\nb"), (Bytes{0x61, 0x6E, 0x62}));
  EXPECT_EQ(Send(TextEncoding::kUnicode, "A中"), (Bytes{0x41, 0x00, 0x2D, 0x4E}));
  EXPECT_EQ(Send(TextEncoding::kHex, "1B 40\n0A"), (Bytes{0x1B, 0x40, 0x0A}));
  EXPECT_EQ(Send(TextEncoding::kHex, "ABC"), (Bytes{0xAB}));
}

TEST(TextConv, AnsiModeDiffersFromUtf8Mode) {
  // u escapes exist only in ANSI mode; other escaped characters are dropped there, kept
  // in UTF-8 mode.
  EXPECT_EQ(Ansi("\\u4e2d"), (Bytes{0x2D, 0x4E}));
  EXPECT_EQ(Utf8("\\u4E2D"), (Bytes{'u', '4', 'E', '2', 'D'}));
  EXPECT_EQ(Ansi("\\\\\\X41"), (Bytes{0x5C, 0x41}));
  EXPECT_EQ(Utf8("\\\\\\X41"), (Bytes{0x5C, 0x41}));
  EXPECT_EQ(Ansi("\\xZZ"), (Bytes{0x00}));  // not hexadecimal: 0
  // A double-byte character whose second byte is 5C starts an escape in ANSI mode.
  EXPECT_EQ(Send(TextEncoding::kAnsi, "乗x41"), (Bytes{0x81, 0x41}));  // 乗 is 81 5C
  // An escaped multi-byte character keeps all its bytes in UTF-8 mode.
  EXPECT_EQ(Utf8("\\中"), (Bytes{0xE4, 0xB8, 0xAD}));
  // ANSI mode stops at the first zero byte; UTF-8 mode goes on.
  EXPECT_EQ(Ansi(std::string("ab\0cd", 5)), (Bytes{'a', 'b'}));
  EXPECT_EQ(Utf8(std::string("ab\0c", 4)), (Bytes{'a', 'b', 0, 'c'}));
  // The x test is followed by the u test on the same position: \xAu.... reads on.
  EXPECT_EQ(Ansi("\\xAu4E2D"), (Bytes{0x00, 0x2D, 0x4E}));
}

TEST(TextConv, EscapesCutShortAreDropped) {
  for (std::string s : {"ab\\", "ab\\x", "ab\\x4", "ab\\X"}) {
    EXPECT_EQ(Ansi(s), (Bytes{'a', 'b'})) << s;
    EXPECT_EQ(Utf8(s), (Bytes{'a', 'b'})) << s;
  }
  for (std::string s : {"ab\\u", "ab\\u4", "ab\\u4E", "ab\\u4E2"}) {
    EXPECT_EQ(Ansi(s), (Bytes{'a', 'b'})) << s;
  }
  // Just long enough is not cut short.
  EXPECT_EQ(Ansi("\\x41"), (Bytes{0x41}));
  EXPECT_EQ(Ansi("\\u4E2D"), (Bytes{0x2D, 0x4E}));
  // A multi-byte character cut short copies only what is there.
  EXPECT_EQ(Utf8("a\xE4\xB8"), (Bytes{'a', 0xE4, 0xB8}));
}

TEST(TextConv, EscapeScannersStayInsideTheirInput) {
  // Short inputs made of escape characters, lead bytes and zeros, each in a heap block of
  // its exact size (so a sanitizer build catches any read past the end). The escapes
  // only ever shrink the text.
  const uint8_t alphabet[] = {'\\', 'x', 'X', 'u', '4', 'E', 0xE4, 0xB8, 0xFF, 'a', 0};
  uint32_t seed = 7;
  std::vector<uint8_t> dest(64);
  for (int n = 0; n < 3000; ++n) {
    seed = seed * 1103515245 + 12345;
    std::vector<uint8_t> in((seed >> 16) % 10);
    for (uint8_t& b : in) {
      seed = seed * 1103515245 + 12345;
      b = alphabet[(seed >> 16) % sizeof alphabet];
    }
    int32_t count = -1;
    ASSERT_TRUE(AnsiToBuf(in, dest, count));
    EXPECT_LE(static_cast<size_t>(count), in.size());
    ASSERT_TRUE(UTF8ToBuf(in, dest, count));
    EXPECT_LE(static_cast<size_t>(count), in.size());
  }
}

TEST(TextConv, LineBreaksByMode) {
  EXPECT_EQ(Send(TextEncoding::kAnsi, "a\nb"), (Bytes{'a', 0x0D, 0x0A, 'b'}));
  EXPECT_EQ(Send(TextEncoding::kUtf8, "a\r\nb"), (Bytes{'a', 0x0D, 0x0A, 'b'}));
  EXPECT_EQ(Send(TextEncoding::kUnicode, "\n"), (Bytes{0x0D, 0x00, 0x0A, 0x00}));
  EXPECT_EQ(Send(TextEncoding::kUnicode, "\\x41"),
            (Bytes{'\\', 0, 'x', 0, '4', 0, '1', 0}));  // no escapes
  // Characters beyond the BMP are two code units.
  EXPECT_EQ(Send(TextEncoding::kUnicode, "\xF0\x9F\x98\x80"), (Bytes{0x3D, 0xD8, 0x00, 0xDE}));
}

TEST(TextConv, HexText) {
  EXPECT_EQ(Send(TextEncoding::kHex, "1B\t40"), (Bytes{0x1B, 0x00}));  // tabs stay
  EXPECT_EQ(Send(TextEncoding::kHex, "7"), Bytes{});
  EXPECT_EQ(Send(TextEncoding::kHex, "ab cd\r\nEF"), (Bytes{0xAB, 0xCD, 0xEF}));
  EXPECT_EQ(Send(TextEncoding::kHex, "中4"), (Bytes{0x00}));
  EXPECT_EQ(Send(TextEncoding::kHex, "G1"), (Bytes{0x00}));
}

TEST(TextConv, Utf8LengthOfLeadBytes) {
  const std::pair<uint8_t, int> cases[] = {{0x41, 1}, {0xC3, 2}, {0xE4, 3}, {0xF0, 4},
                                           {0x80, 1}, {0xFF, 8}, {0x00, 1}, {0xFE, 7}};
  for (auto [b, len] : cases) EXPECT_EQ(GetUTF8Length(b), len) << int(b);
}

TEST(TextConv, CharacterTableAsHexGivesEveryCode) {
  const std::vector<std::string> lines = CharacterTableLines();
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines.front(), "20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F ");
  EXPECT_EQ(lines.back(), "0A");
  std::string text = "\n";  // appended after whatever the box held (here an empty line)
  for (const std::string& l : lines) text += l + "\n";
  const Bytes bytes = Send(TextEncoding::kHex, text);
  ASSERT_EQ(bytes.size(), 225u);
  for (int i = 0; i < 224; ++i) ASSERT_EQ(bytes[i], 0x20 + i);
  EXPECT_EQ(bytes.back(), 0x0A);
}

TEST(TextConv, TooLongForTheSendBufferIsRefused) {
  const std::string fits(kSendBufferSize, 'a');
  EXPECT_TRUE(ConvertTextForSending(TextEncoding::kAnsi, fits, false, 936).ok);
  for (int enc = 0; enc < 4; ++enc) {
    const std::string big(2 * kSendBufferSize + 2, 'a');
    TextBytes r = ConvertTextForSending(static_cast<TextEncoding>(enc), big, enc == 0, 936);
    EXPECT_FALSE(r.ok) << enc;
    EXPECT_TRUE(r.bytes.empty());
    EXPECT_NE(r.error.find("40961"), std::string::npos) << r.error;
  }
  // Escapes shrink a long input below the limit: it is sent.
  std::string escapes;
  for (size_t i = 0; i < kSendBufferSize; ++i) escapes += "\\x41";
  TextBytes r = ConvertTextForSending(TextEncoding::kUtf8, escapes, false, 936);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.bytes.size(), kSendBufferSize);
  // The low-level conversion reports the size it needs and writes nothing.
  uint8_t small[2] = {7, 7};
  int32_t n = 0;
  EXPECT_FALSE(TextToBuf(u"414243", small, n));
  EXPECT_EQ(n, 3);
  EXPECT_EQ(small[0], 7);
}

TEST(TextConv, EmptyTextSendsAZeroByteWrite) {
  testing::LinkFixture f;
  const Bytes bytes = Send(TextEncoding::kAnsi, "");
  SendRawBytes(f.link, bytes);
  ASSERT_EQ(f.usb.writes.size(), 1u);
  EXPECT_TRUE(f.usb.writes[0].empty());
  EXPECT_EQ(f.usb.opens, 1);
  EXPECT_EQ(f.usb.closes, 1);
}

}  // namespace
}  // namespace quillon
