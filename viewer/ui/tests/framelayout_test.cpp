/*
** The main window's layout rules without a window: which bars are kept
** under which keys, the defaults of a first start, where a view state's
** rectangle takes the window, and which platforms keep a window on top.
*/
#include <gtest/gtest.h>

#include "framelayout.h"
#include "storenode.h"

using Bars = std::vector<FrameLayout::Bar>;

TEST(FrameLayout, BarsRoundTripUnderTheirKeysAndStrangersAreLeftOut) {
  StoreNode settings;
  Bars closing = {{"Toolbar", false}, {"StatusBar", true}, {"QueryBar", false}, {"Other", false}};
  FrameLayout::SaveBars(settings, "main/", closing, true);
  EXPECT_FALSE(settings.ReadBool("main/bars/tool", true));
  EXPECT_TRUE(settings.ReadBool("main/bars/status", false));
  EXPECT_FALSE(settings.ReadBool("main/bars/query", true));
  EXPECT_TRUE(settings.ReadBool("main/topmost", false));
  StoreNode* bars = settings.Path("main/bars");
  ASSERT_NE(bars, nullptr);
  EXPECT_EQ(bars->ChildCount(), 3);

  Bars opening = {{"Toolbar", true}, {"StatusBar", false}, {"QueryBar", true}, {"Other", true}};
  EXPECT_TRUE(FrameLayout::RestoreBars(settings, "main/", opening));
  EXPECT_FALSE(opening[0].visible);
  EXPECT_TRUE(opening[1].visible);
  EXPECT_FALSE(opening[2].visible);
  EXPECT_TRUE(opening[3].visible);  // not stored, so not touched
}

TEST(FrameLayout, FirstStartShowsEveryBarAndStoresTheDefaults) {
  StoreNode state;  // a view state's own node: keys without prefix
  Bars bars = {{"Toolbar", false}, {"StatusBar", false}, {"QueryBar", false}};
  EXPECT_FALSE(FrameLayout::RestoreBars(state, "", bars));
  for (const FrameLayout::Bar& bar : bars) EXPECT_TRUE(bar.visible) << bar.name.toStdString();
  // The getters leave the defaults behind, so the next save writes them.
  EXPECT_TRUE(state.ReadBool("bars/query", false));
  EXPECT_FALSE(state.ReadBool("topmost", true));
  EXPECT_EQ(state.FindChild("main"), nullptr);
}

TEST(FrameLayout, StateRectangleFollowsThePositionAndSizePreferences) {
  const WindowRect current{100, 80, 740, 560};  // 640 x 480
  const WindowRect state{300, 200, 1100, 800};  // 800 x 600

  EXPECT_EQ(FrameLayout::PlanStateRect(state, current, true, true), state);
  EXPECT_EQ(FrameLayout::PlanStateRect(state, current, true, false),
            (WindowRect{300, 200, 940, 680}));
  EXPECT_EQ(FrameLayout::PlanStateRect(state, current, false, true),
            (WindowRect{100, 80, 900, 680}));
  EXPECT_FALSE(FrameLayout::PlanStateRect(state, current, false, false));
  EXPECT_TRUE(FrameLayout::NeedsInitialPlacement(true, false));
  EXPECT_TRUE(FrameLayout::NeedsInitialPlacement(false, true));
  EXPECT_FALSE(FrameLayout::NeedsInitialPlacement(true, true));

  // Too small a rectangle is no rectangle: 10 x 200 and 200 x 50 are
  // ignored, 11 x 51 is taken; an inverted one is ignored too.
  EXPECT_FALSE(FrameLayout::PlanStateRect({0, 0, 10, 200}, current, true, true));
  EXPECT_FALSE(FrameLayout::PlanStateRect({0, 0, 200, 50}, current, true, true));
  EXPECT_TRUE(FrameLayout::PlanStateRect({0, 0, 11, 51}, current, true, true));
  EXPECT_FALSE(FrameLayout::PlanStateRect({500, 500, 0, 0}, current, true, true));

  // Numbers at the ends of 32 bits do not wrap.
  const WindowRect huge{-2147483648LL, -2147483648LL, 2147483647LL, 2147483647LL};
  std::optional<WindowRect> wide = FrameLayout::PlanStateRect(huge, current, false, true);
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->Width(), 4294967295LL);
}

TEST(FrameLayout, OnTopIsOfferedWhereAWindowManagerCanHonourIt) {
  EXPECT_TRUE(FrameLayout::OnTopSupported("xcb"));
  EXPECT_TRUE(FrameLayout::OnTopSupported("offscreen"));
  EXPECT_FALSE(FrameLayout::OnTopSupported("wayland"));
  EXPECT_FALSE(FrameLayout::OnTopSupported("wayland-egl"));
  EXPECT_FALSE(FrameLayout::OnTopSupported("eglfs"));
}
