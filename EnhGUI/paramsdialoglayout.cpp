/*
** Window geometry of the generated parameter dialogs; see
** paramsdialoglayout.h.
*/
#include "paramsdialoglayout.h"

#include "paramlinelayout.h"

#include <algorithm>

/*
** Remembers the metrics and the number of lines the dialog shows.
*/
ParamsDialogLayout::ParamsDialogLayout(const ParamMetrics& metrics, int lineCount)
    : m_metrics(metrics), m_lineCount(std::max(lineCount, 0)) {}

/*
** Returns the margin, the larger of the two frame measures.
*/
int ParamsDialogLayout::Margin() const {
  return std::max(m_metrics.frameWidth, m_metrics.frameHeight);
}

/*
** Returns the client height: room for a line of space, the lines, the
** button strip and three margins, but never less than a window with an
** icon and four scroll arrows needs.
*/
int ParamsDialogLayout::ClientHeight() const {
  const int line = ParamLineLayout::kLineHeight;
  int minimum = m_metrics.minWindowHeight + m_metrics.iconHeight + 4 * m_metrics.scrollArrowHeight;
  int content = line + 3 * Margin() + line * m_lineCount;
  return std::max(minimum, content);
}

/*
** Returns the client width, a quarter of the maximised area.
*/
int ParamsDialogLayout::ClientWidth() const {
  return m_metrics.maximizedWidth / 4;
}

/*
** Returns the window rectangle: the client height plus one frame and a
** caption of one line height, centred in the maximised area.
*/
ParamRect ParamsDialogLayout::WindowRect() const {
  int width = ClientWidth();
  int height = ClientHeight() + m_metrics.frameHeight + ParamLineLayout::kLineHeight;
  int left = (m_metrics.maximizedWidth - width) / 2;
  int top = (m_metrics.maximizedHeight - height) / 2;
  return ParamRect{left, top, left + width, top + height};
}

/*
** Returns the rectangle the lines are laid out in: the client area less
** the button strip and its margin at the bottom.
*/
ParamRect ParamsDialogLayout::LinesRect(int clientWidth, int clientHeight, bool narrowed) const {
  int inset = narrowed ? Margin() : 0;
  int bottom = clientHeight - (Margin() + ParamLineLayout::kLineHeight);
  return ParamRect{inset, 0, clientWidth - inset, bottom};
}

/*
** Returns one quarter of the button strip; quarters outside 0 to 3 are
** clamped.
*/
ParamRect ParamsDialogLayout::ButtonRect(int quarter, int clientWidth, int clientHeight) const {
  quarter = std::clamp(quarter, 0, 3);
  int left = Margin();
  int right = clientWidth - Margin();
  int bottom = clientHeight - Margin();
  int top = bottom - ParamLineLayout::kLineHeight;
  int quarterWidth = (right - left) / 4;
  if (quarter == 3) {
    return ParamRect{right - quarterWidth, top, right, bottom};
  }
  return ParamRect{left + quarter * quarterWidth, top, left + (quarter + 1) * quarterWidth, bottom};
}
