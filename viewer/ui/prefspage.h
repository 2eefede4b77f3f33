/*
** CPrefsPage: one page of the Preferences window, the generated lines of
** one settings group (one line per parameter) on a widget of its own.
** Made when its group is shown, filled from the group, and asked to store
** its lines back into the group before it goes.
*/
#ifndef PREFSPAGE_H
#define PREFSPAGE_H

#include "paramlines.h"
#include "qtparamcontrols.h"

#include <QWidget>

class XB_ParameterGroup;

class CPrefsPage : public QWidget {
  Q_OBJECT
 public:
  /* Makes the lines of GROUP (which must outlive the page) on PARENT. */
  CPrefsPage(XB_ParameterGroup& group, QWidget* parent);
  /* The lines go before the controls they draw through. */
  ~CPrefsPage() override;

  /* Stores every changed line into the group.  Returns false, storing
  ** nothing, with the reason in MESSAGE when a value cannot be held (the
  ** focus is then on that line). */
  bool Store(QString* message);

  /* The lines, for tests. */
  ParamLines& Lines() { return m_lines; }
  QtParamControls& Controls() { return m_controls; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  XB_ParameterGroup& m_group;
  QtParamControls m_controls;
  ParamLines m_lines;
};

#endif
