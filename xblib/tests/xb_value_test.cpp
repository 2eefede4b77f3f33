/*
** Tests of XB_Value: reading values from text, their display and stored
** texts, the round trip through the stored text, and the integer reading.
*/
#include <gtest/gtest.h>

#include "xb_testsupport.h"
#include "xb_time.h"
#include "xb_value.h"
#include "xb_valuetextcases.h"

TEST(XBValueFromText, TheSharedTableOfTexts) {
  for (const XB_ValueTextCase& c : kValueTextCases) {
    XB_Value v = XB_Value::FromText(c.text);
    EXPECT_EQ(v.Kind(), c.kind) << c.text;
    EXPECT_EQ(v.AsText(), c.display) << c.text;
  }
  XB_Value range = XB_Value::FromText("-5..-2");
  EXPECT_EQ(range.RangeFirst(), -5);
  EXPECT_EQ(range.RangeSecond(), -2);
  EXPECT_DOUBLE_EQ(XB_Value::FromText("-1.25e2").Real(), -125.0);
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
  /* Date-times show the time alone today and the full date in another year
  ** (3 February 2004, 14:05 UTC). */
  XB_ScopedEnv utc("TZ", "UTC");
  auto stamp = static_cast<int32_t>(XB_TimeFromUnix(1075817100));
  XB_FixedClock today(stamp + 60);
  EXPECT_EQ(XB_Value::FromNumber(VK_DATETIME, stamp).AsText(), "14:05");
  EXPECT_EQ(XB_Value::FromNumber(VK_DATETIME, 86400 * 40).AsText(), "09.02.2002 23:00");
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
