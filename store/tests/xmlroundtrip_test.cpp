/*
** Writes documents with XmlWriter and reads them back with XmlReader: the
** exact layout of the writer, texts that need escaping, Latin-1 bytes, long
** texts that wrap, empty elements, comments and every attribute getter.
*/
#include <gtest/gtest.h>

#include "xb_testsupport.h"
#include "xmlreader.h"
#include "xmlwriter.h"

#include <ctime>
#include <sstream>

/* Returns local midnight of the given day. */
static time_t LocalMidnight(int day, int month, int year) {
  struct tm fields = {};
  fields.tm_mday = day;
  fields.tm_mon = month - 1;
  fields.tm_year = year - 1900;
  fields.tm_isdst = -1;
  return mktime(&fields);
}

TEST(XmlWriter, LayoutOfElementsAttributesAndInlineValues) {
  XB_TestDir dir;
  XmlWriter w;
  ASSERT_TRUE(w.SetFileName(dir.Path("state.dvxs").c_str()));
  ASSERT_TRUE(w.Open());
  w.BeginElement("DorvexState");
  w.EndStartTag();
  w.BeginElement("repeat", false);
  w.WriteAttrInt("intervall", 10);
  w.BeginElement("file");
  w.WriteText("C:\\db\\a.db");
  w.EndElement("file");
  w.BeginElement("query");
  w.WriteText("select * from t where a < 3 & b > 2");
  w.EndElement();
  w.BeginElement("rect", false);
  w.WriteAttrInt("t", 1);
  w.WriteAttrInt("r", -2);
  w.BeginElement("main");
  w.EndStartTag();
  w.BeginElement("bars");
  w.WriteText("x");
  w.WriteText("y");
  ASSERT_TRUE(w.Close());
  EXPECT_EQ(XB_TestDir::Read(dir.Path("state.dvxs")),
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n"
            "<DorvexState>\n"
            "   <repeat intervall=\"10\"/>\n"
            "   <file> C:\\db\\a.db</file>\n"
            "   <query> select * from t where a &lt; 3 &amp; b &gt; 2</query>\n"
            "   <rect t=\"1\" r=\"-2\"/>\n"
            "   <main>\n"
            "      <bars> x y</bars>\n"
            "   </main>\n"
            "</DorvexState>\n"
            "\n");
}

TEST(XmlWriter, EndElementWithUnknownNameEndsNothing) {
  XB_TestDir dir;
  XmlWriter w;
  w.SetFileName(dir.Path("a.xml").c_str());
  ASSERT_TRUE(w.Open());
  w.BeginElement("a");
  w.BeginElement("b");
  w.WriteText("1");
  w.EndElement("nope");
  EXPECT_EQ(w.Depth(), 2u);
  w.EndElement("A");
  EXPECT_EQ(w.Depth(), 0u);
  EXPECT_TRUE(w.Close());
}

TEST(XmlRoundTrip, EscapedTextQuotesAndLatin1ComeBackUnchanged) {
  XB_TestDir dir;
  const std::string text = "a & <b> \"q\" 'x' M\xFCller \xDF\xE4";
  {
    XmlWriter w;
    w.SetFileName(dir.Path("t.xml").c_str());
    ASSERT_TRUE(w.Open());
    w.BeginElement("root");
    w.BeginElement("t");
    w.WriteText(text.c_str());
    w.EndElement();
    w.BeginElement("q");
    w.WriteQuotedText("x \"y\" & z");
    ASSERT_TRUE(w.Close());
  }
  std::string raw = XB_TestDir::Read(dir.Path("t.xml"));
  EXPECT_NE(raw.find("\"x &quot;y&quot; &amp; z\""), std::string::npos);
  EXPECT_NE(raw.find("'x'"), std::string::npos) << "the apostrophe is never escaped";

  XmlReader r;
  ASSERT_TRUE(r.Open(dir.Path("t.xml").c_str()));
  ASSERT_TRUE(r.ReadHeader());
  ASSERT_TRUE(r.FindElement("T"));
  EXPECT_EQ(std::string(r.ReadText().c_str()), text);
  ASSERT_TRUE(r.FindElement("q"));
  XB_String item;
  ASSERT_TRUE(r.NextTextItem(item));
  EXPECT_STREQ(item.c_str(), "\"x \"");
}

TEST(XmlRoundTrip, LongTextsWrapWithinTheLineWidthAndReadBackJoined) {
  XB_TestDir dir;
  std::string words;
  for (int i = 0; words.size() < 700; ++i)
    words += (i ? " " : "") + std::string("word") + std::to_string(i);
  std::string unbreakable(120, 'x');
  {
    XmlWriter w;
    w.SetFileName(dir.Path("long.xml").c_str());
    ASSERT_TRUE(w.Open());
    w.BeginElement("root");
    w.BeginElement("words");
    w.WriteText(words.c_str());
    w.EndElement();
    w.BeginElement("solid");
    w.WriteText(unbreakable.c_str());
    ASSERT_TRUE(w.Close());
  }
  std::istringstream lines(XB_TestDir::Read(dir.Path("long.xml")));
  std::string line;
  int wrapped = 0;
  while (std::getline(lines, line)) {
    if (line.find("word") != std::string::npos) {
      EXPECT_LE(line.size(), 88u) << line;
      ++wrapped;
    }
  }
  EXPECT_GT(wrapped, 7);

  XmlReader r;
  ASSERT_TRUE(r.Open(dir.Path("long.xml").c_str()));
  ASSERT_TRUE(r.ReadHeader());
  ASSERT_TRUE(r.FindElement("words"));
  EXPECT_EQ(std::string(r.ReadText().c_str()), words);
  ASSERT_TRUE(r.FindElement("solid"));
  EXPECT_EQ(std::string(r.ReadText().c_str()), unbreakable);
}

TEST(XmlRoundTrip, EmptyElementsAndComments) {
  XB_TestDir dir;
  {
    XmlWriter w;
    w.SetFileName(dir.Path("c.xml").c_str());
    ASSERT_TRUE(w.Open());
    w.BeginElement("root");
    w.WriteComment("  first line & more\nsecond --> line");
    w.BeginElement("empty", false);
    w.WriteAttr("k", "v");
    w.BeginElement("after");
    w.WriteInt(-5);
    w.WriteHex(255);
    w.WriteColour(0xFF8000);
    ASSERT_TRUE(w.Close());
  }
  XmlReader r;
  ASSERT_TRUE(r.Open(dir.Path("c.xml").c_str()));
  r.SetSkipComments(false);
  ASSERT_TRUE(r.ReadHeader());
  ASSERT_EQ(r.NextItem(), XmlReader::ItemStartTag);
  std::string comment;
  while (r.NextItem() == XmlReader::ItemComment) comment += r.CommentText().c_str();
  EXPECT_NE(comment.find("first line & more"), std::string::npos);
  EXPECT_NE(comment.find('\n'), std::string::npos);
  EXPECT_NE(comment.find("second"), std::string::npos)
      << "a \"-->\" inside must not end the comment";
  ASSERT_TRUE(r.IsStartTag());
  EXPECT_TRUE(r.TagNameIs("empty"));
  EXPECT_FALSE(r.HasContent());
  EXPECT_TRUE(r.SkipElement("empty"));
  ASSERT_TRUE(r.FindElement("after"));
  XB_String item;
  std::string items;
  while (r.NextTextItem(item)) items += std::string(item.c_str()) + "|";
  EXPECT_EQ(items, "-5|FF|#FF8000|");
  EXPECT_TRUE(r.IsEndTag("after"));

  XmlReader skipping;
  ASSERT_TRUE(skipping.Open(dir.Path("c.xml").c_str()));
  ASSERT_TRUE(skipping.ReadHeader());
  skipping.NextItem();
  EXPECT_EQ(skipping.NextItem(), XmlReader::ItemStartTag) << "comments are skipped by default";
}

TEST(XmlRoundTrip, EveryAttributeGetter) {
  XB_TestDir dir;
  const time_t christmas = LocalMidnight(24, 12, 2005);
  {
    XmlWriter w;
    w.SetFileName(dir.Path("attr.xml").c_str());
    ASSERT_TRUE(w.Open());
    w.BeginElement("a", false);
    w.WriteAttr("s", "x \"y\" & <z>");
    w.WriteAttrInt("i", -42);
    w.WriteAttrHex8("h8", 0xFF8000);
    w.WriteAttrHex4("h4", 0xAB);
    w.WriteAttrHex("h", 0xDEAD);
    w.WriteAttrDouble("d", 2.5);
    w.WriteAttrInt64Hex("big", 0x123456789ABCDEF0ull);
    w.WriteAttrDate("date", christmas);
    w.WriteAttr("S", "second of the same name");
    ASSERT_TRUE(w.Close());
  }
  std::string raw = XB_TestDir::Read(dir.Path("attr.xml"));
  EXPECT_NE(raw.find("h8=\"00FF8000\" h4=\"00AB\" h=\"DEAD\" d=\"2.500000\""), std::string::npos)
      << raw;
  EXPECT_NE(raw.find("date=\"24.12.2005\""), std::string::npos) << raw;

  XmlReader r;
  ASSERT_TRUE(r.Open(dir.Path("attr.xml").c_str()));
  ASSERT_TRUE(r.ReadHeader());
  ASSERT_TRUE(r.FindElement("A"));
  EXPECT_STREQ(r.GetAttr("s").c_str(), "x \"y\" & <z>") << "the first attribute of a name wins";
  EXPECT_EQ(r.GetAttrInt("I"), -42);
  EXPECT_EQ(r.GetAttrHex("h8"), 0xFF8000u);
  EXPECT_EQ(r.GetAttrHex("h4"), 0xABu);
  EXPECT_EQ(r.GetAttrHex("h"), 0xDEADu);
  EXPECT_DOUBLE_EQ(r.GetAttrDouble("d"), 2.5);
  EXPECT_EQ(r.GetAttrInt64Hex("big"), 0x123456789ABCDEF0ull);
  EXPECT_EQ(r.GetAttrDate("date"), christmas);
  EXPECT_STREQ(r.GetAttr("missing", "dflt").c_str(), "dflt");
  EXPECT_EQ(r.GetAttrInt("missing", 7), 7);
  EXPECT_EQ(r.GetAttrHex("missing", 9), 9u);
  EXPECT_EQ(r.GetAttrDate("missing"), LocalMidnight(1, 1, 1990));
}
