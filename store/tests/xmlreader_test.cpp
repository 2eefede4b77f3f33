/*
** The reader's tolerance on hand-written files: files with and without a
** declaration, UTF-8 files, entity references that are unknown or never
** end, end tags that do not match, malformed tags and their error codes,
** and the bounds of text chunks.
*/
#include <gtest/gtest.h>

#include "xb_testsupport.h"
#include "xmlreader.h"

/* Opens a reader on a file holding BYTES and reads its header. */
class ReaderOn {
 public:
  explicit ReaderOn(const std::string& bytes) {
    m_dir.Write("in.xml", bytes);
    m_ok = reader.Open(m_dir.Path("in.xml").c_str()) && reader.ReadHeader();
  }
  bool ok() const { return m_ok; }
  /* Returns the text of the first text chunk after the next start tag. */
  std::string TextOf(const char* element) {
    if (!reader.FindElement(element)) return "<no element>";
    return reader.ReadText().c_str();
  }
  XmlReader reader;

 private:
  XB_TestDir m_dir;
  bool m_ok = false;
};

TEST(XmlReader, FileWithoutDeclarationIsLatin1AndStartsWithItsFirstTag) {
  ReaderOn in("\n  <root>M\xC3\xBCller</root>\n");
  ASSERT_TRUE(in.ok());
  EXPECT_FALSE(in.reader.IsUtf8());
  ASSERT_EQ(in.reader.NextItem(), XmlReader::ItemStartTag);
  EXPECT_TRUE(in.reader.TagNameIs("ROOT"));
  ASSERT_EQ(in.reader.NextItem(), XmlReader::ItemText);
  EXPECT_STREQ(in.reader.Text().c_str(), "M\xC3\xBCller");
  EXPECT_EQ(in.reader.NextItem(), XmlReader::ItemEndTag);
  EXPECT_EQ(in.reader.NextItem(), XmlReader::ItemEndOfInput);
  EXPECT_EQ(in.reader.NextItem(), XmlReader::ItemEndOfInput);
}

TEST(XmlReader, FileDeclaredUtf8JoinsTwoByteSequences) {
  ReaderOn in(
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE x>\n"
      "<root a=\"\xC3\xA4\">M\xC3\xBCller \xC3</root>");
  ASSERT_TRUE(in.ok());
  EXPECT_TRUE(in.reader.IsUtf8());
  ASSERT_TRUE(in.reader.FindElement("root"));
  EXPECT_STREQ(in.reader.GetAttr("a").c_str(), "\xE4");
  EXPECT_EQ(std::string(in.reader.ReadText().c_str()), "M\xFCller \xC3")
      << "a lead byte without continuation stays";

  ReaderOn again("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><r>\xC3\xBC</r>");
  EXPECT_FALSE(again.reader.IsUtf8());
  EXPECT_EQ(again.TextOf("r"), "\xC3\xBC");
}

TEST(XmlReader, EntityReferences) {
  ReaderOn in(
      "<r>"
      "<a>&auml;&AUML;|&AMP;&Lt;&quot;&apos;&szlig;&SZLIG;</a>"
      "<b>&Uuml;&Ouml;&ouml;&uuml;&Auml;|&#8217;|&#65;|&nbsp;|</b>"
      "<c>AT&T\n</c>"
      "<d>x &unterminated<e/>y</d>"
      "<f a='1&amp;2' b=\"&lt;&x\" c=\"ok\"/>"
      "</r>");
  EXPECT_EQ(in.TextOf("a"), "\xE4 |&<\"'\xDF\xDF");
  EXPECT_EQ(in.TextOf("b"), "\xDC\xD6\xF6\xFC\xC4|'|A| |");
  EXPECT_EQ(in.TextOf("c"), "AT") << "the unterminated reference swallows the line";
  EXPECT_EQ(in.TextOf("d"), "x") << "a reference stops in front of a tag";
  ASSERT_EQ(in.reader.NextItem(), XmlReader::ItemStartTag);
  EXPECT_TRUE(in.reader.TagNameIs("e"));
  ASSERT_TRUE(in.reader.FindElement("f"));
  EXPECT_STREQ(in.reader.GetAttr("a").c_str(), "1&2");
  EXPECT_STREQ(in.reader.GetAttr("b").c_str(), "< ");
  EXPECT_STREQ(in.reader.GetAttr("c").c_str(), "ok")
      << "a reference never runs past its closing quote";
}

TEST(XmlReader, EndTagsThatDoNotMatchArePassedOver) {
  ReaderOn in(
      "<DorvexState>\n"
      "  <file>a.db</wrong>\n"
      "  </stray>\n"
      "  <query>select 1</query>\n"
      "  <main><bars><query>1</query></bars></main>\n"
      "</DorvexState>\n"
      "<after/>\n");
  ASSERT_TRUE(in.reader.FindElement("dorvexstate"));
  ASSERT_TRUE(in.reader.FindChildElement("query", "DorvexState"));
  XB_String text;
  ASSERT_TRUE(in.reader.ElementText(text));
  EXPECT_STREQ(text.c_str(), "select 1");
  ASSERT_TRUE(in.reader.NextChildElement("DorvexState"));
  ASSERT_TRUE(in.reader.TagNameIs("main"));
  EXPECT_TRUE(in.reader.SkipElement("main"));
  EXPECT_FALSE(in.reader.NextChildElement("DorvexState"));
  EXPECT_TRUE(in.reader.IsEndTag("dorvexstate"));
  EXPECT_FALSE(in.reader.ElementText(text)) << "a tag is not text";
  ASSERT_EQ(in.reader.NextItem(), XmlReader::ItemStartTag)
      << "ElementText leaves the tag to be read";
  EXPECT_TRUE(in.reader.TagNameIs("after"));
}

TEST(XmlReader, MalformedTagsSetErrorCodesAndReadingGoesOn) {
  ReaderOn in("<a / b='1'>t</a>\n<c x y='2' z='3'>\n<>\n<d k=v n=12 e=>\n</>\n<last/>");
  ASSERT_EQ(in.reader.NextItem(), XmlReader::ItemStartTag);
  EXPECT_EQ(in.reader.ErrorCode(), XmlReader::ErrorSingleSlash);
  EXPECT_STREQ(XmlReader::ErrorText(in.reader.ErrorCode()), "Single \"/\" encountered!");
  EXPECT_STREQ(in.reader.GetAttr("b").c_str(), "1");
  EXPECT_EQ(in.reader.NextItem(), XmlReader::ItemText);
  EXPECT_EQ(in.reader.ErrorCode(), XmlReader::NoError);
  in.reader.NextItem();

  ASSERT_EQ(in.reader.NextItem(), XmlReader::ItemStartTag);
  EXPECT_TRUE(in.reader.TagNameIs("c"));
  EXPECT_EQ(in.reader.ErrorCode(), XmlReader::ErrorEqualsExpected);
  EXPECT_EQ(in.reader.AttrCount(), 0) << "attributes after a name without \"=\" are not read";
  EXPECT_TRUE(in.reader.HasContent());

  ASSERT_EQ(in.reader.NextItem(), XmlReader::ItemStartTag);
  EXPECT_TRUE(in.reader.TagNameIs("d"));
  EXPECT_EQ(in.reader.ErrorCode(), XmlReader::ErrorNameExpected) << "the nameless <> before it";
  EXPECT_STREQ(in.reader.GetAttr("k").c_str(), "v");
  EXPECT_EQ(in.reader.GetAttrInt("n"), 12);
  EXPECT_FALSE(in.reader.HasAttr("e")) << "a name with \"=\" but no value adds nothing";

  ASSERT_EQ(in.reader.NextItem(), XmlReader::ItemStartTag);
  EXPECT_TRUE(in.reader.TagNameIs("last"));
  EXPECT_EQ(in.reader.ErrorCode(), XmlReader::ErrorNameExpected);
  EXPECT_STREQ(XmlReader::ErrorText(3), "Name, \">\"  or \"\\>\" expected!");
  EXPECT_STREQ(XmlReader::ErrorText(4), "\"=\" expected!");
}

TEST(XmlReader, TextChunksAndQuotedItemsOverSeveralLines) {
  std::string longLine(600, 'y');
  ReaderOn in("<r>  one \t two\n \"three\n four\"  'five six'\n \"open\n</r>\n<s>" + longLine +
              "</s>");
  ASSERT_TRUE(in.reader.FindElement("r"));
  XB_String item;
  std::string items;
  while (in.reader.NextTextItem(item)) items += std::string(item.c_str()) + "|";
  EXPECT_EQ(items, "one|two|\"three four\"|'five six'|\"open|");
  EXPECT_TRUE(in.reader.IsEndTag("r"));

  ASSERT_TRUE(in.reader.FindElement("s"));
  size_t total = 0;
  while (in.reader.NextItem() == XmlReader::ItemText) {
    EXPECT_LE(in.reader.Text().Length(), XmlReader::MaxTextChunk);
    total += in.reader.Text().Length();
  }
  EXPECT_EQ(total, longLine.size());
}

TEST(XmlReader, ReadHeaderRewindsAndMissingFilesFail) {
  ReaderOn in("<a><b/></a>");
  ASSERT_TRUE(in.reader.FindElement("b"));
  ASSERT_TRUE(in.reader.ReadHeader());
  ASSERT_EQ(in.reader.NextItem(), XmlReader::ItemStartTag);
  EXPECT_TRUE(in.reader.TagNameIs("a"));

  XmlReader missing;
  EXPECT_FALSE(missing.Open("/nonexistent/dir/x.xml"));
  EXPECT_FALSE(missing.ReadHeader());
  EXPECT_EQ(missing.NextItem(), XmlReader::ItemEndOfInput);
  EXPECT_FALSE(missing.FindElement("a"));
}
