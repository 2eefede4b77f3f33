/*
** Window geometry of the generated parameter dialogs; see
** paramsdialoglayout.h.
*/
#include "paramsdialoglayout.h"

#include "paramlinelayout.h"

#include <algorithm>

ParamsDialogLayout::ParamsDialogLayout(const ParamMetrics& metrics, int lineCount)
    : m_metrics(metrics), m_lineCount(std::max(lineCount, 0)) {}

int ParamsDialogLayout::Margin() const {
  return std::max(m_metrics.frameWidth, m_metrics.frameHeight);
}

int ParamsDialogLayout::ContentHeight() const {
  const int line = ParamLineLayout::kLineHeight;
  int minimum = m_metrics.minWindowHeight + m_metrics.iconHeight + 4 * m_metrics.scrollArrowHeight;
  int content = line + 3 * Margin() + line * m_lineCount;
  return std::max(minimum, content);
}

int ParamsDialogLayout::ClientHeight() const {
  int room = m_metrics.maximizedHeight - m_metrics.frameHeight - ParamLineLayout::kLineHeight;
  return std::max(std::min(ContentHeight(), room), 0);
}

int ParamsDialogLayout::CanvasHeight() const {
  return ContentHeight() - (Margin() + ParamLineLayout::kLineHeight);
}

int ParamsDialogLayout::ClientWidth() const {
  return m_metrics.maximizedWidth / 4;
}

ParamRect ParamsDialogLayout::WindowRect() const {
  int width = ClientWidth();
  int height = ClientHeight() + m_metrics.frameHeight + ParamLineLayout::kLineHeight;
  int left = (m_metrics.maximizedWidth - width) / 2;
  int top = (m_metrics.maximizedHeight - height) / 2;
  return ParamRect{left, top, left + width, top + height};
}

ParamRect ParamsDialogLayout::LinesRect(int clientWidth, int clientHeight, bool narrowed) const {
  int inset = narrowed ? Margin() : 0;
  int bottom = clientHeight - (Margin() + ParamLineLayout::kLineHeight);
  return ParamRect{inset, 0, clientWidth - inset, bottom};
}

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
