#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "card/image_formats.h"
#include "card/utility.h"

namespace slk {
namespace {

// Names compare without ASCII case but not Shift-JIS trail bytes; a card
// file name keeps 20 characters and nothing after its terminator.
TEST(Names, AreComparedAndBoundedAsTheCardStoresThem) {
  EXPECT_TRUE(NamesEqual(AsBytes("BASLUS-00571"), AsBytes("baslus-00571")));
  EXPECT_FALSE(NamesEqual(AsBytes("BASLUS-0057"), AsBytes("BASLUS-00571")));
  EXPECT_TRUE(NamesEqual(AsBytes(""), AsBytes("")));
  // 0x82 0x60 is full-width 'A', 0x82 0x80 full-width 'a': lowering the trail
  // byte as if it were ASCII would wrongly make other pairs collide.
  EXPECT_FALSE(NamesEqual(AsBytes("\x82\x41"), AsBytes("\x82\x61")));
  EXPECT_TRUE(NamesEqual(AsBytes("\x82\x41x"), AsBytes("\x82\x41X")));
  std::uint8_t full[70];
  std::fill(std::begin(full), std::end(full), 'a');
  EXPECT_EQ(BoundedLength(full), 64u);
  EXPECT_EQ(BoundedLength(AsBytes(std::string_view("ab\0cd", 5))), 2u);
  Name64 name = CardFileName(AsBytes("BASLUS-01384DRACULATITLE"));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(name.data())), "BASLUS-01384DRACULAT");
  EXPECT_EQ(CardFileName(AsBytes(std::string_view("AB\0junk", 7)))[3], 0);
}

// Only the name's own extension counts, in any case. What each extension
// reads and writes as (aliases, shared extensions, lock values) is what the
// reader, writer and lock tests go through for every row of the table.
TEST(FormatOfPath, ChoosesByExtensionAloneIgnoringCase) {
  EXPECT_EQ(CardFormatOf("/cards/a.MCR"), CardFormat::Mcr);
  EXPECT_EQ(CardFormatOf("a.mc"), std::nullopt);
  EXPECT_EQ(SaveFormatOf("a.mc"), SaveFormat::Mc);
  EXPECT_EQ(CardFormatOf("noextension"), std::nullopt);
  EXPECT_EQ(CardFormatOf("folder.mcr/card"), std::nullopt);
  EXPECT_EQ(SaveFormatOf("a."), std::nullopt);
}

// The desktop's MIME types claim every extension the program opens.
TEST(FormatTable, TheMimeFileListsEveryExtension) {
  std::ifstream in(std::string(SLOTKEEPER_SOURCE_DIR) + "/desktop/slotkeeper2-mime.xml");
  std::string mime((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(mime.empty());
  for (const FormatRow& row : kFormats) {
    for (std::string_view ext : row.extensions) {
      if (ext.empty() || ext == kNoExtension) continue;
      EXPECT_NE(mime.find("<glob pattern=\"*." + std::string(ext) + "\""), std::string::npos)
          << ext;
    }
  }
}

TEST(PathParts, StripQuotesAndFileNamePart) {
  EXPECT_EQ(StripQuotes("\"/a b/c.mcr\""), "/a b/c.mcr");
  EXPECT_EQ(StripQuotes("/plain"), "/plain");
  EXPECT_EQ(StripQuotes("\""), "");
  std::string name = "untouched";
  EXPECT_FALSE(FileNamePart("card.mcr", name));
  EXPECT_EQ(name, "untouched");
  EXPECT_TRUE(FileNamePart("/x/y/card.mcr", name));
  EXPECT_EQ(name, "card.mcr");
}

}  // namespace
}  // namespace slk
