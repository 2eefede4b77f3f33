/*
** Layout arithmetic of the generated dialogs; see paramlinelayout.h.
*/
#include "paramlinelayout.h"

bool ParamLineLayout::Begin(const ParamRect& area) {
  ParamRect inner{area.left + kSpacing, area.top + kSpacing, area.right - kSpacing,
                  area.bottom - kSpacing};
  m_current = ParamRect{inner.left, inner.top, inner.right, inner.top + kControlHeight};
  m_labelWidth = (inner.Width() - kSpacing) / 3;
  if (m_labelWidth < 0) m_labelWidth = 0;
  return inner.Width() > 0 && inner.Height() > 0;
}

void ParamLineLayout::Advance() {
  m_current.top += kLineHeight;
  m_current.bottom += kLineHeight;
}

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
