/*
** The Preferences groups without a window: the pages in their stable
** order, each parameter bound to its key with the program's own default,
** and the page shown for a stored position.
*/
#include <gtest/gtest.h>

#include "preferencesmodel.h"
#include "repeatinterval.h"
#include "storenode.h"

#include <map>

TEST(PreferencesModel, PagesKeepTheirOrderAndParents) {
  StoreNode settings;
  PreferencesModel model(settings);
  std::map<QString, int> at;
  for (int i = 0; i < model.PageCount(); ++i) at[model.PageAt(i).label] = i;
  ASSERT_EQ(model.PageCount(), 7);
  EXPECT_EQ(model.PageAt(at["Drop"]).parent, at["Program"]);
  EXPECT_EQ(model.PageAt(at["AutoUpdate"]).parent, at["Program"]);
  EXPECT_EQ(model.PageAt(at["Tables"]).parent, at["View"]);
  EXPECT_EQ(model.PageAt(at["State"]).parent, at["View"]);
  EXPECT_EQ(model.PageAt(at["View"]).parent, -1);
  for (int i = 0; i < model.PageCount(); ++i)
    EXPECT_LT(model.PageAt(i).parent, i) << "a parent comes before its pages";
  EXPECT_EQ(model.PageAt(at["Tables"]).group->Count(), 3);
  EXPECT_EQ(model.PageAt(at["State"]).group->Count(), 4);
}

TEST(PreferencesModel, ParametersReadTheProgramsDefaultsAndWriteTheirKeys) {
  StoreNode settings;
  settings.WriteInt("view/limit", 250);
  PreferencesModel model(settings);
  // Opening the window leaves the defaults behind, the one default of the
  // repeat interval among them; a stored value is kept.
  EXPECT_EQ(settings.ReadInt(RepeatInterval::kSettingsKey, -1), RepeatInterval::kDefaultSeconds);
  EXPECT_EQ(settings.ReadInt("view/limit", -1), 250);
  EXPECT_EQ(settings.ReadInt("view/maxrows", -1), 1000000);
  EXPECT_EQ(settings.ReadInt("view/maxmb", -1), 512);
  EXPECT_FALSE(settings.ReadBool("state/save/relativepath", true));
  EXPECT_TRUE(settings.ReadBool("main/storewndpos", false));

  XB_ParameterGroup* tables = nullptr;
  for (int i = 0; i < model.PageCount(); ++i)
    if (model.PageAt(i).label == "Tables") tables = model.PageAt(i).group.get();
  ASSERT_NE(tables, nullptr);
  tables->SetValueByKey("view-limit", XB_Value(int32_t(42)));
  EXPECT_EQ(settings.ReadInt("view/limit", -1), 42);
}

TEST(PreferencesModel, AStoredPositionOutsideThePagesShowsTheFirst) {
  EXPECT_EQ(PreferencesModel::PageToShow(3, 7), 3);
  EXPECT_EQ(PreferencesModel::PageToShow(6, 7), 6);
  EXPECT_EQ(PreferencesModel::PageToShow(7, 7), 0);
  EXPECT_EQ(PreferencesModel::PageToShow(-1, 7), 0);
  EXPECT_EQ(PreferencesModel::PageToShow(-2147483647 - 1, 7), 0);
  EXPECT_EQ(PreferencesModel::PageToShow(0, 0), 0);
}
