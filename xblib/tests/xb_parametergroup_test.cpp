/*
** Tests of the settings group: parameters bound to settings keys read and
** store their defaults, write changes back and see changes made elsewhere;
** groups share members; a bound parameter's copy has its own descriptor.
** The settings are an in-memory map standing in for the settings tree.
*/
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "xb_parametergroup.h"
#include "xb_parameterplain.h"

namespace {

/* Settings kept in a map from key path to integer. */
class MapSettings : public XB_SettingsAccess {
 public:
  bool ReadBool(const char* path, bool defaultValue) override {
    return ReadInt(path, defaultValue ? 1 : 0) > 0;
  }
  int32_t ReadInt(const char* path, int32_t defaultValue) override {
    auto found = values.find(path);
    if (found == values.end()) found = values.emplace(path, defaultValue).first;
    return found->second;
  }
  void WriteBool(const char* path, bool value) override { values[path] = value ? 1 : 0; }
  void WriteInt(const char* path, int32_t value) override { values[path] = value; }
  std::map<std::string, int32_t> values;
};

}  // namespace

TEST(XBParameterGroup, BoundParametersStoreDefaultsAndWriteChangesBack) {
  MapSettings settings;
  settings.values["view/limit"] = 250;
  XB_ParameterGroup group("View", &settings);
  XB_Parameter* days = group.AddInt("update/dayscheck", "check interval [days]", 7);
  XB_Parameter* limit = group.AddInt("view/limit", "default LIMIT", 100);
  XB_Parameter* check = group.AddBool("update/docheck", "check for new versions", true);

  EXPECT_EQ(days->Name(), "update-dayscheck");
  ASSERT_NE(days->GetInfo(), nullptr);
  EXPECT_EQ(days->GetInfo()->GetType(), static_cast<uint32_t>(PT_INT));
  EXPECT_EQ(check->GetInfo()->GetType(), static_cast<uint32_t>(PT_BOOL));
  EXPECT_EQ(days->GetLabel(), "check interval [days]");
  EXPECT_EQ(settings.values.at("update/dayscheck"), 7) << "the default is stored";
  EXPECT_EQ(settings.values.at("update/docheck"), 1);

  XB_Value value;
  limit->GetValue(value);
  EXPECT_EQ(value.Kind(), VK_INT);
  EXPECT_EQ(value.Number(), 250) << "a stored value wins over the default";
  check->GetValue(value);
  EXPECT_EQ(value.Kind(), VK_BOOL);

  days->SetValue(XB_Value(int32_t(14)));
  EXPECT_EQ(settings.values.at("update/dayscheck"), 14);
  check->SetValue(XB_Value::FromText("false"));
  EXPECT_EQ(settings.values.at("update/docheck"), 0);
  settings.values["view/limit"] = 50;
  EXPECT_EQ(limit->ValueRef().Number(), 50) << "changes made elsewhere are seen";
  XB_Value byKey;
  group.GetValueByKey(byKey, "UPDATE-DAYSCHECK");
  EXPECT_EQ(byKey.Number(), 14);
}

TEST(XBParameterGroup, SameKeyReplacesAndSubgroupsShareMembers) {
  MapSettings settings;
  XB_ParameterGroup root("Program", &settings);
  XB_ParameterGroup drop("Drop", &settings);
  drop.AddBool("dropfiles/dvxs/movewindow", "move window", true);
  drop.AddBool("dropfiles/sql/ask", "ask before running sql", false);
  root.AddBool("main/storewndpos", "remember window postion", true);
  root.AddBool("main/storewndpos", "remember window position", false);
  EXPECT_EQ(root.Count(), 1) << "a member with the same key is replaced";
  EXPECT_EQ(root.Item(0)->GetLabel(), "remember window position");

  XB_Parameter* added = root.AddGroup(drop);
  ASSERT_EQ(root.Count(), 2);
  auto* copy = dynamic_cast<XB_ParameterGroup*>(added);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Count(), 2);
  EXPECT_EQ(copy->Item(0), drop.Item(0)) << "the subgroup's members are shared, not cloned";

  XB_Parameter* bound = drop.Item(1);
  XB_Parameter* clone = bound->Clone();
  ASSERT_NE(clone, nullptr);
  EXPECT_NE(clone->GetInfo(), bound->GetInfo()) << "a copy owns its own descriptor";
  EXPECT_EQ(clone->GetLabel(), "ask before running sql");
  clone->SetValue(XB_Value(true));
  EXPECT_EQ(settings.values.at("dropfiles/sql/ask"), 1) << "the copy is bound to the same key";
  delete clone;
}

TEST(XBParameterGroup, WithoutSettingsValuesStayInTheParameters) {
  XB_ParameterGroup group("Loose");
  XB_Parameter* interval = group.AddInt("autoupdate/intervall", "intervall [s]", 10);
  XB_Value value;
  interval->GetValue(value);
  EXPECT_EQ(value.Number(), 10);
  interval->SetValue(XB_Value(int32_t(30)));
  interval->GetValue(value);
  EXPECT_EQ(value.Number(), 30);
}
