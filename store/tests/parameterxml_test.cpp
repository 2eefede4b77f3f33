/*
** Parameters written with the XML writer and read back with the reader
** (every value kind, texts that look like numbers, nested groups), and the
** preferences' settings-bound parameters working on the real settings tree.
*/
#include <gtest/gtest.h>

#include "settingsstore.h"
#include "xb_testsupport.h"
#include "xb_parametergroup.h"
#include "xb_parameterplain.h"
#include "xmlreader.h"
#include "xmlwriter.h"

/* Makes the group used on both sides of the round trip. */
static void AddMembers(XB_ParameterGroup& group, XB_ParameterGroup& inner) {
  group.FindOrCreate("text");
  group.FindOrCreate("number_text");
  group.FindOrCreate("quoted");
  group.FindOrCreate("flag");
  group.FindOrCreate("count");
  group.FindOrCreate("colour");
  group.FindOrCreate("span");
  group.FindOrCreate("ratio");
  inner.FindOrCreate("deep");
}

TEST(ParameterXml, EveryKindComesBackThroughAFile) {
  XB_TestDir dir;
  XB_ParameterGroup out("prefs"), outInner("inner");
  AddMembers(out, outInner);
  std::string longText;
  for (int i = 0; i < 30; ++i) longText += "some words ";
  longText += "end";
  out.SetValueByKey("text", XB_Value(longText.c_str()));
  out.SetValueByKey("number_text", XB_Value("12 apples"));
  out.SetValueByKey("quoted", XB_Value("say \"hi\" & <go>"));
  out.SetValueByKey("flag", XB_Value(true));
  out.SetValueByKey("count", XB_Value(int32_t(-42)));
  out.SetValueByKey("colour", XB_Value::FromNumber(VK_HASH, 0xFF8000));
  out.SetValueByKey("span", XB_Value::Range(3, 9));
  out.SetValueByKey("ratio", XB_Value(0.25));
  outInner.SetValueByKey("deep", XB_Value(int32_t(5)));
  out.AddGroup(outInner);
  {
    XmlWriter writer;
    writer.SetFileName(dir.Path("p.xml").c_str());
    ASSERT_TRUE(writer.Open());
    EXPECT_TRUE(out.Write(writer));
    ASSERT_TRUE(writer.Close());
  }
  XB_ParameterGroup in("prefs"), inInner("inner");
  AddMembers(in, inInner);
  in.AddGroup(inInner);
  XmlReader reader;
  ASSERT_TRUE(reader.Open(dir.Path("p.xml").c_str()));
  ASSERT_TRUE(reader.ReadHeader());
  ASSERT_TRUE(reader.FindElement("prefs"));
  ASSERT_TRUE(in.Read(reader));

  const char* keys[] = {"text",  "number_text", "quoted", "flag",
                        "count", "colour",      "span",   "ratio"};
  for (const char* key : keys) {
    XB_Value written, read;
    out.GetValueByKey(written, key);
    in.GetValueByKey(read, key);
    EXPECT_TRUE(written == read) << key << ": " << written.AsText().c_str() << " / "
                                 << read.AsText().c_str();
  }
  XB_Value deep;
  inInner.GetValueByKey(deep, "deep");
  EXPECT_EQ(deep.Number(), 5);
}

TEST(ParameterXml, PreferencesAreBoundToTheSettingsTree) {
  XB_TestDir dir;
  SettingsStore store;
  store.SetFileName(dir.Path("dorvex.xml").c_str());
  store.Path("autoupdate/intervall")->SetText("5");
  XB_ParameterGroup view("View", &store);
  XB_Parameter* interval = view.AddInt("autoupdate/intervall", "intervall [s]", 10);
  XB_Parameter* limit = view.AddInt("view/limit", "default LIMIT", 100);
  XB_Parameter* relative = view.AddBool("state/save/relativepath", "relative paths", false);
  EXPECT_EQ(store.Path("view/limit")->GetInt(0), 100);
  XB_Value value;
  interval->GetValue(value);
  EXPECT_EQ(value.Number(), 5);
  limit->SetValue(XB_Value(int32_t(250)));
  relative->SetValue(XB_Value(true));
  ASSERT_TRUE(store.Save());

  SettingsStore again;
  again.SetFileName(dir.Path("dorvex.xml").c_str());
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.Child("view")->Child("limit")->GetInt(100), 250);
  EXPECT_TRUE(again.Path("state/save/relativepath")->GetBool(false));
  std::string saved = XB_TestDir::Read(dir.Path("dorvex.xml"));
  EXPECT_NE(saved.find("<relativepath> true</relativepath>"), std::string::npos) << saved;
}
