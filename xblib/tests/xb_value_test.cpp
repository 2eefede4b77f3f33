/*
** Tests of XB_Value: reading values from text, their display and stored
** texts, the round trip through the stored text, and the integer reading.
*/
#include <gtest/gtest.h>

#include "xb_time.h"
#include "xb_value.h"

TEST(XBValueFromText, PicksTheKindByTheFirstMatchingRule) {
  struct Case {
    const char* text;
    uint16_t kind;
    int32_t number;
  };
  const Case cases[] = {
      {"  42", VK_INT, 42},    {"0x1F", VK_INT, 31},           {"-7", VK_INT, -7},
      {"#1F", VK_HASH, 31},    {"#ff00ff", VK_HASH, 0xFF00FF}, {"true", VK_BOOL, 1},
      {"false", VK_BOOL, 0},   {"12abc", VK_INT, 12},          {"", VK_INT, 0},
      {"\t\n+15", VK_INT, 15},
  };
  for (const Case& c : cases) {
    XB_Value v = XB_Value::FromText(c.text);
    EXPECT_EQ(v.Kind(), c.kind) << c.text;
    EXPECT_EQ(v.Number(), c.number) << c.text;
  }
}

TEST(XBValueFromText, TextRangeAndReal) {
  XB_Value range = XB_Value::FromText("1..9");
  EXPECT_EQ(range.Kind(), VK_RANGE);
  EXPECT_EQ(range.RangeFirst(), 1);
  EXPECT_EQ(range.RangeSecond(), 9);
  XB_Value negative = XB_Value::FromText("-5..-2");
  EXPECT_EQ(negative.RangeFirst(), -5);
  EXPECT_EQ(negative.RangeSecond(), -2);

  XB_Value real = XB_Value::FromText("3.5");
  EXPECT_EQ(real.Kind(), VK_REAL);
  EXPECT_DOUBLE_EQ(real.Real(), 3.5);
  EXPECT_DOUBLE_EQ(XB_Value::FromText("-1.25e2").Real(), -125.0);

  EXPECT_EQ(XB_Value::FromText("abc").Kind(), VK_TEXT);
  XB_Value capital = XB_Value::FromText("True");
  EXPECT_EQ(capital.Kind(), VK_TEXT);
  EXPECT_EQ(capital.AsText(), "True");
  EXPECT_EQ(XB_Value::FromText("\"x y\"").AsText(), "x y");
  EXPECT_EQ(XB_Value::FromText("\"\"").AsText(), "");
  EXPECT_EQ(XB_Value::FromText("\"ab").AsText(), "ab");
  /* A word that holds dots stays a word instead of becoming 0.000. */
  XB_Value host = XB_Value::FromText("www.example.com");
  EXPECT_EQ(host.Kind(), VK_TEXT);
  EXPECT_EQ(host.AsText(), "www.example.com");
}

TEST(XBValueText, DisplayTextOfEachKind) {
  EXPECT_EQ(XB_Value(12.5).AsText(), "12.500");
  EXPECT_EQ(XB_Value(0.1).AsText(), "0.100");
  EXPECT_EQ(XB_Value(-2.0).AsText(), "-2.000");
  EXPECT_EQ(XB_Value::FromNumber(VK_HASH, 0xAB).AsText(), "#AB");
  EXPECT_EQ(XB_Value(true).AsText(), "true");
  EXPECT_EQ(XB_Value(false).AsText(), "false");
  EXPECT_EQ(XB_Value::FromNumber(VK_HEX, -3).AsText(), "-3");
  EXPECT_EQ(XB_Value::Range(-1, 7).AsText(), "-1..7");
  EXPECT_EQ(XB_Value().AsText(), "(null)");
  EXPECT_EQ(XB_Value::FromNumber(VK_DATETIME, 0).AsText(), "");
  /* Date-times show the time alone today and the full date in another year. */
  auto now = static_cast<int32_t>(XB_TimeNow());
  EXPECT_EQ(XB_Value::FromNumber(VK_DATETIME, now).AsText().Length(), 5u);
  XB_String longAgo = XB_Value::FromNumber(VK_DATETIME, 86400 * 40).AsText();
  EXPECT_EQ(longAgo.Length(), 16u) << longAgo.c_str();
  EXPECT_TRUE(longAgo.Contains(".2002 ")) << longAgo.c_str();
  /* The cached display text never turns a number into a text kind. */
  XB_Value cached(7);
  EXPECT_EQ(cached.AsText(), "7");
  EXPECT_EQ(cached.Kind(), VK_INT);
  EXPECT_FALSE(cached.IsText());
}

TEST(XBValueText, StoredTextReadsBackAsTheSameValue) {
  const XB_Value values[] = {XB_Value("x \"y\""),
                             XB_Value(true),
                             XB_Value(false),
                             XB_Value(-123),
                             XB_Value(0.5),
                             XB_Value::Range(3, 300),
                             XB_Value::FromNumber(VK_HASH, 0x1234ABCD),
                             XB_Value("")};
  for (const XB_Value& v : values) {
    XB_Value back = XB_Value::FromText(v.StoredText().View());
    EXPECT_TRUE(back == v) << v.StoredText().c_str();
  }
  EXPECT_EQ(XB_Value(0.1234).StoredText(), "0.123");
  EXPECT_EQ(XB_Value(255).StoredText(true), "0xFF");
  XB_Value hex = XB_Value::FromNumber(VK_HEX, 255);
  EXPECT_EQ(hex.StoredText(), "0xFF");
  XB_Value hexBack = XB_Value::FromText(hex.StoredText().View());
  EXPECT_EQ(hexBack.Kind(), VK_INT);
  EXPECT_EQ(hexBack.Number(), 255);
  EXPECT_EQ(XB_Value::FromNumber(VK_DATETIME, 0).StoredText(), "(null)");
}

TEST(XBValueInt, IntegerReadingOfEachKind) {
  EXPECT_EQ(XB_Value(2.5).AsInt(), 3);
  EXPECT_EQ(XB_Value(-2.5).AsInt(), -3);
  EXPECT_EQ(XB_Value(1e12).AsInt(), INT32_MAX);
  EXPECT_EQ(XB_Value().AsInt(), 0);
  EXPECT_EQ(XB_Value(" 42 ").AsInt(), 42);
  EXPECT_EQ(XB_Value("-5").AsInt(), -5);
  EXPECT_EQ(XB_Value("4x").AsInt(), 0);

  XB_Value yes("TRUE");
  EXPECT_EQ(yes.AsInt(), 1);
  EXPECT_EQ(yes.Kind(), VK_BOOL);
  EXPECT_EQ(yes.AsText(), "true");
  XB_Value colour("#ff");
  EXPECT_EQ(colour.AsInt(), 255);
  EXPECT_EQ(colour.Kind(), VK_HASH);
  XB_Value plain("12");
  EXPECT_EQ(plain.AsInt(), 12);
  EXPECT_EQ(plain.Kind(), VK_TEXT);
}
