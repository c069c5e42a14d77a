#include "platform/sjis.h"

#include <gtest/gtest.h>

#include <vector>

namespace slk::platform {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view s) {
  return {s.begin(), s.end()};
}

TEST(ShiftJis, ConvertsBothWaysWithReplacementsForInvalidInput) {
  // "ＰＳ２メモリーカード" as the Japanese resources hold it.
  const auto sjis =
      Bytes("\x82\x6F\x82\x72\x82\x51\x83\x81\x83\x82\x83\x8A\x81\x5B\x83\x4A\x81\x5B\x83\x68");
  const std::string utf8 = "ＰＳ２メモリーカード";
  EXPECT_EQ(ShiftJisToUtf8(sjis), utf8);
  EXPECT_EQ(Bytes(Utf8ToShiftJis(utf8)), sjis);
  EXPECT_EQ(ShiftJisToUtf8(Bytes("\xB7\xAC\xDD\xBE\xD9")), "ｷｬﾝｾﾙ");  // half-width kana
  EXPECT_EQ(Utf8ToShiftJis("Size"), "Size");
  // NUL ends the text.
  EXPECT_EQ(ShiftJisToUtf8(Bytes(std::string_view("ab\0cd", 5))), "ab");
  EXPECT_EQ(Utf8ToShiftJis(std::string_view("x\0y", 3)), "x");
  EXPECT_EQ(ShiftJisToUtf8({}), "");

  // 0x85 0x40 is an unassigned pair (one replacement); 0x80 and 0xFF are no
  // characters; a lead byte cut off at the end is one more.
  EXPECT_EQ(ShiftJisToUtf8(Bytes("A\x85\x40"
                                 "B\x80\xFF"
                                 "C\x82")),
            "A\xEF\xBF\xBD"
            "B\xEF\xBF\xBD\xEF\xBF\xBD"
            "C\xEF\xBF\xBD");
  // Malformed UTF-8 byte by byte; a character without Shift-JIS form whole.
  EXPECT_EQ(Utf8ToShiftJis("a\xC3(b\xF0\x9F\x98\x80"
                           "c"),
            "a?(b?c");
  EXPECT_EQ(Utf8ToShiftJis("\xE2\x82"), "?");
}

TEST(ShiftJisDecoder, GivesCodePointsAndQuestionMarks) {
  ShiftJisDecoder decoder;
  EXPECT_EQ(decoder.Decode(Bytes("S\x8A\xBF\x8E\x9A\xB1")), U"S漢字ｱ");
  EXPECT_EQ(decoder.Decode(Bytes("\x85\x40x\xFD")), U"?x?");
  // The converter is reused: an error in one call leaves no state behind.
  EXPECT_EQ(decoder.Decode(Bytes("\x82")), U"?");
  EXPECT_EQ(decoder.Decode(Bytes("\x82\xA0")), U"\u3042");
  EXPECT_EQ(decoder.Decode(Bytes(std::string_view("\x82\xA0\0z", 4))), U"\u3042");
}

}  // namespace
}  // namespace slk::platform
