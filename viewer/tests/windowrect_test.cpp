/*
** Tests of fitting a stored window rectangle onto the screens.
*/
#include "windowrect.h"

#include <gtest/gtest.h>

namespace {

const WindowRect kLeft{0, 0, 1920, 1080};
const WindowRect kRight{1920, 0, 3200, 1024};

TEST(WindowRect, AVisibleRectangleStaysWhereItIs) {
  WindowRect inside{100, 100, 900, 700};
  EXPECT_EQ(ClampToScreens(inside, {kLeft, kRight}), inside);
  // Mostly off the edge but 100 x 50 still on a screen: kept.
  WindowRect edge{1820, 1030, 2500, 1600};
  EXPECT_EQ(ClampToScreens(edge, {kLeft}), edge);
  // On the second screen only.
  WindowRect second{2000, 10, 2600, 500};
  EXPECT_EQ(ClampToScreens(second, {kLeft, kRight}), second);
  // Without screens nothing is known: unchanged.
  EXPECT_EQ(ClampToScreens(edge, {}), edge);
}

TEST(WindowRect, FarOffOrHugeRectanglesComeBackOnAScreen) {
  // 99 pixels visible is not enough: centred on the screen.
  EXPECT_EQ(ClampToScreens({1821, 100, 2421, 500}, {kLeft}), (WindowRect{660, 340, 1260, 740}));
  EXPECT_EQ(ClampToScreens({-100000, -100000, -99000, -99500}, {kLeft, kRight}),
            (WindowRect{460, 290, 1460, 790}));
  // 50,000 pixels wide is cut to the screen and moved onto it.
  EXPECT_EQ(ClampToScreens({-10, 20, 49990, 620}, {kLeft}), (WindowRect{0, 20, 1920, 620}));
  // The extremes of 32-bit and 64-bit values neither overflow nor stay.
  WindowRect wild = ClampToScreens({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {kLeft});
  EXPECT_EQ(wild, kLeft);
  wild = ClampToScreens({INT64_MIN, INT64_MAX, INT64_MAX, INT64_MIN}, {kRight});
  EXPECT_EQ(wild, kRight);
  // A small window counts as visible when all of it is on a screen.
  WindowRect tiny{10, 10, 60, 40};
  EXPECT_EQ(ClampToScreens(tiny, {kLeft}), tiny);
}

}  // namespace
