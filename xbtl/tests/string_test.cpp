/*
** Tests of XB_String's plain operations, its word splitter and its integer parse.
*/
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "xb_string.h"

TEST(StringBasics, AssignAppendAndBinaryLength) {
  XB_String s(static_cast<const char*>(nullptr));
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_STREQ(s.c_str(), "");
  s = "abc";
  s.Append(static_cast<const char*>(nullptr)).Append("de").Append('f');
  EXPECT_EQ(s, "abcdef");

  XB_String binary("a\0b", 3);
  EXPECT_EQ(binary.Length(), 3u);
  binary.Append(std::string_view("\0c", 2));
  EXPECT_EQ(binary.View(), std::string_view("a\0b\0c", 5));
  EXPECT_EQ(binary.At(99), '\0');
}

TEST(StringBasics, AppendSeparatedOnlyBetweenItems) {
  XB_String list;
  list.AppendSeparated(", ", "a");
  list.AppendSeparated(", ", "b");
  EXPECT_EQ(list, "a, b");
  XB_String empty;
  empty.AppendSeparated(", ", "");
  empty.AppendSeparated(", ", "x");
  EXPECT_EQ(empty, "x");
  XB_String twice(std::string(64, 'y'));
  twice.AppendSeparated(",", twice);
  EXPECT_EQ(twice.Length(), 129u);
}

TEST(StringBasics, TrimRemovesSpaceAndControlCodesOneToThirteen) {
  XB_String s("\t\r\n \x01 word \x0b\x0d");
  EXPECT_EQ(s.Trim(), "word");
  XB_String kept(
      "\x0e"
      "x"
      "\x0e");
  EXPECT_EQ(kept.Trim().Length(), 3u);
  XB_String nul(std::string_view("\0x", 2));
  EXPECT_EQ(nul.Trim().Length(), 2u);
  XB_String blank("   ");
  EXPECT_TRUE(blank.Trim().IsEmpty());
}

TEST(StringBasics, ComparisonCaseRules) {
  XB_String s("Select");
  EXPECT_FALSE(s == "SELECT");
  EXPECT_TRUE(s.EqualsNoCase("sELECT"));
  EXPECT_LT(s.CompareNoCase("selectx"), 0);
  EXPECT_GT(s.CompareNoCase("sel"), 0);
  /* Only ASCII letters fold: Latin-1 A-umlaut and a-umlaut stay different. */
  EXPECT_FALSE(XB_String("\xc4").EqualsNoCase("\xe4"));
  /* Bytes above 127 order after ASCII, not before it. */
  EXPECT_GT(XB_String("\xe4").CompareNoCase("z"), 0);
}

TEST(StringBasics, FindAndBeginsWith) {
  XB_String s("SELECT * FROM t LIMIT 10");
  EXPECT_EQ(s.Find("FROM"), 9);
  EXPECT_EQ(s.Find("from"), -1);
  EXPECT_EQ(s.FindNoCase("limit"), 16);
  EXPECT_EQ(s.Find("T", 10), 20);
  EXPECT_TRUE(s.BeginsWith("SELECT"));
  EXPECT_FALSE(s.BeginsWith("select"));
  EXPECT_TRUE(s.BeginsWithNoCase("select *"));
  EXPECT_FALSE(XB_String("ab").BeginsWith("abc"));
  EXPECT_TRUE(s.EndsWith("10"));
  /* Absent texts (NULL cells) behave as empty ones instead of crashing. */
  const char* absent = nullptr;
  EXPECT_EQ(s.Find(absent), 0);
  EXPECT_TRUE(s.BeginsWith(absent));
  EXPECT_EQ(XB_String().CompareNoCase(absent), 0);
  XB_String list("a");
  list.AppendSeparated(",", absent);
  EXPECT_EQ(list, "a,");
}

TEST(StringBasics, ReplaceAllIsLeftToRightAndDoesNotRescan) {
  XB_String a("aaa");
  EXPECT_EQ(a.ReplaceAll("aa", "b"), 1u);
  EXPECT_EQ(a, "ba");
  XB_String grow("a-a");
  EXPECT_EQ(grow.ReplaceAll("a", "aa"), 2u);
  EXPECT_EQ(grow, "aa-aa");
  XB_String quote("say \"hi\"");
  quote.ReplaceAll("\"", "\"\"");
  EXPECT_EQ(quote, "say \"\"hi\"\"");
  XB_String same("abc");
  EXPECT_EQ(same.ReplaceAll("", "x"), 0u);
  EXPECT_EQ(same, "abc");
}

TEST(StringBasics, ShortenWithDots) {
  EXPECT_EQ(XB_String("abcdefgh").Shorten(5), "abc..");
  EXPECT_EQ(XB_String("abcdefgh").Shorten(4), "abcd");
  EXPECT_EQ(XB_String("abcde").Shorten(5), "abcde");
  EXPECT_EQ(XB_String("abc").Shorten(0), "");
}

TEST(StringBasics, ErrorStateReadsErrorTextUntilReassigned) {
  XB_String s("x");
  s.SetError();
  EXPECT_TRUE(s.IsError());
  EXPECT_STREQ(s.c_str(), "XB_String ERROR");
  s = "fine";
  EXPECT_FALSE(s.IsError());
  s.Format(nullptr);
  EXPECT_TRUE(s.IsError());
}

/* All words of TEXT, as the splitter yields them. */
static std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  XB_String word;
  size_t pos = 0;
  while (pos < text.size()) {
    pos = XB_String::NextWord(text, pos, word);
    if (!word.IsEmpty()) words.emplace_back(word.View());
  }
  return words;
}

TEST(WordSplitter, PlainAndQuotedWords) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Words("  SELECT *\n\tFROM t "), (V{"SELECT", "*", "FROM", "t"}));
  EXPECT_EQ(Words("a 'b c' d"), (V{"a", "'b", "c'", "d"}));
  EXPECT_EQ(Words("x \"a b\" y"), (V{"x", "\"a b\"", "y"}));
  EXPECT_EQ(Words("\"a\\\" b\" c"), (V{"\"a\\\" b\"", "c"}));
  EXPECT_EQ(Words("\"a\"\" b\" c"), (V{"\"a\"\" b\"", "c"}));
  EXPECT_EQ(Words("\"open to end"), (V{"\"open to end"}));
  EXPECT_EQ(Words("\"\" x"), (V{"\"\"", "x"}));
  EXPECT_TRUE(Words(" \t\r\n").empty());
}

TEST(WordSplitter, ConsumesExactlyOneEndingWhitespace) {
  XB_String word;
  std::string_view text = "LIMIT  10";
  size_t pos = XB_String::NextWord(text, 0, word);
  EXPECT_EQ(word, "LIMIT");
  EXPECT_EQ(pos, 6u);
  XB_String rest("--state \"my file.dvxs\"");
  ASSERT_TRUE(rest.TakeWord(word));
  EXPECT_EQ(word, "--state");
  EXPECT_EQ(rest, "\"my file.dvxs\"");
  ASSERT_TRUE(rest.TakeWord(word));
  EXPECT_FALSE(rest.TakeWord(word));
}

TEST(IntegerParse, DecimalForms) {
  EXPECT_EQ(XB_String::ParseInt(static_cast<const char*>(nullptr)), 0);
  EXPECT_EQ(XB_String::ParseInt("   42abc"), 42);
  EXPECT_EQ(XB_String::ParseInt("-17"), -17);
  EXPECT_EQ(XB_String::ParseInt("+8"), 8);
  EXPECT_EQ(XB_String::ParseInt("LIMIT"), 0);
  EXPECT_EQ(XB_String::ParseInt("\t5"), 0);
  /* Only the first 12 characters, sign included, are read. */
  EXPECT_EQ(XB_String::ParseInt("0000000000012345"), 1);
  EXPECT_EQ(XB_String::ParseInt("-00000000001234"), -1);
  EXPECT_EQ(XB_String("2147483647").ToInt(), INT32_MAX);
  EXPECT_EQ(XB_String("-2147483648").ToInt(), INT32_MIN);
}

TEST(IntegerParse, OutOfRangeDecimalSaturatesInsteadOfWrapping) {
  EXPECT_EQ(XB_String::ParseInt("4294967297"), INT32_MAX);
  EXPECT_EQ(XB_String::ParseInt("99999999999"), INT32_MAX);
  EXPECT_EQ(XB_String::ParseInt("-99999999999"), INT32_MIN);
}

TEST(IntegerParse, HexadecimalForms) {
  EXPECT_EQ(XB_String::ParseInt("0x1F"), 31);
  EXPECT_EQ(XB_String::ParseInt(" 0Xff"), 255);
  EXPECT_EQ(XB_String::ParseInt("#a0"), 160);
  EXPECT_EQ(XB_String::ParseInt("0xFFFFFFFF"), -1);
  EXPECT_EQ(XB_String::ParseInt("0x123456789"), 0x12345678);
  EXPECT_EQ(XB_String::ParseInt("0x12g4"), 0x12);
  /* "0x" alone is too short to be hexadecimal and has a decimal 0. */
  EXPECT_EQ(XB_String::ParseInt("0x"), 0);
  EXPECT_EQ(XB_String::ParseInt("#"), 0);
}
