/*
** Tests of the key rules, table definitions and parameter sets: key
** normalization and the loose contains test, the definition's key map,
** member handles shared between sets, and the set operations.
*/
#include <gtest/gtest.h>

#include "xb_keytext.h"
#include "xb_parameterinfo.h"
#include "xb_parameterplain.h"
#include "xb_parametersetauto.h"

TEST(XBKeyText, NormalizesNamesIntoKeys) {
  EXPECT_EQ(XB_NormalizeKey("first name"), "first_name");
  EXPECT_EQ(XB_NormalizeKey("2nd"), "nd");
  EXPECT_EQ(XB_NormalizeKey("a:b"), "a_b");
  EXPECT_EQ(XB_NormalizeKey("  a  ::  b  "), "a_b");
  EXPECT_EQ(XB_NormalizeKey(".5x.y-z_w"), "x.y-z_w");
  EXPECT_EQ(XB_NormalizeKey("-x"), "-x");
  EXPECT_EQ(XB_NormalizeKey("\xE9t\xE9 \xE7"
                            "a"),
            "ete_ca");
  EXPECT_EQ(XB_NormalizeKey("Gr\xF6\xDF"
                            "e"),
            "Gr_e");
  EXPECT_EQ(XB_NormalizeKey("123"), "");
  EXPECT_EQ(XB_NormalizeKey("\"price\""), "price");
}

TEST(XBKeyText, TableKeysDropBracketedParts) {
  EXPECT_EQ(XB_TableKey("orders"), "orders");
  EXPECT_EQ(XB_TableKey("a[b[c]d]e"), "a_e");
  EXPECT_EQ(XB_TableKey("ab[c"), "a");
  EXPECT_EQ(XB_TableKey("[abc"), "");
  EXPECT_EQ(XB_TableKey("t(x)y"), "t_y");
}

TEST(XBKeyText, ContainsLooselyFoldsCaseAccentsAndPunctuation) {
  EXPECT_TRUE(XB_ContainsLoosely("id integer primary key", "INTEGER"));
  EXPECT_TRUE(XB_ContainsLoosely("primary_key", "PRIMARY KEY"));
  EXPECT_TRUE(XB_ContainsLoosely("updated TEXT", "DATE"));
  EXPECT_TRUE(XB_ContainsLoosely("caf\xE9 x", "CAFE"));
  EXPECT_FALSE(XB_ContainsLoosely("x BIGINT", "INTEGER"));
  EXPECT_FALSE(XB_ContainsLoosely("primarykey", "PRIMARY KEY"));
}

TEST(XBParameterInfoGroup, MapFindsKeysIgnoringCaseAndKeepsTheEarlierDuplicate) {
  XB_ParameterInfoGroup group("My Table");
  EXPECT_EQ(group.Key(), "My_Table");
  EXPECT_EQ(group.Label(), "My Table");
  EXPECT_EQ(group.GetType(), PT_GROUP);
  const char* names[] = {"zeta", "Alpha", "mid", "beta", "Omega"};
  for (const char* name : names) group.Add(name, nullptr, "c", PT_TEXT);
  for (const char* name : names) {
    XB_ParameterInfo* found = group.Find(XB_String(name).View());
    ASSERT_NE(found, nullptr) << name;
    EXPECT_EQ(found->Label(), name);
  }
  EXPECT_EQ(group.Find("ALPHA"), group.At(1));
  EXPECT_EQ(group.Find("nope"), nullptr);

  XB_ParameterInfo* first = group.Find("mid");
  XB_ParameterInfo* second = group.Add("MID", nullptr, nullptr, PT_INT);
  EXPECT_EQ(group.Count(), 6);
  EXPECT_EQ(group.Find("mid"), first);
  ASSERT_TRUE(group.Remove("Mid"));
  EXPECT_EQ(group.Count(), 5);
  EXPECT_EQ(group.Find("mid"), second);
  EXPECT_EQ(group.KeyAt(1), "Alpha");
  EXPECT_FALSE(group.Remove("nothing"));
  EXPECT_EQ(group.At(99), nullptr);
}

/* A parameter that counts its deletions, to watch the member handles. */
class CountedParameter : public XB_ParameterPlain {
 public:
  CountedParameter(const char* name, int* deleted) : XB_ParameterPlain(name), m_deleted(deleted) {}
  ~CountedParameter() override { ++*m_deleted; }

 private:
  int* m_deleted;
};

TEST(XBParameterSetAuto, CopiesShareMembersUntilTheLastSetLetsGo) {
  int deleted = 0;
  auto* original = new XB_ParameterSetAuto("outer");
  original->Add(new CountedParameter("a", &deleted));
  original->Add(new CountedParameter("b", &deleted));
  XB_ParameterSetAuto copy(*original);
  copy.SetValueByKey("a", XB_Value(5));
  XB_Value seen;
  original->GetValueByKey(seen, "a");
  EXPECT_EQ(seen.Number(), 5);

  delete original;
  EXPECT_EQ(deleted, 0);
  EXPECT_TRUE(copy.Remove("b"));
  EXPECT_EQ(deleted, 1);
  copy.Add(copy.Item(0));
  EXPECT_EQ(copy.Count(), 1);
  copy.Clear();
  EXPECT_EQ(deleted, 2);
  EXPECT_EQ(copy.Count(), 0);
  EXPECT_TRUE(copy.Name().IsEmpty());
}

TEST(XBParameterSetAuto, MembersAreFoundAndCreatedByKey) {
  XB_ParameterSetAuto set("Row Set");
  EXPECT_EQ(set.Name(), "Row_Set");
  XB_Parameter* name = set.FindOrCreate("First Name");
  EXPECT_EQ(name->Name(), "First_Name");
  EXPECT_EQ(set.FindOrCreate("first_name"), name);
  EXPECT_TRUE(set.Has("FIRST NAME"));
  EXPECT_EQ(set.Count(), 1);

  XB_Value out(1);
  set.GetValueByKey(out, "created");
  EXPECT_TRUE(out.IsNone());
  EXPECT_EQ(set.Count(), 2);
  set.GetValueOf(out, 7);
  EXPECT_TRUE(out.IsNone());
  EXPECT_EQ(set.Item(-1), nullptr);

  /* Adding a member under an existing key replaces the old one. */
  set.Add(new XB_ParameterPlain("created", XB_Value("new")));
  EXPECT_EQ(set.Count(), 2);
  set.GetValueOf(out, 1);
  EXPECT_EQ(out.AsText(), "new");
  EXPECT_EQ(set.IndexOf("first name"), 0);

  /* A set has no value of its own. */
  set.SetValue(XB_Value(3));
  set.GetValue(out);
  EXPECT_TRUE(out.IsNone());
}

TEST(XBParameterPlain, LabelComesFromTheDescriptorWhenThereIsOne) {
  XB_ParameterPlain bare("my key");
  EXPECT_EQ(bare.GetLabel(), "my_key");
  XB_ParameterInfo info("my key", "Shown label", nullptr, PT_INT);
  XB_ParameterPlain described("my key", XB_Value(4), &info);
  EXPECT_EQ(described.GetLabel(), "Shown label");
  std::unique_ptr<XB_Parameter> clone(described.Clone());
  EXPECT_EQ(clone->GetInfo(), &info);
  XB_Value v;
  clone->GetValue(v);
  EXPECT_EQ(v.Number(), 4);
}
