#include "core/text.h"

#include <gtest/gtest.h>

namespace pagerift {
namespace {

TEST(PathText, DriveRootsKeepTheirOneBackslash) {
  EXPECT_EQ(InFolder("C:\\", "setup.ini"), "C:\\setup.ini");
  EXPECT_EQ(InFolder("C:\\Apps", "data\\pdftk.exe"), "C:\\Apps\\data\\pdftk.exe");
  EXPECT_EQ(ParentFolder("C:\\Pagerift.exe"), "C:\\");
  EXPECT_EQ(ParentFolder("C:\\Program Files\\Pagerift\\Pagerift.exe"),
            "C:\\Program Files\\Pagerift");
  EXPECT_EQ(ParentFolder("\\\\server\\share\\Pagerift.exe"), "\\\\server\\share");
  EXPECT_EQ(ParentFolder("Pagerift.exe"), "");
  EXPECT_EQ(WithTrailingBackslash(""), "\\");
  EXPECT_EQ(WithTrailingBackslash("D:\\Out\\"), "D:\\Out\\");
}

TEST(Utf16Text, RoundTripsEveryPlaneAndReplacesWhatIsNotText) {
  const std::string mixed =
      "Z:\\Отчёт 2026 — 季度 \xF0\x9F\x98\x80.pdf";  // an emoji needs a surrogate pair
  const std::u16string wide = Utf8ToUtf16(mixed);
  EXPECT_EQ(wide, u"Z:\\Отчёт 2026 — 季度 \U0001F600.pdf");
  EXPECT_EQ(Utf16ToUtf8(wide), mixed);

  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b"),
            u"a\uFFFDb");                               // a byte that never starts text
  EXPECT_EQ(Utf8ToUtf16("a\xE2\x82"), u"a\uFFFD");      // cut short
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");    // a surrogate spelt in UTF-8
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD83D') + u"x"), "\xEF\xBF\xBDx");  // a lone surrogate
}

TEST(Utf8Text, CountsAndCutsByCodePoint) {
  const std::string text = "Отчёт 😀!";
  EXPECT_EQ(Utf8Length(text), 8u);
  EXPECT_EQ(text.substr(0, Utf8Offset(text, 7)), "Отчёт 😀");
  EXPECT_EQ(Utf8Offset(text, 50), text.size());
}

}  // namespace
}  // namespace pagerift
