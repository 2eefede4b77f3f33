/*
** Tests of XB_String formatting: the printf-like directives, the library's
** own directives, and the handling of missing and mistyped arguments.
*/
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "xb_testsupport.h"
#include "xb_string.h"
#include "xb_time.h"

template <class... A>
static std::string F(const char* format, const A&... args) {
  return std::string(XB_String::Formatted(format, args...).View());
}

TEST(FormatIntegers, DecimalWidthGivesExactDigitCount) {
  EXPECT_EQ(F("%3d", 5), "005");
  EXPECT_EQ(F("%2d", 123), "23");
  EXPECT_EQ(F("%d", -42), "-42");
  EXPECT_EQ(F("%3d", -5), "-005");
  EXPECT_EQ(F("%-5d|% 5d|%05d", 7, 7, 7), "00007|00007|00007");
  EXPECT_EQ(F("%04d-%02d-%02d", 2004, 2, 3), "2004-02-03");
  EXPECT_EQ(F("%d", INT_MIN), "-2147483648");
  EXPECT_EQ(F("%d", LLONG_MIN), "-9223372036854775808");
  EXPECT_EQ(F("%u", ULLONG_MAX), "18446744073709551615");
  EXPECT_EQ(F("%u", -3), "-3");
}

TEST(FormatIntegers, HexUsesTheArgumentsOwnWidth) {
  EXPECT_EQ(F("%x", 255), "FF");
  EXPECT_EQ(F("%08X", 0xBEEF), "0000BEEF");
  EXPECT_EQ(F("%x", -1), "FFFFFFFF");
  EXPECT_EQ(F("%x", static_cast<short>(-1)), "FFFF");
  EXPECT_EQ(F("%x", -1LL), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(F("%2x", 0x12345), "12345");
}

TEST(FormatIntegers, GroupedDecimal) {
  EXPECT_EQ(F("%D", 1234567), "1.234.567");
  EXPECT_EQ(F("%D", -1000), "-1.000");
  EXPECT_EQ(F("%D", 0), "0");
  EXPECT_EQ(F("%D", 999), "999");
  EXPECT_EQ(F("%D", INT_MIN), "-2.147.483.648");
  EXPECT_EQ(F("[%8D]", 12345), "[  12.345]");
  EXPECT_EQ(F("[%-8D]", -12345), "[-12.345 ]");
}

TEST(FormatIntegers, CharacterAndPercent) {
  EXPECT_EQ(F("%c%c%%", 'a', 66), "aB%");
  EXPECT_EQ(F("%c", '\xe4'), "\xe4");
  EXPECT_EQ(F("100%%"), "100%");
}

TEST(FormatDouble, FixedPointRoundsHalfUp) {
  EXPECT_EQ(F("%.2f", 0.125), "0.13");
  EXPECT_EQ(F("%.0f", 0.5), "1");
  EXPECT_EQ(F("%.0f", 2.5), "3");
  EXPECT_EQ(F("%.1f", 99.95), "100.0"); /* 99.95 is stored a hair above */
  /* 2.675 is stored a hair below, so it stays 2.67. */
  EXPECT_EQ(F("%.2f", 2.675), "2.67");
  EXPECT_EQ(F("%.2f", 9.999), "10.00");
  EXPECT_EQ(F("%f", 3.14159), "3.141590");
  EXPECT_EQ(F("%.3f", -1.0005), "-1.000");
  EXPECT_EQ(F("%.2f", -0.001), "0.00");
  EXPECT_EQ(F("%.1f", 1e20), "100000000000000000000.0");
  EXPECT_EQ(F("%.40f", 0.5).size(), 34u); /* at most 32 decimals */
  EXPECT_EQ(F("%.2f", 5), "5.00");
}

TEST(FormatDouble, SignAndPadding) {
  EXPECT_EQ(F("%+.1f", 2.0), "+2.0");
  EXPECT_EQ(F("%+.1f", -2.0), "-2.0");
  EXPECT_EQ(F("[%7.2f]", -1.5), "[  -1.50]");
  EXPECT_EQ(F("[%07.2f]", -1.5), "[-001.50]");
  EXPECT_EQ(F("[%-7.2f]", 1.5), "[1.50   ]");
  EXPECT_EQ(F("%.1f%% ", 12.25), "12.3% ");
}

TEST(FormatText, WidthCutsAndPads) {
  EXPECT_EQ(F("%5s", "abcdefgh"), "abc..");
  EXPECT_EQ(F("%4s", "abcdefgh"), "abcd");
  EXPECT_EQ(F("[%-6s]", "ab"), "[ab    ]");
  EXPECT_EQ(F("[%6s]", "ab"), "[    ab]");
  EXPECT_EQ(F("[%s]", static_cast<const char*>(nullptr)), "[]");
  EXPECT_EQ(F("[%3s]", static_cast<const char*>(nullptr)), "[   ]");
  EXPECT_EQ(F("%.2s", "abc"), "ab");
  XB_String binary("a\0b", 3);
  EXPECT_EQ(F("%s|%V", binary, binary), std::string("a\0b|a\0b", 7));
  EXPECT_EQ(F("%s %s", std::string("std"), std::string_view("view")), "std view");
}

TEST(FormatText, ConvertingDirective) {
  EXPECT_EQ(F("%Sh", "a<b&c"), "a&lt;b&amp;c");
  EXPECT_EQ(F("%Sc", "it's\n"), "it\\'s\\n");
  EXPECT_EQ(F("%Sf", "a b&c"), "a%20b%26c");
  EXPECT_EQ(F("[%Sq]", ""), "[]");
  EXPECT_EQ(F("%Sq", "\""), "\"\"\"\"");
  EXPECT_EQ(F("%Sq", "a b"), "\"a b\"");
  /* The width cuts but does not pad; the cut happens before escaping. */
  EXPECT_EQ(F("[%6Sh]", "<<<<<<<<"), "[&lt;&lt;&lt;&lt;..]");
  EXPECT_EQ(F("[%8Sq]", "ab"), "[\"ab\"]");
  /* Another letter inserts the text unconverted and is not written. */
  EXPECT_EQ(F("%Sz!", "a&b"), "a&b!");
  EXPECT_EQ(F("x%S", "tail"), "xtail");
}

TEST(FormatTime, DurationClockAndStamps) {
  EXPECT_EQ(F("%Ts", 60), "1m 0s");
  EXPECT_EQ(F("%TS", 59), "59s");
  EXPECT_EQ(F("%Tx", 3600), "01:00:00");
  EXPECT_EQ(F("%Tx", 3599), "   59:59");
  EXPECT_EQ(F("[%Tl][%t][%Tm]", 0, 0, -5), "[][][]");
  XB_ScopedEnv utc("TZ", "UTC");
  EXPECT_EQ(F("%Tm", 1009839600 + 3600), "01.01.2002 00:00:00");
  EXPECT_EQ(F("%Tl", 3600 + 61), "01.01.2002 00:01:01");
  /* 3 February 2004, 14:05 UTC: today only the time shows, in another
  ** year the whole date. */
  int64_t stamp = XB_TimeFromUnix(1075817100);
  XB_FixedClock today(stamp + 60);
  EXPECT_EQ(F("%t", stamp), "14:05");
  EXPECT_EQ(F("%Tq", stamp), "14:05");
  EXPECT_EQ(F("%T", stamp), "14:05");
  EXPECT_EQ(F("%t", stamp - 400 * 86400), "30.12.2002 14:05");
}

TEST(FormatArguments, MismatchAndMissingProduceNothingAndAreLogged) {
  XB_LogCapture log;
  EXPECT_EQ(F("[%d]", "text"), "[]");
  EXPECT_EQ(F("[%s]", 42), "[]");
  EXPECT_EQ(F("[%D]", 1.5), "[]");
  ASSERT_EQ(log.Texts().size(), 3u);
  EXPECT_EQ(log.Texts()[0].rfind("E_ ", 0), 0u);
  log.Texts().clear();
  /* The second %d has no argument; the text after it is still written. */
  EXPECT_EQ(F("%d,%d,%s", 1), "1,,");
  EXPECT_EQ(log.Texts().size(), 2u);
  log.Texts().clear();
  /* A mistyped argument is still used up by its directive. */
  EXPECT_EQ(F("%d %s", "a", "b"), " b");
  /* Surplus arguments are never read and not an error. */
  log.Texts().clear();
  EXPECT_EQ(F("plain", 1, "x"), "plain");
  EXPECT_TRUE(log.Texts().empty());
}

TEST(FormatArguments, UnknownLettersAndIncompleteDirectives) {
  XB_LogCapture log;
  /* An unknown letter produces nothing and uses no argument. */
  EXPECT_EQ(F("%q%d", 7), "7");
  EXPECT_EQ(F("%ld", 7), "d");
  EXPECT_EQ(log.Texts().size(), 2u);
  EXPECT_EQ(F("abc%"), "abc");
  EXPECT_EQ(F("abc%-08"), "abc");
}

TEST(FormatArguments, FormatReplacesAndAppendFormatAppends) {
  XB_String s("old");
  s.AppendFormat("+%d", 1);
  EXPECT_EQ(s, "old+1");
  s.Format("%s", "new");
  EXPECT_EQ(s, "new");
  /* A user's text passed as an argument is never interpreted. */
  s.Format("%s", "100% %d %s");
  EXPECT_EQ(s, "100% %d %s");
  /* The core takes captured records, as forwarding callers use it. */
  XB_FormatArg args[] = {XB_FormatArg(3), XB_FormatArg("x")};
  s.FormatArgs("%d%s", args, 2);
  EXPECT_EQ(s, "3x");
}

TEST(FormatArguments, OwnTextAsArgumentOrFormat) {
  XB_String s("abc");
  s.Format("(%s)", s);
  EXPECT_EQ(s, "(abc)");
  XB_String grown(std::string(100, 'x'));
  grown.AppendFormat("%s|%V", grown, grown);
  EXPECT_EQ(grown.Length(), 301u);
  EXPECT_EQ(grown.Mid(100, 2), "xx");
  XB_String self("%d-%d");
  self.Format(self.c_str(), 1, 2);
  EXPECT_EQ(self, "1-2");
}
