/*
** CDorvexView: the grid view of one open database document.  It owns the
** document, runs every query through the document's query runner off the
** window thread, shows the result in a ResultGrid, and carries the grid's
** commands (copy, sorting, paging, table walk, refresh, the repeat timer,
** file information, lock, re-open, the text rule).
**
** Protocol: the main window creates a view for a path with Open; on
** success the view has shown its first table (or the view state's query).
** While a query runs the view is busy: IsBusy is true, commands that would
** run another query report themselves disabled (CommandEnabled), Cancel
** stops the run, and the window keeps answering.  Every change the main
** window shows (enabled commands, title, paging text, busy time, notices)
** is announced by StateChanged.  A failed query shows the engine's message
** in an "SQLite Error" box and leaves the grid as it was; a failure in a
** repeat-timer run stops the timer and is reported once.
*/
#ifndef DORVEXVIEW_H
#define DORVEXVIEW_H

#include "dorvexcommands.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>

class ResultGrid;
class QueryJob;
class XB_SettingsAccess;
class QAction;

class CDorvexView : public QWidget {
  Q_OBJECT
 public:
  CDorvexView(XB_SettingsAccess& settings, QWidget* parent = nullptr);
  ~CDorvexView() override;

  ResultGrid* Grid() const { return m_grid; }

  /* Returns the title of the document (file, engine and query). */
  QString Title() const;

  /* Returns the paging text of the status bar ("0+100"). */
  QString PagingText() const;

  /* Returns true while a query runs; ELAPSEDMS is how long it has run. */
  bool IsBusy() const;
  qint64 BusyMilliseconds() const;

  /* Returns the notice the status bar shows about the last result (rows
  ** left out by the row bound), empty when there is none. */
  QString Notice() const { return m_notice; }

  /* Returns whether COMMAND can run now, and for check commands whether it
  ** is checked. */
  bool CommandEnabled(DorvexCommand command) const;
  bool CommandChecked(DorvexCommand command) const;

  /* Runs COMMAND (one of the grid commands) if it is enabled. */
  void Execute(DorvexCommand command);

 signals:
  /* Something the main window shows has changed. */
  void StateChanged();
  /* The view ran QUERY; HISTORY tells whether the query bar should keep it. */
  void QueryShown(const QString& query, bool history);
};

#endif
