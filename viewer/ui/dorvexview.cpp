/*
** The grid view: runs, commands, the repeat timer and drops.
*/
#include "dorvexview.h"

#include "dorvexdoc.h"
#include "dorvexoptions.h"
#include "queryrunner.h"
#include "repeatinterval.h"
#include "resultgrid.h"
#include "xb_parameterinfo.h"
#include "xb_settingsaccess.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QUrl>
#include <QVBoxLayout>

namespace {

/* Returns TEXT as UTF-8 bytes for the document. */
std::string Utf8(const QString& text) {
  return text.toStdString();
}

}  // namespace

CDorvexView::CDorvexView(XB_SettingsAccess& settings, DorvexDocHost* host, QWidget* parent)
    : QWidget(parent),
      m_settings(settings),
      m_host(host),
      m_grid(new ResultGrid(this)),
      m_rowEditor(MakeDialogRowEditor()) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_grid);
  setFocusProxy(m_grid);
  setAcceptDrops(true);
  m_repeatTimer.setSingleShot(true);
  connect(&m_repeatTimer, &QTimer::timeout, this, &CDorvexView::OnRepeatTimer);
  connect(m_grid, &ResultGrid::SortRequested, this, &CDorvexView::OnSortRequested);
  connect(m_grid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &CDorvexView::StateChanged);
  connect(m_grid, &ResultGrid::RowActivated, this, [this] { Execute(DorvexCommand::EditRow); });
}

CDorvexView::~CDorvexView() {
  // The runner's thread uses the document: it is cancelled and joined
  // before the document goes.
  m_runner.reset();
}

bool CDorvexView::Open(const QString& path, QString* error, bool asState) {
  if (asState && !IsStateFilePath(path)) {
    *error = QStringLiteral("%1 is not a view-state file (.dvxs).").arg(path);
    return false;
  }
  auto document = std::make_unique<CDorvexDoc>(m_host, &m_settings);
  if (!document->OnOpenDocument(Utf8(path))) {
    *error = QString::fromStdString(document->LastError());
    return false;
  }
  m_document = std::move(document);
  m_runner = std::make_unique<QueryRunner>(*m_document);
  m_title = QString::fromStdString(m_document->Title());
  SyncTextRule();
  return true;
}

void CDorvexView::SyncTextRule() {
  m_grid->GridModel()->SetLatin1(m_document->TextEncoding() == XB_TEXT_LATIN1);
}

void CDorvexView::FirstShow() {
  if (!m_document) return;
  m_state.tableIndex = 0;
  if (const StateToApply* pending = m_document->PendingState()) {
    QString query = QString::fromStdString(pending->query);
    int32_t interval = pending->runOnce ? 0 : pending->interval;
    m_statePath = QString::fromStdString(pending->path);
    m_document->ClearPendingState();
    RunCustomQuery(query, [this, interval](bool ok) {
      if (ok && interval > 0) StartRepeating(RepeatInterval::Milliseconds(interval));
    });
    return;
  }
  ShowTable(0);
}

QString CDorvexView::CurrentQuery() const {
  return QString::fromStdString(m_state.currentQuery);
}

QString CDorvexView::PagingText() const {
  return QString::fromStdString(PagingStatusText(m_state.offset, m_state.limit));
}

qint64 CDorvexView::RepeatMilliseconds() const {
  return m_repeatMs;
}

bool CDorvexView::CanClose() {
  if (!m_document) return true;
  // The row dialog works on the document: it ends first.
  if (m_editing) return false;
  if (m_busy) m_runner->Cancel();
  m_runner->Wait();
  return m_document->CanClose();
}

void CDorvexView::ApplyRowBound() {
  int64_t rows = m_settings.ReadInt("view/maxrows", kDefaultMaxRows);
  int64_t megabytes = m_settings.ReadInt("view/maxmb", kDefaultMaxMegabytes);
  m_runner->SetBounds(rows > 0 ? rows : 0, megabytes > 0 ? megabytes * 1024 * 1024 : 0);
}

bool CDorvexView::RunQuery(const QString* text, QueryRunKind kind, bool rebuildColumns, int notify,
                           RunOrigin origin, RunDone done) {
  if (!m_document || m_busy || m_editing) return false;
  std::optional<std::string_view> query;
  std::string utf8;
  if (text) {
    utf8 = Utf8(*text);
    query = utf8;
  }
  NoteQueryRun(m_state, query);
  ApplyRowBound();
  // The outcome is handed to the window thread; a view that is gone by
  // then has joined the run in its destructor and gets nothing.
  QPointer<CDorvexView> self(this);
  auto finished = [self, rebuildColumns, notify, origin, done] {
    QMetaObject::invokeMethod(
        qApp,
        [self, rebuildColumns, notify, origin, done] {
          if (self) self->OnRunFinished(rebuildColumns, notify, origin, done);
        },
        Qt::QueuedConnection);
  };
  bool withRowId = kind != QueryRunKind::Script;
  if (!m_runner->Start(m_state.currentQuery, kind, finished, withRowId)) return false;
  m_busy = true;
  m_busyClock.start();
  emit RunStarted();
  emit StateChanged();
  return true;
}

void CDorvexView::OnRunFinished(bool rebuildColumns, int notify, RunOrigin origin, RunDone done) {
  std::optional<QueryOutcome> outcome = m_runner->TakeOutcome();
  if (!outcome) return;
  m_busy = false;
  m_title = QString::fromStdString(m_document->Title());
  NoteQueryReadOnly(m_state, outcome->readOnly);
  bool ok = outcome->ok;
  if (ok && outcome->hasResult) {
    // Only a successful run replaces what the grid shows.
    m_result = std::move(outcome->result);
    m_hiddenColumns = outcome->rowIdColumn ? 1 : 0;
    m_rowIdentity = m_document->IdentifyRows(m_state.currentQuery, m_result, outcome->rowIdColumn);
    m_notice =
        outcome->limited
            ? QStringLiteral("Only the first %1 rows are shown; more exist, page on to see them.")
                  .arg(QLocale::c().toString(m_result.Rows()))
            : QString();
    m_grid->ShowResult(m_result, IntegerColumns(m_result), rebuildColumns, m_hiddenColumns);
    if (notify == 1) emit QueryShown(CurrentQuery(), true);
    if (notify >= 2) emit QueryShown(CurrentQuery(), false);
  }
  if (!ok) {
    if (origin == RO_TIMER) StopRepeat();
    if (!outcome->cancelled && !outcome->error.empty())
      ShowError(QString::fromStdString(outcome->error));
  }
  emit StateChanged();
  emit RunFinished(ok);
  if (done) done(ok);
}

void CDorvexView::ShowError(const QString& message) {
  // Shown without an event loop of its own, so no timer tick, drop or close
  // can run under it and delete what it shows; it goes with the view.
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("SQLite Error"), message,
                              QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

std::vector<bool> CDorvexView::IntegerColumns(const XB_SQLiteResult& result) const {
  return m_document->IntegerColumns(TableNameOfQuery(m_state.currentQuery), result,
                                    m_hiddenColumns);
}

bool CDorvexView::ShowTable(int index) {
  std::optional<std::string> name = m_document->TableName(index);
  if (!name || name->empty()) return false;
  m_state.tableIndex = index;
  QString query =
      QString::fromStdString(MakeTableQuery(*name, m_settings.ReadInt("view/limit", 100)));
  return RunQuery(&query, QueryRunKind::Query, true, 1, RO_COMMAND);
}

bool CDorvexView::RunCustomQuery(const QString& text, RunDone done) {
  if (!m_document || m_busy) return false;
  StopRepeat();
  m_state.tableIndex = -1;
  if (text.isEmpty()) return RunQuery(nullptr, QueryRunKind::Query, true, 1, RO_COMMAND, done);
  return RunQuery(&text, QueryRunKind::Query, true, 1, RO_COMMAND, done);
}

void CDorvexView::Refresh(RunOrigin origin) {
  RunQuery(nullptr, QueryRunKind::Rerun, false, 0, origin, [this, origin](bool ok) {
    // The next tick is counted from the end of this run, so ticks never
    // overlap; a failed tick has stopped the timer.
    if (origin == RO_TIMER && ok && m_repeatMs > 0)
      m_repeatTimer.start(static_cast<int>(m_repeatMs));
  });
}

void CDorvexView::OnSortRequested(int column, bool ascending) {
  if (m_busy || m_editing || !m_state.currentReadOnly || column < 0 ||
      column >= m_result.Cols() - m_hiddenColumns)
    return;
  std::vector<std::string> names;
  for (int c = m_hiddenColumns; c < m_result.Cols(); ++c)
    names.push_back(m_result.Cell(c) ? m_document->FromFileText(m_result.Cell(c)) : std::string());
  QString query = QString::fromStdString(
      MakeSortedQuery(m_state.currentQuery, SortTermOf(names, column), ascending));
  RunQuery(&query, QueryRunKind::Rerun, false, 1, RO_COMMAND, [this, column, ascending](bool ok) {
    // A failed sort keeps the arrow where it was.
    if (ok) m_grid->ShowSort(column, ascending);
  });
}

void CDorvexView::Page(bool forward) {
  PagedQuery paged =
      MakePagedQuery(m_state.currentQuery, forward ? PageDirection::Down : PageDirection::Up);
  QString query = QString::fromStdString(paged.text);
  RunQuery(&query, QueryRunKind::Rerun, false, 2, RO_COMMAND);
}

void CDorvexView::NextTable() {
  ShowTable(m_state.tableIndex < 0 ? 0 : m_state.tableIndex + 1);
}

void CDorvexView::PreviousTable() {
  if (m_state.tableIndex > 0) {
    ShowTable(m_state.tableIndex - 1);
    return;
  }
  if (m_state.tableIndex == 0) RunCustomQuery(QString::fromStdString(m_state.lastCustomQuery));
}

void CDorvexView::ToggleAutoUpdate() {
  if (m_repeatMs > 0) {
    StopRepeat();
    return;
  }
  StartRepeating(RepeatInterval::Milliseconds(RepeatInterval::FromPreferences(m_settings)));
}

void CDorvexView::StartRepeating(qint64 periodMs) {
  if (periodMs <= 0) {
    StopRepeat();
    return;
  }
  m_repeatMs = std::min<qint64>(periodMs, RepeatInterval::kMaxMilliseconds);
  m_repeatTimer.start(static_cast<int>(m_repeatMs));
  emit StateChanged();
}

void CDorvexView::StopRepeat() {
  m_repeatTimer.stop();
  m_repeatMs = 0;
  emit StateChanged();
}

void CDorvexView::OnRepeatTimer() {
  if (m_repeatMs <= 0) return;
  if (m_busy || m_editing) {
    // A command's run or the row dialog is under way: the tick waits one
    // more period.
    m_repeatTimer.start(static_cast<int>(m_repeatMs));
    return;
  }
  Refresh(RO_TIMER);
}

void CDorvexView::CopySelection() {
  QString text = m_grid->SelectionText();
  if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void CDorvexView::FileInfo() {
  QString query = QStringLiteral("SELECT * FROM sqlite_master");
  RunQuery(&query, QueryRunKind::Query, true, 1, RO_COMMAND);
}

void CDorvexView::ReOpen() {
  StopRepeat();
  if (!m_document->ReOpen()) {
    ShowError(QString::fromStdString(m_document->LastError()));
    return;
  }
  m_title = QString::fromStdString(m_document->Title());
  SyncTextRule();
  RunCustomQuery(QString());
}

void CDorvexView::Cancel() {
  if (m_busy && m_runner) m_runner->Cancel();
}

bool CDorvexView::CommandEnabled(DorvexCommand command) const {
  if (!m_document) return false;
  switch (command) {
    case DorvexCommand::Copy:
      return m_grid->HasSelection();
    case DorvexCommand::SelectAll:
      return m_grid->model()->rowCount() > 0;
    case DorvexCommand::Stop:
      return m_busy;
    case DorvexCommand::AutoUpdate:
      // Locked, a running repeat can still be stopped but no new one begins.
      return !m_editing && (m_repeatMs > 0 || (!m_document->Locked() && m_state.currentReadOnly));
    default:
      break;
  }
  if (m_busy || m_editing) return false;
  switch (command) {
    case DorvexCommand::EditRow:
      return m_rowIdentity.Usable() && m_grid->currentIndex().isValid();
    case DorvexCommand::NextTable:
      return CanGoNextTable(m_state, m_document->TableCount());
    case DorvexCommand::PreviousTable:
      return CanGoPreviousTable(m_state);
    case DorvexCommand::OffsetDown:
      return m_state.currentReadOnly && m_state.limit > 0;
    case DorvexCommand::OffsetUp:
      return m_state.currentReadOnly && m_state.limit >= 1 && m_state.offset >= 1;
    case DorvexCommand::Refresh:
      return m_state.currentReadOnly;
    case DorvexCommand::Latin1Text:
    case DorvexCommand::SaveAsSqlite3:
      return m_document->Version() > 0 && m_document->Version() < 3.0;
    case DorvexCommand::FileInfo:
    case DorvexCommand::ReOpen:
    case DorvexCommand::LockFile:
      return true;
    default:
      return false;
  }
}

bool CDorvexView::CommandChecked(DorvexCommand command) const {
  if (!m_document) return false;
  switch (command) {
    case DorvexCommand::AutoUpdate:
      return m_repeatMs > 0;
    case DorvexCommand::LockFile:
      return m_document->Locked();
    case DorvexCommand::Latin1Text:
      return m_document->TextEncoding() == XB_TEXT_LATIN1;
    default:
      return false;
  }
}

void CDorvexView::Execute(DorvexCommand command) {
  if (!CommandEnabled(command)) return;
  switch (command) {
    case DorvexCommand::Copy:
      CopySelection();
      break;
    case DorvexCommand::SelectAll:
      m_grid->selectAll();
      break;
    case DorvexCommand::NextTable:
      NextTable();
      break;
    case DorvexCommand::PreviousTable:
      PreviousTable();
      break;
    case DorvexCommand::AutoUpdate:
      ToggleAutoUpdate();
      break;
    case DorvexCommand::Refresh:
      Refresh(RO_COMMAND);
      break;
    case DorvexCommand::ReOpen:
      ReOpen();
      break;
    case DorvexCommand::LockFile:
      m_document->SetLocked(!m_document->Locked());
      break;
    case DorvexCommand::FileInfo:
      FileInfo();
      break;
    case DorvexCommand::OffsetUp:
      Page(false);
      break;
    case DorvexCommand::OffsetDown:
      Page(true);
      break;
    case DorvexCommand::Stop:
      Cancel();
      break;
    case DorvexCommand::EditRow:
      EditRow();
      break;
    case DorvexCommand::Latin1Text:
      m_document->SetTextEncoding(m_document->TextEncoding() == XB_TEXT_LATIN1 ? XB_TEXT_UTF8
                                                                               : XB_TEXT_LATIN1);
      SyncTextRule();
      m_title = QString::fromStdString(m_document->Title());
      break;
    default:
      break;
  }
  emit StateChanged();
}

void CDorvexView::EditRow() {
  int row = m_grid->currentIndex().row();
  std::string where = RowCondition(m_rowIdentity, m_result, row);
  if (where.empty()) {
    ShowError(
        QStringLiteral("This row cannot be picked out: its key is NULL and no rowid was "
                       "read with it."));
    return;
  }
  std::string error;
  bool written = false;
  m_editing = true;
  emit StateChanged();
  bool reached = m_document->WithConnection([&](XB_SQLiteDB& db) {
    written = m_rowEditor->EditRow(db, m_rowIdentity.table, where, this, &error);
    return true;
  });
  m_editing = false;
  if (!reached)
    error = m_document->LastError();
  else if (!error.empty())
    error = m_document->FromFileText(error);
  if (!error.empty()) ShowError(QString::fromStdString(error));
  emit StateChanged();
  if (!written) return;
  // The grid shows the row as written; the cursor stays on it.
  RunQuery(nullptr, QueryRunKind::Rerun, false, 0, RO_COMMAND, [this, row](bool ok) {
    if (ok && row < m_grid->model()->rowCount()) m_grid->selectRow(row);
  });
}

void CDorvexView::closeEvent(QCloseEvent* event) {
  // An open transaction is committed, rolled back or keeps the window.
  if (CanClose())
    event->accept();
  else
    event->ignore();
}

void CDorvexView::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CDorvexView::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  // Handled once the drop has ended, never inside the drag machinery.
  QTimer::singleShot(0, this, [this, paths] { HandleDroppedFiles(paths); });
}

void CDorvexView::HandleDroppedFiles(const QStringList& paths) {
  if (!m_document || m_busy) return;
  std::vector<std::string> files;
  for (const QString& path : paths) files.push_back(Utf8(path));
  std::vector<DropAction> actions = m_document->DropFiles(files);
  QString error = QString::fromStdString(m_document->LastError());
  if (actions.empty()) {
    if (!error.isEmpty()) ShowError(error);
    return;
  }
  RunDropActions(std::move(actions), 0);
}

void CDorvexView::RunDropActions(std::vector<DropAction> actions, size_t next) {
  if (next >= actions.size()) return;
  DropAction action = actions[next];
  // Each action runs when the one before has ended: one run at a time.
  auto then = [this, actions, next](bool) { RunDropActions(actions, next + 1); };
  QString sql = QString::fromStdString(action.sql);
  switch (action.kind) {
    case DropAction::ApplyState:
      m_title = QString::fromStdString(m_document->Title());
      SyncTextRule();
      FirstShow();
      return;
    case DropAction::RunQuery:
      RunQuery(&sql, QueryRunKind::Query, true, 0, RO_COMMAND, then);
      return;
    case DropAction::RunScript: {
      // The script runs once; the view's query stays what it was.
      ViewQueryState kept = m_state;
      RunQuery(&sql, QueryRunKind::Script, true, 0, RO_COMMAND, [this, kept, then](bool ok) {
        m_state = kept;
        emit StateChanged();
        then(ok);
      });
      return;
    }
  }
}
