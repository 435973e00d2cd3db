#include <gtest/gtest.h>

#include <random>

#include "app/settings.h"
#include "app/startup.h"
#include "fakes.h"
#include "skin/controls.h"

namespace pagerift {
namespace {

using testing::FakeWorld;
using Fields = std::vector<std::string>;

TEST(SettingsReaderTest, SplitsFieldsAsTheFileIsWritten) {
  struct Case {
    std::string text;
    Fields fields;
  } cases[] = {
      {"2\r\n1\r\n0\r\nC:\\Out\r\n", {"2", "1", "0", "C:\\Out"}},
      {"2,1,0,C:\\Out", {"2", "1", "0", "C:\\Out"}},
      {"2,1\n0\rC:\\Out", {"2", "1", "0", "C:\\Out"}},  // LF and lone CR end lines too
      {"\"C:\\A, B\",x", {"C:\\A, B", "x"}},            // quoted comma kept
      {"C:\\A, B", {"C:\\A", "B"}},
      {"\"ab\"cd,e", {"ab", "e"}},                // tail after the quote dropped
      {"  2 ,\t1\t,\" 3 \"", {"2", "1", " 3 "}},  // blanks kept only inside quotes
      {"\"open, to\r\nthe end", {"open, to\r\nthe end"}},
      {"\r\n\r\n", {"", ""}},  // an empty line is one field
      {"a,", {"a", ""}},
      {"a\r\n", {"a"}},
      {"", {}},
      {"1,2,3,4,5,6", {"1", "2", "3", "4"}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadFields(c.text, 4), c.fields) << c.text;
}

TEST(SettingsReaderTest, ConvertsPlainDecimalsRoundingHalfToEven) {
  struct Case {
    std::string text;
    std::optional<int> value;
    std::string separator = ".";
  } cases[] = {
      {"2.5", 2},
      {"3.5", 4},
      {"-0.5", 0},
      {"-2.5", -2},
      {"2.51", 3},
      {"2.49", 2},
      {"+3", 3},
      {"-1", -1},
      {"007", 7},
      {"4.", 4},
      {".6", 1},
      {"32767.4", 32767},
      {"-32768", -32768},
      {"-32768.5", -32768},
      {"32768", std::nullopt},
      {"32767.5", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"1e2", std::nullopt},
      {"0x10", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {".", std::nullopt},
      {" 2", std::nullopt},
      {"2a", std::nullopt},
      {"1,000", std::nullopt},
      {"2,5", 2, ","},
      {"3,5", 4, ","},
      {"2.5", std::nullopt, ","},
      {"1\xD9\xAB"
       "6",
       2, "\xD9\xAB"},  // a separator of more than one byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertPosition(c.text, c.separator), c.value) << c.text << " " << c.separator;
  }
}

// The form after start-up with `ini` as setup.ini (nothing: no file).
Form StartedWith(std::optional<std::string> ini, FakeWorld& w) {
  if (ini) w.fs.files["C:\\Apps\\Pagerift\\setup.ini"] = *ini;
  Form form = MakeMainForm();
  RunStartup(form, w.ports);
  return form;
}

std::string Selected(const Form& form, ControlId list) {
  const Control& c = form[list];
  return c.ListIndex < 0 ? "(none)" : c.List.at(c.ListIndex);
}

TEST(SettingsFileTest, PresetsTheListsAndTheOutputFolder) {
  struct Case {
    std::optional<std::string> ini;
    std::string br, r, channel, path;
  } cases[] = {
      {"2\r\n1\r\n0\r\nD:\\Pages\r\n", "56", "44100", "Mono", "D:\\Pages"},
      {"2,1,0,D:\\Pages", "56", "44100", "Mono", "D:\\Pages"},
      {"3,1,0,\"D:\\a,b\"", "64", "44100", "Mono", "D:\\a,b"},
      {"3,1,0,D:\\a,b", "64", "44100", "Mono", "D:\\a"},
      {"-1,12,1,\"\"", "(none)", "(none)", "Stereo", "C:\\Output"},  // -1 selects nothing
      {"12,7,2,", "(none)", "8000", "(none)", "C:\\Output"},         // 12 and 2 are refused
      {"2\r\n1\r\n0\r\n\r\n", "56", "44100", "Mono", "C:\\Output"},  // empty fourth line
      {"2\r\n1\r\n0\r\n", "56", "44100", "Mono", "C:\\Output"},      // no fourth field at all
      {"x,1.5,y", "(none)", "32000", "(none)", "C:\\Output"},
      // The text box would end the folder at a NUL and show nothing.
      {std::string("1,2,1,\0D:\\Pages", 15), "48", "32000", "Stereo", "C:\\Output"},
      {std::string("1,2,1,D:\\Pa\0ges", 15), "48", "32000", "Stereo", "D:\\Pa"},
      {"", "(none)", "(none)", "(none)", "C:\\Output"},
      {std::nullopt, "(none)", "(none)", "(none)", "C:\\Output"},
  };
  for (const auto& c : cases) {
    FakeWorld w;
    Form form = StartedWith(c.ini, w);
    SCOPED_TRACE(c.ini.value_or("(no file)"));
    EXPECT_EQ(Selected(form, cmbBR), c.br);
    EXPECT_EQ(Selected(form, cmbR), c.r);
    EXPECT_EQ(Selected(form, cmbChannel), c.channel);
    EXPECT_EQ(form[txtPath].Text, c.path);
  }
}

TEST(SettingsFileTest, ReadsTheCodePageUnlessTheFileCarriesAUtf8Mark) {
  FakeWorld w;  // the fake's code page is Latin-1
  EXPECT_EQ(StartedWith("0,0,0,D:\\M\xFC"
                        "ller",
                        w)[txtPath]
                .Text,
            "D:\\M\xC3\xBC"
            "ller");
  FakeWorld w2;
  EXPECT_EQ(StartedWith("\xEF\xBB\xBF"
                        "0,0,0,D:\\M\xC3\xBC"
                        "ller",
                        w2)[txtPath]
                .Text,
            "D:\\M\xC3\xBC"
            "ller");
  FakeWorld w3;
  w3.shell.decimalSeparator = ",";
  EXPECT_EQ(Selected(StartedWith("\"2,5\",\"1,51\"", w3), cmbBR), "56");
  EXPECT_EQ(Selected(StartedWith("\"2,5\",\"1,51\"", w3), cmbR), "32000");
}

TEST(SettingsFileTest, NoInputCrashesOrLeavesAListOutOfRange) {
  std::mt19937 rng(20240607);
  std::vector<std::string> inputs = {
      "\xEF\xBB\xBF" + std::string(10 * 1024 * 1024, 'x'),  // one 10 MB field
      "1,2,\"" + std::string(1024 * 1024, '7'),             // open quote to the end
      std::string("1\0,0\0,\0\0,C:\\\0x", 14),              // NUL bytes
  };
  const char alphabet[] = "0123456789-+.,\"\r\n \t\0e";
  for (int i = 0; i < 1000; ++i) {
    std::string s(rng() % 64, '\0');
    for (char& ch : s) ch = i % 2 ? static_cast<char>(rng()) : alphabet[rng() % (sizeof alphabet)];
    inputs.push_back(s);
  }
  for (const auto& ini : inputs) {
    ASSERT_LE(ReadFields(ini, 4).size(), 4u);
    FakeWorld w;
    Form form = StartedWith(ini, w);
    for (ControlId list : {cmbBR, cmbR, cmbChannel}) {
      const Control& c = form[list];
      ASSERT_GE(c.ListIndex, -1);
      ASSERT_LT(c.ListIndex, static_cast<int>(c.List.size()));
    }
    ASSERT_FALSE(form[txtPath].Text.empty());
  }
}

}  // namespace
}  // namespace pagerift
