/*
** The settings tree in memory: path resolution and child order, the typed
** getters with their stored defaults and clamping, the text rules that make
** typed values, and the integer reading of each kind.
*/
#include <gtest/gtest.h>

#include "storenode.h"

TEST(StoreNode, PathAndChainedChildReachTheSameNode) {
  StoreNode root;
  EXPECT_EQ(root.Path(""), &root);
  EXPECT_EQ(root.Path(nullptr), &root);
  StoreNode* byPath = root.Path("update/dayscheck");
  EXPECT_EQ(root.Child("Update")->Child("DaysCheck"), byPath);
  EXPECT_EQ(root.Path("UPDATE/DAYSCHECK"), byPath);
  EXPECT_STREQ(root.ChildName(0).c_str(), "update") << "the first spelling is kept";
  EXPECT_EQ(root.Path("/update//dayscheck/"), byPath) << "empty segments make no nameless node";
  EXPECT_EQ(root.ChildCount(), 1);
  EXPECT_EQ(root.FindChild("nothing"), nullptr);
  EXPECT_EQ(root.ChildCount(), 1);
}

TEST(StoreNode, ChildrenStaySortedIgnoringCase) {
  StoreNode root;
  const char* names[] = {"zeta", "Alpha", "mid", "beta", "Zed", "_x", "alpha2", "MID"};
  for (const char* name : names) root.Child(name);
  std::string order;
  for (int i = 0; i < root.ChildCount(); ++i) order += std::string(root.ChildName(i).c_str()) + ",";
  EXPECT_EQ(order, "_x,Alpha,alpha2,beta,mid,Zed,zeta,")
      << "ASCII folded to lower case, then byte order";
  EXPECT_EQ(root.ChildAt(99), nullptr);
  EXPECT_TRUE(root.RemoveChild("ZETA"));
  EXPECT_EQ(root.ChildCount(), 6);
}

TEST(StoreNode, GettersStoreTheirDefaultsAndClamp) {
  StoreNode root;
  StoreNode* days = root.Path("update/dayscheck");
  EXPECT_TRUE(days->IsEmpty());
  EXPECT_EQ(days->GetInt(7), 7);
  EXPECT_EQ(days->ValueCount(), 1);
  EXPECT_EQ(days->GetInt(99), 7) << "the stored default wins over a later default";

  StoreNode* interval = root.Path("autoupdate/intervall");
  EXPECT_EQ(interval->GetInt(5, 3, 300), 5);
  EXPECT_EQ(interval->FirstValue()->Number(), 5);
  interval->SetInt(1000);
  EXPECT_EQ(interval->GetInt(5, 3, 300), 300);
  interval->SetInt(0);
  EXPECT_EQ(interval->GetInt(5, 3, 300), 3);
  EXPECT_EQ(root.Path("x")->GetInt(500, 3, 300), 500) << "a new default is returned unclamped";

  StoreNode* flag = root.Path("main/storewndpos");
  EXPECT_TRUE(flag->GetBool(true));
  EXPECT_EQ(flag->FirstValue()->Kind(), VK_BOOL);
  flag->SetBool(false);
  EXPECT_FALSE(flag->GetBool(true));
  EXPECT_TRUE(root.ReadBool("main/storewndpos2", true));
  root.WriteInt("view/limit", 250);
  EXPECT_EQ(root.ReadInt("View/Limit", 100), 250);
}

TEST(StoreNode, TextRulesMakeTypedValues) {
  struct Case {
    const char* text;
    uint16_t kind;
    int32_t number;
  } cases[] = {
      {"1.5", VK_REAL, 0},     {"1..5", VK_RANGE, 0},   {"0x1F", VK_INT, 31},
      {"#FF", VK_HASH, 255},   {"-12", VK_INT, -12},    {"'abc'", VK_INT, 0},
      {"  \t42", VK_INT, 42},  {"true", VK_BOOL, 1},    {"false", VK_BOOL, 0},
      {"True", VK_TEXT, 0},    {"abc def", VK_TEXT, 0}, {"12abc", VK_INT, 12},
      {"\"x y\"", VK_TEXT, 0}, {"", VK_INT, 0},
  };
  for (const Case& c : cases) {
    XB_Value value = StoreNode::ParseValue(c.text);
    EXPECT_EQ(value.Kind(), c.kind) << c.text;
    if (c.kind != VK_TEXT && c.kind != VK_REAL && c.kind != VK_RANGE) {
      EXPECT_EQ(value.Number(), c.number) << c.text;
    }
  }
  EXPECT_DOUBLE_EQ(StoreNode::ParseValue("1.5").Real(), 1.5);
  XB_Value range = StoreNode::ParseValue("1..5");
  EXPECT_EQ(range.RangeFirst(), 1);
  EXPECT_EQ(range.RangeSecond(), 5);
  EXPECT_STREQ(StoreNode::ParseValue("\"x y\"").AsText().c_str(), "x y");
  EXPECT_STREQ(StoreNode::ParseValue("\"\"").AsText().c_str(), "");
  EXPECT_STREQ(StoreNode::ParseValue("\"open").AsText().c_str(), "open");
  EXPECT_STREQ(StoreNode::ParseValue("\"say \"").AsText().c_str(), "say ");
  EXPECT_STREQ(StoreNode::ParseValue("hi\"\"").AsText().c_str(), "hi\"\"");
}

TEST(StoreNode, IntegerReadingOfEachKind) {
  StoreNode node;
  node.SetText("True");
  EXPECT_EQ(node.FirstValue()->Kind(), VK_TEXT);
  EXPECT_TRUE(node.GetBool(false));
  EXPECT_EQ(node.FirstValue()->Kind(), VK_BOOL) << "reading turns the text into a boolean";
  node.SetText("yes");
  EXPECT_FALSE(node.GetBool(true));
  node.SetText("2.5");
  EXPECT_EQ(node.GetInt(0), 3);
  node.SetText("-2.5");
  EXPECT_EQ(node.GetInt(0), -3);
  node.SetText("1e300");
  EXPECT_EQ(node.GetInt(0), 1) << "no dot: read by the integer rule";
  node.SetText("1.0e300");
  EXPECT_EQ(node.GetInt(0), INT32_MAX) << "a huge double saturates";
  node.SetText("3..9");
  EXPECT_EQ(node.GetInt(1), 0);
  node.SetText("\" 12 \"");
  EXPECT_EQ(node.GetInt(0), 12);
  node.SetText("\"#1f\"");
  EXPECT_EQ(node.GetInt(0), 31);
  EXPECT_EQ(node.FirstValue()->Kind(), VK_HASH);
  node.SetText("\"-5\"");
  EXPECT_EQ(node.GetInt(1), 0) << "a text with a sign is not all digits";
}

TEST(StoreNode, ValueTextsReadBackAsTheSameValue) {
  XB_Value values[] = {
      XB_Value(true),
      XB_Value(false),
      XB_Value::FromNumber(VK_HEX, 0x1F),
      XB_Value(int32_t(-12)),
      XB_Value::FromNumber(VK_HASH, 0xFF8000),
      XB_Value::Range(-3, 400),
      XB_Value(2.5),
      XB_Value(1e20),
      XB_Value(-0.125),
  };
  const char* texts[] = {"true",    "false", "0x1F",    "-12",   "#FF8000",
                         "-3..400", "2.5",   "1.0e+20", "-0.125"};
  for (size_t i = 0; i < sizeof values / sizeof values[0]; ++i) {
    XB_String text = StoreNode::ValueText(values[i]);
    EXPECT_STREQ(text.c_str(), texts[i]);
    XB_Value back = StoreNode::ParseValue(text.c_str());
    uint16_t kind = values[i].Kind() == VK_HEX ? uint16_t(VK_INT) : values[i].Kind();
    EXPECT_EQ(back.Kind(), kind) << texts[i];
    EXPECT_EQ(back.Number(), values[i].Number()) << texts[i];
    EXPECT_DOUBLE_EQ(back.Real(), values[i].Real()) << texts[i];
  }
}
