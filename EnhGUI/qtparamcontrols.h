/*
** QtParamControls: the window-system operations of the generated dialog
** lines (ParamControls) carried out with Qt widgets, as children of one
** parent widget.  Texts cross the boundary as Latin-1.
*/
#ifndef QTPARAMCONTROLS_H
#define QTPARAMCONTROLS_H

#include "paramcontrols.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

class QtParamControls : public QObject, public ParamControls {
  Q_OBJECT
 public:
  /* Receives a control's identifier and what happened to it. */
  using Notifier = std::function<void(int id, ParamControls::Event event)>;

  /* Controls made as children of parent. */
  explicit QtParamControls(QWidget* parent);
  ~QtParamControls() override;

  /* Sets the receiver of the controls' notifications. */
  void SetNotifier(Notifier notifier) { m_notifier = std::move(notifier); }
  /* The widget behind a handle, or null. */
  QWidget* Widget(int control) const;

  int Create(Kind kind, unsigned style, int id, const XB_String& name) override;
  void Destroy(int control) override;
  void Move(int control, const ParamRect& where) override;
  void SetText(int control, const XB_String& text) override;
  XB_String GetText(int control) const override;
  void SetCheck(int control, bool checked) override;
  bool GetCheck(int control) const override;
  bool SetDateTime(int control, const ParamDateTime& when) override;
  ParamDateTime GetDateTime(int control) const override;
  bool BrowseFolder(const XB_String& title, XB_String& path) override;

 private:
  /* Makes the widget of a kind; null for an unknown kind. */
  QWidget* MakeWidget(Kind kind, unsigned style, int id);
  /* Passes a notification on when a receiver is set. */
  void Send(int id, ParamControls::Event event);

  QPointer<QWidget> m_parent;
  std::vector<QPointer<QWidget>> m_widgets;
  Notifier m_notifier;
};

#endif
