/*
** A page of the Preferences window.
*/
#include "prefspage.h"

#include "xb_parametergroup.h"

#include <QResizeEvent>

#include <algorithm>

namespace {

/* The area the lines of COUNT members take at WIDTH: every line fits. */
ParamRect LinesArea(int width, int height, int count) {
  int needed = 2 * ParamLineLayout::kSpacing + count * ParamLineLayout::kLineHeight;
  return ParamRect{0, 0, std::max(width, 1), std::max(height, needed)};
}

}  // namespace

CPrefsPage::CPrefsPage(XB_ParameterGroup& group, QWidget* parent)
    : QWidget(parent), m_group(group), m_controls(this), m_lines(&m_controls) {
  m_controls.SetNotifier([this](int id, ParamControls::Event event) { m_lines.Notify(id, event); });
  m_lines.Create(LinesArea(width(), height(), group.Count()), group);
  m_lines.Exchange(false, group);
}

CPrefsPage::~CPrefsPage() {
  m_lines.Clear();
}

bool CPrefsPage::Store(QString* message) {
  XB_String key, error;
  if (!m_lines.ValuesFit(&key, &error)) {
    ParamLine* line = m_lines.FindLine(key);
    QString label = m_controls.DisplayText(key);
    if (XB_Parameter* member = m_group.Find(key.View()))
      if (member->GetInfo()) label = m_controls.DisplayText(member->GetInfo()->Label());
    if (message) *message = label + QStringLiteral(": ") + QString::fromUtf8(error.c_str());
    if (line)
      if (QWidget* input = m_controls.Widget(line->InputControl())) input->setFocus();
    return false;
  }
  m_lines.Exchange(true, m_group);
  return true;
}

void CPrefsPage::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  m_lines.Relayout(LinesArea(width(), height(), m_group.Count()));
}
