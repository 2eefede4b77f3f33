/*
** The line-by-line layout of a generated dialog: where the next line goes,
** how wide the labels are, and how a line splits its rectangle between
** label and input for each layout mode.  Pure arithmetic; the dialog lines
** ask it for their places and then move their controls there.
*/
#ifndef PARAMLINELAYOUT_H
#define PARAMLINELAYOUT_H

#include "paramrect.h"

class ParamLineLayout {
 public:
  /* Pixels between the lines' area and the window's edges. */
  static constexpr int kSpacing = 10;
  /* Vertical distance from one line to the next. */
  static constexpr int kLineHeight = 24;
  /* Height of the controls of one line. */
  static constexpr int kControlHeight = 20;
  /* Width of the "..." button of a folder line. */
  static constexpr int kButtonWidth = 20;

  /* How a line divides its width between label and input. */
  enum Mode {
    MODE_SPLIT = 0,  /* halves, 5 pixels kept free on each side of the middle */
    MODE_NARROW = 1, /* label two thirds, input one third */
    MODE_WIDE = 2    /* label one third, input two thirds */
  };

  /*
  ** Shrinks the area by the spacing on every side and puts the first line
  ** at its top.  The label width is a third of the usable width minus one
  ** spacing.  Returns false when nothing of the area remains.
  */
  bool Begin(const ParamRect& area);

  /* The rectangle the next line takes. */
  const ParamRect& CurrentLine() const { return m_current; }
  /* Width of a label in the current layout. */
  int LabelWidth() const { return m_labelWidth; }
  /* Moves the current line rectangle down by one line. */
  void Advance();

  /*
  ** Returns the label and input places of a line in the given mode.  In
  ** MODE_NARROW the label takes twice the label width from the left and the
  ** input one label width at the right; MODE_WIDE is the other way round;
  ** MODE_SPLIT divides at the middle with 5 pixels free on either side.
  */
  static ParamLinePlaces Split(Mode mode, const ParamRect& line, int labelWidth);

 private:
  ParamRect m_current;
  int m_labelWidth = 0;
};

#endif
