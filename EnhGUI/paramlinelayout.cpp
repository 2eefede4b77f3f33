/*
** Layout arithmetic of the generated dialogs; see paramlinelayout.h.
*/
#include "paramlinelayout.h"

/*
** Shrinks the area by the spacing on every side and puts the first line
** at its top.  The label width is a third of the usable width minus one
** spacing.  Returns false when nothing of the area remains.
*/
bool ParamLineLayout::Begin(const ParamRect& area) {
  ParamRect inner{area.left + kSpacing, area.top + kSpacing, area.right - kSpacing,
                  area.bottom - kSpacing};
  m_current = ParamRect{inner.left, inner.top, inner.right, inner.top + kControlHeight};
  m_labelWidth = (inner.Width() - kSpacing) / 3;
  if (m_labelWidth < 0) m_labelWidth = 0;
  return inner.Width() > 0 && inner.Height() > 0;
}

/*
** Moves the current line one line height down.
*/
void ParamLineLayout::Advance() {
  m_current.top += kLineHeight;
  m_current.bottom += kLineHeight;
}

/*
** Returns the label and input places of a line in the given mode.  In
** MODE_NARROW the label takes twice the label width from the left and the
** input one label width at the right; MODE_WIDE is the other way round;
** MODE_SPLIT divides at the middle with 5 pixels free on either side.
*/
ParamLinePlaces ParamLineLayout::Split(Mode mode, const ParamRect& line, int labelWidth) {
  ParamLinePlaces places;
  places.label = line;
  places.input = line;
  switch (mode) {
    case MODE_NARROW:
      places.label.right = line.left + 2 * labelWidth;
      places.input.left = line.right - labelWidth;
      break;
    case MODE_WIDE:
      places.label.right = line.left + labelWidth;
      places.input.left = line.right - 2 * labelWidth;
      break;
    case MODE_SPLIT: {
      int middle = (line.left + line.right) / 2;
      places.label.right = middle - 5;
      places.input.left = middle + 5;
      break;
    }
  }
  return places;
}
