/*
** QtParamControls: the window-system operations of the generated dialog
** lines (ParamControls) carried out with Qt widgets, as children of one
** parent widget.  Texts cross the boundary as Latin-1 unless a text codec
** says how the values' bytes are to be read and written (a database's
** text encoding, for the row dialogs).
*/
#ifndef QTPARAMCONTROLS_H
#define QTPARAMCONTROLS_H

#include "paramcontrols.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

/*
** How the texts of the controls are stored: ToDisplay turns stored bytes
** into UTF-8 for the widgets; ToStored turns UTF-8 back, or returns false
** with the reason when a character has no code in the stored form.
*/
class ParamTextCodec {
 public:
  virtual ~ParamTextCodec() = default;
  virtual std::string ToDisplay(std::string_view stored) const = 0;
  virtual bool ToStored(std::string_view utf8, std::string* stored, std::string* error) const = 0;
};

class QLineEdit;

class QtParamControls : public QObject, public ParamControls {
  Q_OBJECT
 public:
  /* Receives a control's identifier and what happened to it. */
  using Notifier = std::function<void(int id, ParamControls::Event event)>;

  /* Controls made as children of parent. */
  explicit QtParamControls(QWidget* parent);
  /* Destroys every control still alive. */
  ~QtParamControls() override;

  /* Sets the receiver of the controls' notifications. */
  void SetNotifier(Notifier notifier) { m_notifier = std::move(notifier); }
  /* Returns the widget of a handle, or null for an unknown or destroyed one. */
  QWidget* Widget(int control) const;
  /* Returns stored bytes as the widgets show them. */
  QString DisplayText(const XB_String& text) const { return ToQString(text); }
  /* Reads and writes texts through codec (not owned; null: Latin-1). */
  void SetTextCodec(const ParamTextCodec* codec) { m_codec = codec; }

  /*
  ** Creates a control, named after the parameter key (labels and buttons
  ** get a suffix), 100 x 20 pixels at the origin and visible.  Returns its
  ** handle, or 0 without a parent or for an unknown kind.
  */
  int Create(Kind kind, unsigned style, int id, const XB_String& name) override;
  /* Destroys a control; its handle stays unused. */
  void Destroy(int control) override;
  /* Moves a control to a rectangle of the parent. */
  void Move(int control, const ParamRect& where) override;
  /* Sets the text of a label, value text, edit, check box or button. */
  void SetText(int control, const XB_String& text) override;
  /* Returns the text of a label, value text, edit, check box or button. */
  XB_String GetText(int control) const override;
  /* True unless an edit holds a character the codec cannot store. */
  bool TextFits(int control, XB_String* error) const override;
  /* Makes an edit read-only (greyed) or editable again. */
  void SetReadOnly(int control, bool readOnly) override;
  /* Greys an edit and shows "NULL" as its hint while it stands for NULL. */
  void SetNullLook(int control, bool isNull) override;
  /* Ticks or clears a check box. */
  void SetCheck(int control, bool checked) override;
  /* Returns whether a check box is ticked. */
  bool GetCheck(int control) const override;
  /*
  ** Sets a date picker to the date or a time picker to the time of day.
  ** Returns false, leaving the picker alone, for an invalid value.
  */
  bool SetDateTime(int control, const ParamDateTime& when) override;
  /*
  ** Returns the value of a picker: a date picker's date with the time
  ** fields 0, a time picker's time with the date fields at their defaults.
  */
  ParamDateTime GetDateTime(int control) const override;
  /*
  ** Shows the folder browser titled title, starting at path.  File names
  ** are converted with the system's file-name encoding, not as Latin-1 text.
  */
  bool BrowseFolder(const XB_String& title, XB_String& path) override;

 private:
  /*
  ** Makes the widget of a control kind with its style; null for an unknown
  ** kind.
  */
  QWidget* MakeWidget(Kind kind, unsigned style, int id);
  /* Passes a notification on when a receiver is set. */
  void Send(int id, ParamControls::Event event);
  /* Greys an edit while it is read-only or stands for NULL. */
  static void UpdateLook(QLineEdit* edit);
  /* Shows the edit's context menu, with "Set to NULL" added. */
  void ShowNullMenu(QWidget* edit, int id, const QPoint& where);
  /* Stored bytes as a widget text, and back (Latin-1 without codec). */
  QString ToQString(const XB_String& text) const;
  XB_String FromQString(const QString& text) const;

  QPointer<QWidget> m_parent;
  std::vector<QPointer<QWidget>> m_widgets;
  Notifier m_notifier;
  const ParamTextCodec* m_codec = nullptr;
};

#endif
