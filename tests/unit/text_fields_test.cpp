#include "setup/text_fields.h"

#include <gtest/gtest.h>

#include "encoding.h"

namespace {

using testing_encoding::U16;
using testing_encoding::U8;

TEST(FolderPart, SplitsAtTheLastBackslashOrColon) {
  struct Case {
    std::string path;
    std::string folder;
    std::string file;
  };
  const Case cases[] = {
      {"C:\\Program Files\\Internet Explorer\\iexplore.exe",
       "C:\\Program Files\\Internet Explorer\\", "iexplore.exe"},
      {"C:\\表\\ソフト.exe", "C:\\表\\", "ソフト.exe"},  // 0x5C trail bytes in code page 932
      {"C:\\a\\表", "C:\\a\\", "表"},
      {"C:\\a\\ソ:x", "C:\\a\\ソ:", "x"},
      {"C:\\브라우저\\𠮷.exe", "C:\\브라우저\\", "𠮷.exe"},  // outside 932; a surrogate pair
      {"C:x.exe", "C:", "x.exe"},
      {"x.exe", "", "x.exe"},
      {"", "", ""},
      {"C:\\dir\\", "C:\\dir\\", ""},
  };
  for (std::size_t row = 0; row < std::size(cases); ++row) {
    SCOPED_TRACE("row " + std::to_string(row));
    EXPECT_EQ(cases[row].folder, U8(setup::FolderPart(U16(cases[row].path))));
    EXPECT_EQ(cases[row].file, U8(setup::FileNamePart(U16(cases[row].path))));
  }
}

TEST(FillFields, FillsEachConversionInOrder) {
  EXPECT_EQ(u"a=1 b=two c=0000000F d=",
            setup::FillFields(u"a=%s b=%s c=%p d=%.8x", {u"1", u"two", u"0000000F"}));
  EXPECT_EQ(u"100% sure", setup::FillFields(u"%s%% sure", {u"100"}));
  EXPECT_EQ(u"'Desktop' のデータ型", setup::FillFields(u"'%s' のデータ型", {u"Desktop"}));
  // A conversion past the last field is dropped, not read past the list.
  EXPECT_EQ(u"x= y=", setup::FillFields(u"x=%s y=%s", {}));
}

TEST(UpperHex, PadsToTheWidthAndUsesCapitals) {
  EXPECT_EQ(u"80040154", setup::UpperHex(0x80040154u, 8));
  EXPECT_EQ(u"0040A1B5", setup::UpperHex(0x40a1b5u, 8));
  EXPECT_EQ(u"00000000", setup::UpperHex(0, 8));
  EXPECT_EQ(u"7FFF12345678", setup::UpperHex(0x7fff12345678ull, 8));
}

TEST(WidenAscii, KeepsAsciiAndMarksEverythingElse) {
  EXPECT_EQ(u"std::bad_alloc", setup::WidenAscii("std::bad_alloc"));
  EXPECT_EQ(u"a\uFFFD\uFFFDb", setup::WidenAscii("a\x82\xa0" "b"));
}

}  // namespace
