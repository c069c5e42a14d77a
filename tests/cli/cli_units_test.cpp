// The small pieces under the commands: the digest and the column widths.

#include <gtest/gtest.h>

#include <string>

#include "card/utility.h"
#include "cli/sha256.h"
#include "cli/text_table.h"

namespace slk {
namespace {

TEST(Sha256Test, KnownDigests) {
  EXPECT_EQ(Sha256Hex({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex(AsBytes("abc")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // 56 bytes: the padding needs a second block.
  EXPECT_EQ(Sha256Hex(AsBytes("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  // Fed in uneven pieces, a million 'a's.
  Sha256 hash;
  std::string piece(997, 'a');
  std::size_t left = 1000000;
  while (left > 0) {
    std::size_t n = std::min(left, piece.size());
    hash.Update(AsBytes(std::string_view(piece).substr(0, n)));
    left -= n;
  }
  EXPECT_EQ(hash.FinishHex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(TextTableTest, FullWidthCharactersTakeTwoCells) {
  EXPECT_EQ(DisplayWidth("ABC"), 3u);
  EXPECT_EQ(DisplayWidth("ＡＢＣ"), 6u);
  EXPECT_EQ(DisplayWidth("ねこ1"), 5u);
  EXPECT_EQ(DisplayWidth("ｱｲ"), 2u);  // half-width katakana
  EXPECT_EQ(DisplayWidth("\xff\xfe"), 2u);

  TextTable table({"A", "B"}, {TextTable::Align::Right, TextTable::Align::Left});
  table.AddRow({"10", "ねこ"});
  table.AddRow({"2", "x"});
  std::ostringstream out;
  table.Print(out);
  EXPECT_EQ(out.str(), " A  B\n10  ねこ\n 2  x\n");
}

}  // namespace
}  // namespace slk
