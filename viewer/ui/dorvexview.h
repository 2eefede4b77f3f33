/*
** CDorvexView: the grid view of one open database document.  It owns the
** document, runs every query through the document off the window thread,
** shows the result in a ResultGrid, and carries the grid's commands (copy,
** sorting, paging, table walk, refresh, the repeat timer, file
** information, lock, re-open, the text rule, Edit Row...).
**
** Protocol: make a view, call Open with a path (a database or a view
** state); on success add it to a window and call FirstShow, which shows the
** first table (or the view state's query).  While a query runs the view is
** busy: IsBusy is true, commands that would run another query are
** disabled (CommandEnabled), Cancel (Esc) stops the run and the window
** keeps answering.  Each run fills a fresh result; the grid, the result
** and the column set change only when the run succeeds.  A failed run
** shows the engine's message in an "SQLite Error" box that does not block
** (so no tick, drop or close can run under it) and leaves the grid as it
** was; a failure in a repeat-timer run also stops the timer, so it is
** reported once.  Every change the main window shows (enabled commands,
** title, paging text, busy time, notices) is announced by StateChanged.
**
** Edit Row... (Enter, or a double-click on a row) shows the current row in
** the row dialog of the RowEditor and, when the user wrote it, runs the
** query again.  The row is picked out by its table's key columns when the
** result holds them, else by the rowid fetched with the page; results that
** are not rows of one table (views, joins, aggregates) leave it disabled.
** While the dialog is up the document is busy and the view takes no query,
** tick or close.
**
** Results larger than the row bound (settings view/maxrows, default
** 1,000,000 rows, and view/maxmb, default 512 MiB of text) stop at the
** bound; Notice then says that more rows exist and paging shows them.
*/
#ifndef DORVEXVIEW_H
#define DORVEXVIEW_H

#include "dorvexcommands.h"
#include "roweditor.h"
#include "rowsource.h"
#include "viewquerystate.h"
#include "xb_sqliteresult.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class CDorvexDoc;
class DorvexDocHost;
class QueryRunner;
class ResultGrid;
class XB_SettingsAccess;
enum class QueryRunKind;
struct DropAction;

class CDorvexView : public QWidget {
  Q_OBJECT
 public:
  /* Where a run came from: a failure in a timer run stops the timer. */
  enum RunOrigin { RO_COMMAND, RO_TIMER };

  /* Defaults of the row bound (settings view/maxrows and view/maxmb). */
  static constexpr int32_t kDefaultMaxRows = 1000000;
  static constexpr int32_t kDefaultMaxMegabytes = 512;

  /* Completion of a run: true when it succeeded. */
  using RunDone = std::function<void(bool)>;

  /* SETTINGS gives the preferences; HOST answers the document's questions. */
  CDorvexView(XB_SettingsAccess& settings, DorvexDocHost* host, QWidget* parent = nullptr);
  ~CDorvexView() override;

  /* Opens PATH, a database file or (with ASSTATE, or by its extension
  ** "dvxs") a view state.  Returns false with the reason in *ERROR. */
  bool Open(const QString& path, QString* error, bool asState = false);

  /* Shows the first table, or the query of the view state the view was
  ** opened from (with its repeat interval). */
  void FirstShow();

  ResultGrid* Grid() const { return m_grid; }

  /* The document's title: file, engine, query (or the state's name). */
  QString Title() const { return m_title; }

  /* The paging text of the status bar ("0+100"). */
  QString PagingText() const;

  /* True while a query runs, and for how long it has run. */
  bool IsBusy() const { return m_busy; }
  qint64 BusyMilliseconds() const { return m_busy ? m_busyClock.elapsed() : 0; }

  /* Notice about the last result (rows left out by the row bound), or "". */
  QString Notice() const { return m_notice; }

  /* The current query text. */
  QString CurrentQuery() const;

  /* The document, or null before Open succeeded. */
  CDorvexDoc* Document() const { return m_document.get(); }

  /* Asks the document whether it may close (an open transaction is
  ** committed or rolled back, or the user keeps it).  False keeps it. */
  bool CanClose();

  /* The view-state file the view was opened from or last saved as, or "". */
  QString StatePath() const { return m_statePath; }
  void SetStatePath(const QString& path) { m_statePath = path; }

  /* The repeat timer's period in milliseconds, 0 while none runs. */
  qint64 RepeatMilliseconds() const;

  /* Whether COMMAND can run now, and for check commands whether it is on. */
  bool CommandEnabled(DorvexCommand command) const;
  bool CommandChecked(DorvexCommand command) const;

  /* Runs COMMAND (a grid command) if it is enabled. */
  void Execute(DorvexCommand command);

  /* Runs TEXT as a custom query: stops the repeat timer, leaves the table
  ** list, runs TEXT (the current query when empty) and tells the query bar.
  ** Refused (false) while busy. */
  bool RunCustomQuery(const QString& text, RunDone done = {});

  /* Stops the running query, if any. */
  void Cancel();

  /* Replaces the editor Edit Row uses (the row dialog by default). */
  void SetRowEditor(std::unique_ptr<RowEditor> editor) { m_rowEditor = std::move(editor); }

  /* True while the row dialog is up. */
  bool IsEditing() const { return m_editing; }

  /* Repeats the current query every PERIODMS milliseconds (capped at one
  ** day; 0 or less stops repeating).  Auto Update and a restored state use
  ** it with their interval in seconds. */
  void StartRepeating(qint64 periodMs);

 signals:
  /* Something the main window shows has changed. */
  void StateChanged();
  /* The view ran QUERY; HISTORY tells whether the query bar keeps it. */
  void QueryShown(const QString& query, bool history);
  /* A run started, and a run ended (OK tells whether it succeeded). */
  void RunStarted();
  void RunFinished(bool ok);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  /* The one path by which SQL reaches the document; see the class comment.
  ** TEXT null runs the current query again.  NOTIFY: 0 nobody, 1 the
  ** query bar with history, 2 without.  Returns false when refused. */
  bool RunQuery(const QString* text, QueryRunKind kind, bool rebuildColumns, int notify,
                RunOrigin origin, RunDone done = {});
  void OnRunFinished(bool rebuildColumns, int notify, RunOrigin origin, RunDone done);
  bool ShowTable(int index);
  void Refresh(RunOrigin origin);
  void OnSortRequested(int column, bool ascending);
  void Page(bool forward);
  void NextTable();
  void PreviousTable();
  void ToggleAutoUpdate();
  void ApplyRowBound();
  void SyncTextRule();
  void HandleDroppedFiles(const QStringList& paths);
  void RunDropActions(std::vector<DropAction> actions, size_t next);
  void StopRepeat();
  void OnRepeatTimer();
  void CopySelection();
  void FileInfo();
  void ReOpen();
  void ShowError(const QString& message);
  void EditRow();
  std::vector<bool> IntegerColumns(const XB_SQLiteResult& result) const;

  XB_SettingsAccess& m_settings;
  DorvexDocHost* m_host;
  std::unique_ptr<CDorvexDoc> m_document;
  std::unique_ptr<QueryRunner> m_runner;
  ViewQueryState m_state;
  ResultGrid* m_grid;
  XB_SQLiteResult m_result;
  int m_hiddenColumns = 0; /* leading columns of m_result the grid leaves out (the rowid) */
  RowIdentity m_rowIdentity;
  std::unique_ptr<RowEditor> m_rowEditor;
  bool m_editing = false;
  QString m_title;
  QString m_notice;
  QString m_statePath;
  QTimer m_repeatTimer;
  qint64 m_repeatMs = 0;
  QElapsedTimer m_busyClock;
  bool m_busy = false;
};

#endif
