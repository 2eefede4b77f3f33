/*
** Tests of the shared text conversions: escaping, quoting, durations, the
** clock form, time stamps and byte sizes.
*/
#include <gtest/gtest.h>

#include "xb_testsupport.h"

#include <cstdlib>

#include "xb_textconv.h"
#include "xb_time.h"

TEST(Escaping, HtmlEscapesEachSpecialCharacterOnce) {
  EXPECT_EQ(XB_HtmlEscape("a<b&c"), "a&lt;b&amp;c");
  EXPECT_EQ(XB_HtmlEscape("&lt;"), "&amp;lt;");
  EXPECT_EQ(XB_HtmlEscape("M\xfcller's"), "M&uuml;ller&#x27;s");
  EXPECT_EQ(XB_HtmlEscape("\"x\"", XB_QUOTE_ENTITY), "&quot;x&quot;");
  EXPECT_EQ(XB_HtmlEscape("it's \"q\"", XB_QUOTE_BACKSLASH), "it\\'s \\\"q\\\"");
  EXPECT_EQ(XB_HtmlEscape("`\xb0\xdf\xc7\xe7\xb2"), "&#145;&deg;&szlig;&Ccedil;&ccedil;&sup2;");
  /* Latin-1 letters outside the table pass through untouched. */
  EXPECT_EQ(XB_HtmlEscape("\xf1\xff"), "\xf1\xff");
}

TEST(Escaping, XmlEscapesOnlyMarkup) {
  EXPECT_EQ(XB_XmlEscape("<a href=\"x\">&amp;'</a>"), "&lt;a href=\"x\"&gt;&amp;amp;'&lt;/a&gt;");
  EXPECT_EQ(XB_XmlEscape("\xe4\xf6"), "\xe4\xf6");
}

TEST(Escaping, CEscapeDoublesBackslashesFirst) {
  EXPECT_EQ(XB_CEscape("\\'"), "\\\\\\'");
  EXPECT_EQ(XB_CEscape("a\tb\nc\"d"), "a\\tb\\nc\\\"d");
  EXPECT_EQ(XB_CEscape("\r"), "\r");
}

TEST(Escaping, UrlEscape) {
  EXPECT_EQ(XB_UrlEscape("http://x.org/a_b-c.html"), "http://x.org/a_b-c.html");
  EXPECT_EQ(XB_UrlEscape("C:\\dir\\a b"), "C:/dir/a%20b");
  EXPECT_EQ(XB_UrlEscape("100%&\xe4~"), "100%25%26%E4%7E");
}

TEST(Escaping, QuoteDoublesInnerQuotesAndLeavesEmptyEmpty) {
  EXPECT_EQ(XB_Quote(""), "");
  EXPECT_EQ(XB_Quote("\""), "\"\"\"\"");
  EXPECT_EQ(XB_Quote("a,\"b\""), "\"a,\"\"b\"\"\"");
  /* An absent text (a NULL cell) converts like an empty one. */
  const char* absent = nullptr;
  EXPECT_EQ(XB_Quote(absent), "");
  EXPECT_EQ(XB_HtmlEscape(absent, XB_QUOTE_BACKSLASH), "");
}

TEST(Durations, EachRangeAndItsBoundaries) {
  EXPECT_EQ(XB_Duration(0), "0s");
  EXPECT_EQ(XB_Duration(59), "59s");
  EXPECT_EQ(XB_Duration(60), "1m 0s");
  EXPECT_EQ(XB_Duration(3599), "59m59s");
  EXPECT_EQ(XB_Duration(3600), "1h 0m");
  EXPECT_EQ(XB_Duration(5999), "1h40m");
  /* Rounding of the smaller unit does not carry into the larger one. */
  EXPECT_EQ(XB_Duration(7170), "1h 0m");
  EXPECT_EQ(XB_Duration(86400), "1d 0h");
  EXPECT_EQ(XB_Duration(8553600), "99d 0h");
  EXPECT_EQ(XB_Duration(8553601), "14w 1d");
  EXPECT_EQ(XB_Duration(59875200), "99w 0d");
  EXPECT_EQ(XB_Duration(59875201), "99w");
  EXPECT_EQ(XB_Duration(215308800), "356w");
}

TEST(Durations, YearsFormCountsWholeDays) {
  /* Years of 365 days; the second number is a real day count below 365. */
  EXPECT_EQ(XB_Duration(215308801), "6y302d");
  EXPECT_EQ(XB_Duration(7u * 31536000u + 86400u * 5u), "7y 5d");
  EXPECT_EQ(XB_Duration(UINT32_MAX), "136y70d");
}

TEST(ClockForm, HoursOnlyFromOneHour) {
  EXPECT_EQ(XB_ClockTime(3600), "01:00:00");
  EXPECT_EQ(XB_ClockTime(3601), "01:00:01");
  EXPECT_EQ(XB_ClockTime(3599), "   59:59");
  EXPECT_EQ(XB_ClockTime(59), "   00:59");
  EXPECT_EQ(XB_ClockTime(100 * 3600 + 5), "100:00:05");
}

TEST(TimeStamps, CompactFormDependsOnToday) {
  XB_ScopedEnv utc("TZ", "UTC");
  /* 3 February 2004, 14:05 UTC. */
  int64_t stamp = XB_TimeFromUnix(1075817100);
  XB_String out;
  XB_AppendTimeStamp(out, stamp, stamp + 60);
  EXPECT_EQ(out, "14:05");
  out.Clear();
  XB_AppendTimeStamp(out, stamp, stamp + 30 * 86400);
  EXPECT_EQ(out, "03.02. 14:05");
  out.Clear();
  XB_AppendTimeStamp(out, stamp, stamp + 400 * 86400);
  EXPECT_EQ(out, "03.02.2004 14:05");
  out.Clear();
  XB_AppendTimeStamp(out, 0, stamp);
  EXPECT_TRUE(out.IsEmpty());
  EXPECT_EQ(XB_LongTimeXB(stamp), "03.02.2004 14:05:00");
  EXPECT_TRUE(XB_LongTimeXB(0).IsEmpty());
}

TEST(ByteSizes, EachRangeAndItsBoundaries) {
  EXPECT_EQ(XB_ByteSize(999), "999");
  EXPECT_EQ(XB_ByteSize(1000), "0.98K");
  EXPECT_EQ(XB_ByteSize(10239), "10.00K");
  EXPECT_EQ(XB_ByteSize(10240), "10.0K");
  EXPECT_EQ(XB_ByteSize(102400), "100K");
  EXPECT_EQ(XB_ByteSize(1023999), "1000K");
  EXPECT_EQ(XB_ByteSize(1024000), "0.98M");
  EXPECT_EQ(XB_ByteSize(10485760), "10.0M");
  EXPECT_EQ(XB_ByteSize(104857600), "100M");
  EXPECT_EQ(XB_ByteSize(1048576000), "0.98G");
  EXPECT_EQ(XB_ByteSize(UINT32_MAX), "4.00G");
  EXPECT_EQ(XB_TransferRate(2048), "2.00KBps ");
  EXPECT_EQ(XB_Share(50), "50.0% ");
}

TEST(Grouping, DigitGroups) {
  EXPECT_EQ(XB_Grouped(1234567890123LL), "1.234.567.890.123");
  EXPECT_EQ(XB_Grouped(-100), "-100");
}
