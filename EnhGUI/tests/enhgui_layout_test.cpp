/*
** Tests of the dialog layout arithmetic: line places in each mode, the
** line sequence of a layout, and the window and button geometry of the
** parameter dialogs.
*/
#include "paramlinelayout.h"
#include "paramsdialoglayout.h"

#include <gtest/gtest.h>

/* A layout starts 10 pixels inside its area with a label width of a third
** of the usable width less the spacing, and steps 24 pixels per line. */
TEST(ParamLineLayout, BeginAndAdvance) {
  ParamLineLayout layout;
  ASSERT_TRUE(layout.Begin(ParamRect{0, 0, 330, 200}));
  EXPECT_EQ(layout.CurrentLine(), (ParamRect{10, 10, 320, 30}));
  EXPECT_EQ(layout.LabelWidth(), 100);
  layout.Advance();
  layout.Advance();
  EXPECT_EQ(layout.CurrentLine(), (ParamRect{10, 58, 320, 78}));

  EXPECT_FALSE(layout.Begin(ParamRect{0, 0, 15, 15}));
  EXPECT_GE(layout.LabelWidth(), 0);
}

/* Each mode divides a line differently: narrow gives the label two label
** widths and the input one, wide the other way round, split keeps 5
** pixels free on both sides of the middle. */
TEST(ParamLineLayout, SplitModes) {
  ParamRect line{10, 10, 310, 30};
  ParamLinePlaces narrow = ParamLineLayout::Split(ParamLineLayout::MODE_NARROW, line, 90);
  EXPECT_EQ(narrow.label, (ParamRect{10, 10, 190, 30}));
  EXPECT_EQ(narrow.input, (ParamRect{220, 10, 310, 30}));

  ParamLinePlaces wide = ParamLineLayout::Split(ParamLineLayout::MODE_WIDE, line, 90);
  EXPECT_EQ(wide.label, (ParamRect{10, 10, 100, 30}));
  EXPECT_EQ(wide.input, (ParamRect{130, 10, 310, 30}));

  ParamLinePlaces split = ParamLineLayout::Split(ParamLineLayout::MODE_SPLIT, line, 90);
  EXPECT_EQ(split.label, (ParamRect{10, 10, 155, 30}));
  EXPECT_EQ(split.input, (ParamRect{165, 10, 310, 30}));
}

static ParamMetrics SampleMetrics() {
  ParamMetrics m;
  m.frameWidth = 4;
  m.frameHeight = 6;
  m.minWindowHeight = 38;
  m.iconHeight = 32;
  m.scrollArrowHeight = 16;
  m.maximizedWidth = 1600;
  m.maximizedHeight = 1000;
  return m;
}

/* The client area holds every line above the button strip, for few lines
** and for many; few lines get the minimum height of a window with an icon
** and four scroll arrows.  The width is a quarter of the screen, and the
** window is centred with one frame and a caption added. */
TEST(ParamsDialogLayout, EveryLineFitsAboveTheButtons) {
  for (int lines : {1, 5, 30}) {
    ParamsDialogLayout layout(SampleMetrics(), lines);
    int width = layout.ClientWidth();
    int height = layout.ClientHeight();
    ParamRect area = layout.LinesRect(width, height, false);
    ParamLineLayout lineLayout;
    ASSERT_TRUE(lineLayout.Begin(area)) << lines;
    for (int i = 1; i < lines; ++i) lineLayout.Advance();
    EXPECT_LE(lineLayout.CurrentLine().bottom, area.bottom) << lines;
    ParamRect button = layout.ButtonRect(0, width, height);
    EXPECT_GE(button.top, area.bottom) << lines;
    EXPECT_LE(button.bottom, height) << lines;
  }
  EXPECT_EQ(ParamsDialogLayout(SampleMetrics(), 1).ClientHeight(), 134);
  EXPECT_EQ(ParamsDialogLayout(SampleMetrics(), -3).ClientHeight(), 134);

  ParamsDialogLayout many(SampleMetrics(), 30);
  EXPECT_EQ(many.ClientHeight(), 762);
  EXPECT_EQ(many.WindowRect(), (ParamRect{600, 104, 1000, 896}));
}

/* The lines end above the button strip; the strip is one line high, one
** margin above the bottom, inset by the margin; OK and Cancel take its
** outer quarters and the row editor's buttons the inner ones. */
TEST(ParamsDialogLayout, LinesAndButtons) {
  ParamsDialogLayout layout(SampleMetrics(), 5);
  EXPECT_EQ(layout.LinesRect(400, 300, false), (ParamRect{0, 0, 400, 270}));
  EXPECT_EQ(layout.LinesRect(400, 300, true), (ParamRect{6, 0, 394, 270}));

  /* strip 6..394 = 388 wide, quarters of 97 */
  EXPECT_EQ(layout.ButtonRect(0, 400, 300), (ParamRect{6, 270, 103, 294}));
  EXPECT_EQ(layout.ButtonRect(1, 400, 300), (ParamRect{103, 270, 200, 294}));
  EXPECT_EQ(layout.ButtonRect(3, 400, 300), (ParamRect{297, 270, 394, 294}));
  EXPECT_EQ(layout.ButtonRect(9, 400, 300), layout.ButtonRect(3, 400, 300));
}

/* A dialog whose lines do not fit the maximised area is clamped to it and
** its lines scroll on a canvas that has room for all of them; one that
** fits keeps its height and has nothing to scroll. */
TEST(ParamsDialogLayout, TallDialogsAreClampedToTheScreen) {
  ParamMetrics metrics;
  metrics.maximizedWidth = 1280;
  metrics.maximizedHeight = 800;
  ParamsDialogLayout big(metrics, 41);
  EXPECT_EQ(big.ContentHeight(), 24 + 3 * 4 + 24 * 41);
  EXPECT_TRUE(big.Scrolls());
  EXPECT_EQ(big.ClientHeight(), 800 - 4 - 24);
  ParamRect window = big.WindowRect();
  EXPECT_GE(window.top, 0);
  EXPECT_LE(window.bottom, 800);
  EXPECT_EQ(big.CanvasHeight(), big.ContentHeight() - (4 + 24));
  ParamRect ok = big.ButtonRect(0, big.ClientWidth(), big.ClientHeight());
  EXPECT_LE(ok.bottom, big.ClientHeight());

  ParamsDialogLayout small(metrics, 5);
  EXPECT_FALSE(small.Scrolls());
  EXPECT_EQ(small.ClientHeight(), small.ContentHeight());
  EXPECT_EQ(small.LinesRect(320, small.ClientHeight(), false).bottom, small.CanvasHeight());
}
