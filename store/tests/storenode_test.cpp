/*
** The settings tree in memory: path resolution and child order, the typed
** getters with their stored defaults and clamping, the text rules that make
** typed values, and the integer reading of each kind.
*/
#include <gtest/gtest.h>

#include "storenode.h"
#include "xb_valuetextcases.h"

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

TEST(StoreNode, SettingTextsFollowTheSharedTable) {
  StoreNode node;
  for (const XB_ValueTextCase& c : kValueTextCases) {
    node.SetText(c.text);
    EXPECT_EQ(node.FirstValue()->Kind(), c.kind) << c.text;
    EXPECT_STREQ(node.FirstValue()->AsText().c_str(), c.display) << c.text;
  }
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
  EXPECT_EQ(node.GetInt(1), -5) << "a sign before the digits is read";
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
    XB_Value back = XB_Value::FromText(text.View());
    uint16_t kind = values[i].Kind() == VK_HEX ? uint16_t(VK_INT) : values[i].Kind();
    EXPECT_EQ(back.Kind(), kind) << texts[i];
    EXPECT_EQ(back.Number(), values[i].Number()) << texts[i];
    EXPECT_DOUBLE_EQ(back.Real(), values[i].Real()) << texts[i];
  }
}
