/*
** The settings file: the exact shape a save produces, loading (merge,
** comments, tolerance, deep nesting), text values that need escaping, and
** saves that must not touch the old file when they fail.
*/
#include <gtest/gtest.h>

#include "safefilewriter.h"
#include "settingsstore.h"
#include "xb_testsupport.h"
#include "xmlwriter.h"

#include <filesystem>

static const char Declaration[] = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n";

TEST(SettingsStore, SaveWritesTheDocumentedShape) {
  XB_TestDir dir;
  SettingsStore store;
  ASSERT_TRUE(store.SetFileName(dir.Path("dorvex.xml").c_str()));
  EXPECT_FALSE(store.Load()) << "no file yet";
  EXPECT_EQ(store.Path("update/dayscheck")->GetInt(7), 7);
  store.Path("view/Tables/empty");
  store.Path("state/save/pos")->GetBool(true);
  store.Path("Drop")->SetText("\"some text\"");
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(XB_TestDir::Read(dir.Path("dorvex.xml")), std::string(Declaration) +
                                                          "<xbstore>\n"
                                                          "   <Drop> \"some text\"</Drop>\n"
                                                          "   <state>\n"
                                                          "      <save>\n"
                                                          "         <pos> true</pos>\n"
                                                          "      </save>\n"
                                                          "   </state>\n"
                                                          "   <update>\n"
                                                          "      <dayscheck> 7</dayscheck>\n"
                                                          "   </update>\n"
                                                          "</xbstore>\n"
                                                          "\n");
  EXPECT_FALSE(std::filesystem::exists(dir.Path("dorvex.~bw")));
}

TEST(SettingsStore, RoundTripOfEveryKindAndOfTextsThatNeedEscaping) {
  XB_TestDir dir;
  std::string longText;
  for (int i = 0; i < 40; ++i) longText += "lorem ipsum ";
  longText.pop_back();
  {
    SettingsStore store;
    store.SetFileName(dir.Path("s.xml").c_str());
    store.Path("a/text")->AddValue(XB_Value("a & <b>"));
    store.Path("a/quoted")->AddValue(XB_Value("say \"hi\""));
    store.Path("a/long")->AddValue(XB_Value((longText + "   x").c_str()));
    store.Path("a/latin")->AddValue(XB_Value("M\xFCller"));
    store.Path("b/real")->AddValue(XB_Value(0.1));
    store.Path("b/range")->AddValue(XB_Value::Range(2, 9));
    store.Path("b/colour")->AddValue(XB_Value::FromNumber(VK_HASH, 0xC0FFEE));
    store.Path("b/hex")->AddValue(XB_Value::FromNumber(VK_HEX, 255));
    store.Path("b/many")->SetText("1");
    store.Path("b/many")->AddValue(XB_Value(int32_t(2)));
    ASSERT_TRUE(store.Save());
  }
  std::string raw = XB_TestDir::Read(dir.Path("s.xml"));
  EXPECT_NE(raw.find("<text> \"a &amp; &lt;b&gt;\"</text>"), std::string::npos) << raw;
  EXPECT_NE(raw.find("<quoted> \"say &quot;hi&quot;\"</quoted>"), std::string::npos) << raw;
  EXPECT_NE(raw.find(longText), std::string::npos) << "text values are never wrapped";

  SettingsStore store;
  store.SetFileName(dir.Path("s.xml").c_str());
  ASSERT_TRUE(store.Load("XBSTORE"));
  EXPECT_STREQ(store.Path("a/text")->FirstValue()->AsText().c_str(), "a & <b>");
  StoreNode* quoted = store.Path("a/quoted");
  ASSERT_EQ(quoted->ValueCount(), 2) << "entities are decoded before the text is split";
  EXPECT_STREQ(quoted->Value(0).AsText().c_str(), "say ");
  EXPECT_STREQ(quoted->Value(1).AsText().c_str(), "hi\"\"");
  EXPECT_EQ(std::string(store.Path("a/long")->FirstValue()->AsText().c_str()), longText + " x");
  EXPECT_STREQ(store.Path("a/latin")->FirstValue()->AsText().c_str(), "M\xFCller");
  EXPECT_DOUBLE_EQ(store.Path("b/real")->FirstValue()->Real(), 0.1);
  EXPECT_EQ(store.Path("b/range")->FirstValue()->RangeSecond(), 9);
  EXPECT_EQ(store.Path("b/colour")->GetInt(0), 0xC0FFEE);
  EXPECT_EQ(store.Path("b/hex")->GetInt(0), 255);
  ASSERT_EQ(store.Path("b/many")->ValueCount(), 2);
  EXPECT_EQ(store.Path("b/many")->Value(1).Number(), 2);
}

TEST(SettingsStore, LoadMergesDropsCommentsAndToleratesBadXml) {
  XB_TestDir dir;
  dir.Write("dorvex.xml",
            "<settings>\n"
            "  <!-- a note -->\n"
            "  <update><dayscheck>14</dayscheck><docheck>false</docheck></stray></update>\n"
            "  <view><limit> 250 </limit>\n"
            "  <empty/><sibling>1</sibling>\n"
            "  <open><deeper> 3");
  SettingsStore store;
  store.SetFileName(dir.Path("dorvex.xml").c_str());
  store.Path("kept")->SetInt(1);
  store.Path("update/dayscheck")->SetInt(7);
  EXPECT_FALSE(store.Load("xbstore")) << "wrong document element";
  ASSERT_TRUE(store.Load());
  EXPECT_EQ(store.Path("kept")->GetInt(0), 1) << "loading merges";
  EXPECT_EQ(store.Path("update/dayscheck")->GetInt(7), 14);
  EXPECT_FALSE(store.Path("update/docheck")->GetBool(true));
  EXPECT_EQ(store.Path("view/limit")->GetInt(100), 250);
  EXPECT_EQ(store.Path("view/sibling")->GetInt(0), 1) << "an empty-element tag has no content";
  EXPECT_EQ(store.Path("view/open/deeper")->GetInt(0), 3) << "open elements end with the input";

  ASSERT_TRUE(store.Save());
  std::string saved = XB_TestDir::Read(dir.Path("dorvex.xml"));
  EXPECT_EQ(saved.find("note"), std::string::npos) << "settings are read without comments";
  EXPECT_EQ(saved.find("empty"), std::string::npos) << "empty nodes are not written";

  SettingsStore keeping;
  keeping.SetKeepComments(true);
  dir.Write("c.xml", "<!-- top --><r><a><!-- why -->5</a></r>");
  keeping.SetFileName(dir.Path("c.xml").c_str());
  ASSERT_TRUE(keeping.Load());
  EXPECT_STREQ(keeping.Path("a")->Comment().c_str(), " why ");
}

TEST(SettingsStore, MissingOrBrokenFilesLeaveTheTreeAlone) {
  XB_TestDir dir;
  SettingsStore store;
  store.Path("x")->SetInt(3);
  store.SetFileName(dir.Path("none.xml").c_str());
  EXPECT_FALSE(store.Load());
  dir.Write("text.xml", "just text, no element");
  store.SetFileName(dir.Path("text.xml").c_str());
  EXPECT_FALSE(store.Load());
  EXPECT_EQ(store.ChildCount(), 1);
  EXPECT_EQ(store.Path("x")->GetInt(0), 3);

  std::string tooLong = dir.Path(std::string(SafeFileWriter::MaxPathLength, 'n') + ".xml");
  EXPECT_FALSE(store.SetFileName(tooLong.c_str()));
  EXPECT_FALSE(store.Save()) << "a path longer than the limit is refused, not cut";
}

TEST(SettingsStore, DeeplyNestedFileDoesNotExhaustTheStack) {
  XB_TestDir dir;
  std::string deep;
  for (int i = 0; i < 200000; ++i) deep += "<a>";
  deep += "9";
  dir.Write("deep.xml", "<r>" + deep);
  SettingsStore store;
  store.SetFileName(dir.Path("deep.xml").c_str());
  ASSERT_TRUE(store.Load());
  StoreNode* node = &store;
  int depth = 0;
  while (node->ChildCount() == 1) {
    node = node->ChildAt(0);
    ++depth;
  }
  EXPECT_EQ(depth, static_cast<int>(StoreNode::MaxNesting));
  EXPECT_EQ(node->GetInt(0), 9);
}

TEST(SettingsStore, SaveThatCannotReplaceTheTargetReportsFalse) {
  XB_TestDir dir;
  std::string target = dir.Path("settings.xml");
  std::filesystem::create_directory(target);
  dir.Write("settings.xml/inside", "kept");
  SettingsStore store;
  store.SetFileName(target.c_str());
  store.Path("a")->SetInt(1);
  EXPECT_FALSE(store.Save()) << "the rename over a directory fails";
  EXPECT_EQ(XB_TestDir::Read(target + "/inside"), "kept");
  EXPECT_FALSE(std::filesystem::exists(dir.Path("settings.~bw")))
      << "the temporary file is removed";
}
