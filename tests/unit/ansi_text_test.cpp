#include "setup/ansi_text.h"

#include <gtest/gtest.h>

#include "encoding.h"

namespace {

using testing_encoding::Sjis;

TEST(FolderPart, SplitsAtTheLastSeparatorThatIsACharacterOfItsOwn) {
  struct Case {
    std::string path;
    std::string folder;
    std::string file;
  };
  const Case cases[] = {
      {"C:\\Program Files\\Internet Explorer\\iexplore.exe",
       "C:\\Program Files\\Internet Explorer\\", "iexplore.exe"},
      {Sjis("C:\\表\\ソフト.exe"), Sjis("C:\\表\\"), Sjis("ソフト.exe")},
      {Sjis("C:\\a\\表"), "C:\\a\\", Sjis("表")},     // the last byte is 0x5C
      {Sjis("C:\\a\\ソ:x"), Sjis("C:\\a\\ソ:"), "x"},  // a real colon after 0x5C
      {"C:x.exe", "C:", "x.exe"},
      {"x.exe", "", "x.exe"},
      {"", "", ""},
      {"C:\\dir\\", "C:\\dir\\", ""},
      {std::string("C:\\a\\\x95", 6), "C:\\a\\", "\x95"},  // a lone lead byte at the end
  };
  const setup::LeadBytes lead = setup::Cp932LeadBytes();
  for (std::size_t row = 0; row < std::size(cases); ++row) {
    SCOPED_TRACE("row " + std::to_string(row));
    EXPECT_EQ(cases[row].folder, setup::FolderPart(cases[row].path, lead));
    EXPECT_EQ(cases[row].file, setup::FileNamePart(cases[row].path, lead));
  }
}

TEST(FolderPart, WithoutLeadBytesEveryBackslashCounts) {
  EXPECT_EQ("C:\\\x95\\", setup::FolderPart("C:\\\x95\\x.exe", setup::LeadBytes()));
}

TEST(Cp932LeadBytes, MatchTheCodePage) {
  const setup::LeadBytes lead = setup::Cp932LeadBytes();
  for (int b : {0x81, 0x9F, 0xE0, 0xFC}) EXPECT_TRUE(lead[b]) << b;
  for (int b : {0x00, 0x5C, 0x80, 0xA0, 0xDF, 0xFD, 0xFF}) EXPECT_FALSE(lead[b]) << b;
}

TEST(FillFields, FillsEachConversionInOrder) {
  EXPECT_EQ("a=1 b=two c=0000000F d=", setup::FillFields("a=%s b=%s c=%p d=%.8x", {"1", "two", "0000000F"}));
  EXPECT_EQ("100% sure", setup::FillFields("%s%% sure", {"100"}));
  EXPECT_EQ(Sjis("'Desktop' のデータ型"), setup::FillFields(Sjis("'%s' のデータ型"), {"Desktop"}));
}

TEST(UpperHex, PadsToTheWidthAndUsesCapitals) {
  EXPECT_EQ("80040154", setup::UpperHex(0x80040154u, 8));
  EXPECT_EQ("0040A1B5", setup::UpperHex(0x40a1b5u, 8));
  EXPECT_EQ("00000000", setup::UpperHex(0, 8));
  EXPECT_EQ("7FFF12345678", setup::UpperHex(0x7fff12345678ull, 8));
}

}  // namespace
