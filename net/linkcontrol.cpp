/*
** The link label.
*/
#include "linkcontrol.h"

#include "filemanager.h"

#include <QMouseEvent>

LinkControl::LinkControl(const QString& text, QWidget* parent)
    : QLabel(text, parent), m_opener(&OpenAddress) {
  setCursor(Qt::PointingHandCursor);
  setTextFormat(Qt::PlainText);
  Restyle();
}

void LinkControl::SetColours(const QColor& link, const QColor& visited, const QColor& hover) {
  m_link = link;
  m_visitedColour = visited;
  m_hover = hover;
  Restyle();
}

void LinkControl::SetVisited(bool visited) {
  m_visited = visited;
  Restyle();
}

void LinkControl::SetUnderline(bool underline) {
  m_underline = underline;
  Restyle();
}

void LinkControl::SetAutoSize(bool autoSize) {
  m_autoSize = autoSize;
  Restyle();
}

QColor LinkControl::CurrentColour() const {
  if (m_hovering) return m_hover.isValid() ? m_hover : palette().color(QPalette::Highlight);
  return m_visited ? m_visitedColour : m_link;
}

void LinkControl::Restyle() {
  QFont f = font();
  f.setUnderline(m_underline);
  setFont(f);
  QPalette p = palette();
  p.setColor(QPalette::WindowText, CurrentColour());
  setPalette(p);
  setSizePolicy(m_autoSize ? QSizePolicy::Fixed : QSizePolicy::Preferred, QSizePolicy::Fixed);
  if (m_autoSize) adjustSize();
  update();
}

void LinkControl::enterEvent(QEnterEvent* event) {
  m_hovering = true;
  Restyle();
  QLabel::enterEvent(event);
}

void LinkControl::leaveEvent(QEvent* event) {
  m_hovering = false;
  Restyle();
  QLabel::leaveEvent(event);
}

void LinkControl::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
  QString address = Address();
  if (!m_opener || !m_opener(address)) return;
  SetVisited(true);
  emit opened(address);
}
