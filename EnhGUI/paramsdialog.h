/*
** ParamsDialog: a window that shows a parameter set as generated lines
** (ParamLines) above a strip of buttons and runs it modally.  OK saves
** the lines into the set, Cancel and closing the window leave the set as
** it was.  The row editor derives from it and brings its own buttons.
*/
#ifndef PARAMSDIALOG_H
#define PARAMSDIALOG_H

#include "paramlines.h"
#include "paramsdialoglayout.h"
#include "qtparamcontrols.h"
#include "xb_string.h"

#include <QDialog>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QScrollArea;
class XB_ParameterSetAuto;

class ParamsDialog : public QDialog {
  Q_OBJECT
 public:
  /*
  ** A dialog for set.  The title is title, else the set's name, else
  ** "Dialog".  The dialog has no owner window unless parent is given.
  */
  ParamsDialog(XB_ParameterSetAuto& set, const XB_String& title, QWidget* parent = nullptr);
  /* The lines go before the controls they draw through. */
  ~ParamsDialog() override;

  /*
  ** Shows the set, runs the dialog until the user ends it and hides it
  ** again.  Returns 1 when the user confirmed with OK, otherwise 0.
  */
  virtual int DoModal();

  /*
  ** Called by OK after the lines were saved into the set; returns false
  ** with a message to keep the dialog open (a write that failed), and the
  ** user can correct the values or cancel.
  */
  using AcceptHandler = std::function<bool(QString* message)>;
  void SetAcceptHandler(AcceptHandler handler) { m_acceptHandler = std::move(handler); }
  /* Makes the lines of the members KEYS read-only once loaded (BLOBs). */
  void SetReadOnlyKeys(std::vector<XB_String> keys) { m_readOnlyKeys = std::move(keys); }
  /* Shows message in the dialog above the buttons; empty hides it. */
  void ShowMessage(const QString& message);
  /* The message shown, empty when none. */
  QString Message() const;

  /* The lines of the dialog (empty until DoModal or Prepare). */
  ParamLines& Lines() { return m_lines; }
  /* The controls behind the lines. */
  QtParamControls& Controls() { return m_controls; }

  /*
  ** The measures the layout needs, from the widget's style and screen:
  ** the frame of a sizing window is the style's sub-window frame width,
  ** a window's minimum height is a title bar with two frames, an icon is
  ** the style's large icon, a scroll arrow is the scroll bar's extent, and
  ** the maximised area is the screen's available geometry.
  */
  static ParamMetrics CurrentMetrics(const QWidget* widget);

 protected:
  /* Constructor for derived dialogs: withCancel selects the Cancel button,
  ** narrowLines keeps the margin free left and right of the lines. */
  ParamsDialog(XB_ParameterSetAuto& set, const XB_String& title, bool withCancel, bool narrowLines,
               QWidget* parent);

  /*
  ** Sizes the window for the set's members, centres it in the screen's
  ** available area and creates the lines.
  */
  void Prepare();
  /* Fills the lines from the set; the row editor loads its row instead. */
  virtual void LoadValues();
  /* Handles OK: saves the lines into the set and ends with 1. */
  virtual void OnOk();
  /* OK over the left quarter of the strip, Cancel over the right quarter. */
  virtual void PlaceButtons(const ParamsDialogLayout& layout, int width, int height);
  /* Makes a visible push button with the given text and name. */
  QPushButton* MakeButton(const char* text, const char* name);
  /*
  ** Saves the lines into the set, after checking that every changed
  ** value can be held; otherwise shows why, puts the focus on that line
  ** and returns false.
  */
  bool SaveLines();
  /* Puts the keyboard focus on the first line that takes input. */
  void FocusFirstInput();

  /* Follows a change of the window size. */
  void resizeEvent(QResizeEvent* event) override;

  XB_ParameterSetAuto& m_set;
  /* The lines live on a canvas in a scroll area, which scrolls only when
  ** the screen cannot hold them all. */
  QScrollArea* m_scroll;
  QWidget* m_canvas;
  QtParamControls m_controls;
  ParamLines m_lines;
  QPushButton* m_okButton = nullptr;
  QPushButton* m_cancelButton = nullptr;

 private:
  /* Places lines and buttons for the current client size. */
  void ApplyLayout();

  QLabel* m_message;
  AcceptHandler m_acceptHandler;
  std::vector<XB_String> m_readOnlyKeys;
  bool m_narrowLines;
  bool m_prepared = false;
};

#endif
