/*
** Tests of numeric references and Unicode text: what the reader makes of
** every numeric reference in either mode, and texts that the writer's
** Unicode operation and the reader in Unicode mode carry unchanged.
*/
#include <gtest/gtest.h>

#include <string>

#include "xb_testsupport.h"
#include "xmlreader.h"
#include "xmlwriter.h"

namespace {

/* Returns the text of the first element of the file BYTES. */
std::string FirstText(const std::string& bytes, bool unicode) {
  XB_TestDir dir;
  dir.Write("in.xml", bytes);
  XmlReader reader;
  reader.SetUnicodeText(unicode);
  if (!reader.Open(dir.Path("in.xml").c_str()) || !reader.ReadHeader()) return "<unreadable>";
  if (!reader.FindElement("t")) return "<no element>";
  return reader.ReadText().c_str();
}

TEST(XmlUnicode, NumericReferencesBecomeTheirCharacters) {
  const std::string refs =
      "<t>&#65;&#x42;&#X43;|&#xE9;|&#x4E2D;|&#8217;|&#x2019;|a&#32;&#32;b|&#;|&#x110000;</t>";
  // ISO-8859-1: what fits is one byte, the rest a space; 8217 stays the
  // apostrophe it always was; blanks from references are kept.
  EXPECT_EQ(FirstText(refs, false), "ABC|\xE9| |'| |a  b| |");
  EXPECT_EQ(FirstText(refs, true), "ABC|\xC3\xA9|\xE4\xB8\xAD|'|\xE2\x80\x99|a  b| |");
  // Raw high bytes in Unicode mode: UTF-8 kept, anything else is Latin-1.
  EXPECT_EQ(FirstText("<t>caf\xC3\xA9 caf\xE9 &uuml;</t>", true),
            "caf\xC3\xA9 caf\xC3\xA9 \xC3\xBC");
  // Unknown and unterminated references still fold into the text as before.
  EXPECT_EQ(FirstText("<t>a &bogus; b &#12x; c</t>", true), "a b c");
}

TEST(XmlUnicode, WrittenUnicodeTextReadsBackExactly) {
  const std::string texts[] = {
      "  two  blanks\tand\r\nline ends  ",
      "\xE4\xB8\xAD\xE6\x96\x87, \xF0\x9F\x98\x80 and caf\xC3\xA9",
      "\xC3\x83\xC2\xA9 looks like UTF-8 in Latin-1",
      "<tag> & &amp; &#65; \"quoted\" 'single'",
      std::string(40, 'w') + " " + std::string(600, 'x') + "  " + std::string(300, 'y'),
  };
  XB_TestDir dir;
  for (const std::string& text : texts) {
    XmlWriter writer;
    ASSERT_TRUE(writer.SetFileName(dir.Path("out.xml").c_str()));
    ASSERT_TRUE(writer.Open());
    writer.BeginElement("r", true);
    writer.BeginElement("t", true);
    writer.WriteUnicodeText(text.c_str());
    writer.EndElement("t");
    ASSERT_TRUE(writer.Close());
    XmlReader reader;
    reader.SetUnicodeText(true);
    ASSERT_TRUE(reader.Open(dir.Path("out.xml").c_str()) && reader.ReadHeader());
    ASSERT_TRUE(reader.FindElement("t"));
    EXPECT_EQ(std::string(reader.ReadText().c_str()), text);
  }
}

}  // namespace
