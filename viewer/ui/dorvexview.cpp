/*
** The grid view: runs, commands, the repeat timer and drops.
*/
#include "dorvexview.h"

#include "gridtext.h"
#include "queryworker.h"
#include "repeatinterval.h"
#include "resultgrid.h"
#include "viewdocument.h"
#include "xb_settingsaccess.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>
#include <QVBoxLayout>

CDorvexView::CDorvexView(XB_SettingsAccess& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_grid(new ResultGrid(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_grid);
  setFocusProxy(m_grid);
  setAcceptDrops(true);
  m_repeatTimer.setSingleShot(true);
  connect(&m_repeatTimer, &QTimer::timeout, this, &CDorvexView::OnRepeatTimer);
  connect(m_grid, &ResultGrid::SortRequested, this, &CDorvexView::OnSortRequested);
  connect(m_grid, &ResultGrid::RowActivated, this, [this] { emit EditRowRequested(); });
  connect(m_grid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &CDorvexView::StateChanged);
}

CDorvexView::~CDorvexView() {
  // The worker uses the document: stop it before either goes.
  if (m_worker) m_worker->CancelAndWait();
}

bool CDorvexView::Open(const QString& path, QString* error, bool asState) {
  auto document = std::make_unique<ViewDocument>(m_settings);
  if (!document->Open(path, error, asState)) return false;
  m_document = std::move(document);
  m_worker = std::make_unique<QueryWorker>(*m_document);
  m_title = m_document->Title();
  m_grid->GridModel()->SetLatin1(m_document->IsLatin1());
  return true;
}

void CDorvexView::FirstShow() {
  if (!m_document) return;
  m_document->State().tableIndex = 0;
  if (m_document->HasStateToApply()) {
    QString query = m_document->StateQuery();
    int64_t interval = m_document->StateInterval();
    m_document->ClearStateToApply();
    RunCustomQuery(query, [this, interval](bool ok) {
      if (ok && interval > 0) StartRepeating(RepeatInterval::Milliseconds(interval));
    });
    return;
  }
  ShowTable(0);
}

QString CDorvexView::CurrentQuery() const {
  return m_document ? m_document->CurrentQuery() : QString();
}

QString CDorvexView::PagingText() const {
  return m_document ? m_document->PagingText() : QString();
}

qint64 CDorvexView::RepeatMilliseconds() const {
  return m_repeatMs;
}

bool CDorvexView::RunQuery(const QString* text, bool rebuildColumns, int notify, RunOrigin origin,
                           RunDone done) {
  if (!m_document || m_busy) return false;
  m_document->NoteQueryRun(text);
  m_busy = true;
  m_busyClock.start();
  emit StateChanged();
  emit RunStarted();
  m_worker->Start(m_document->CurrentQuery(), CurrentRowBound(),
                  [this, rebuildColumns, notify, origin, done](bool ok) {
                    OnRunFinished(ok, rebuildColumns, notify, origin, done);
                  });
  return true;
}

void CDorvexView::OnRunFinished(bool ok, bool rebuildColumns, int notify, RunOrigin origin,
                                RunDone done) {
  m_busy = false;
  m_title = m_document->Title();
  if (ok) {
    m_result = m_worker->TakeResult();
    m_notice = m_worker->WasLimited()
                   ? QStringLiteral("Only the first %1 rows are shown; page on to see more.")
                         .arg(QLocale::c().toString(static_cast<qlonglong>(m_result.Rows())))
                   : QString();
    m_grid->ShowResult(m_result, IntegerColumns(m_result), rebuildColumns);
    if (notify == 1) emit QueryShown(CurrentQuery(), true);
    if (notify >= 2) emit QueryShown(CurrentQuery(), false);
  } else {
    QString message = m_worker->Cancelled() ? QString() : m_document->LastError();
    if (origin == RO_TIMER) StopRepeat();
    if (!message.isEmpty()) ShowError(message);
  }
  emit StateChanged();
  emit RunFinished(ok);
  if (done) done(ok);
}

void CDorvexView::ShowError(const QString& message) {
  // Not modal in the blocking sense: the box has no event loop of its own,
  // so a timer tick, a drop or a close cannot run while it is up and delete
  // what it shows; it goes with the view.
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("SQLite Error"), message,
                              QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setObjectName(QStringLiteral("SQLiteError"));
  box->open();
}

std::vector<bool> CDorvexView::IntegerColumns(const XB_SQLiteResult& result) const {
  std::vector<bool> columns;
  for (int c = 0; c < result.Cols(); ++c)
    columns.push_back(m_document->IsIntegerColumn(CurrentQuery(), result.Cell(c)));
  return columns;
}

bool CDorvexView::ShowTable(int index) {
  QString name = m_document->TableName(index);
  if (name.isEmpty()) return false;
  m_document->State().tableIndex = index;
  QString query = m_document->TableQuery(name);
  return RunQuery(&query, true, 1, RO_COMMAND);
}

bool CDorvexView::RunCustomQuery(const QString& text, RunDone done) {
  if (!m_document || m_busy) return false;
  StopRepeat();
  m_document->State().tableIndex = -1;
  if (text.isEmpty()) return RunQuery(nullptr, true, 1, RO_COMMAND, std::move(done));
  return RunQuery(&text, true, 1, RO_COMMAND, std::move(done));
}

void CDorvexView::Refresh(RunOrigin origin) {
  RunQuery(nullptr, false, 0, origin, [this, origin](bool ok) {
    // The next tick is counted from the end of this run, so ticks never
    // overlap; a failed tick has stopped the timer.
    if (origin == RO_TIMER && ok && m_repeatMs > 0)
      m_repeatTimer.start(static_cast<int>(m_repeatMs));
  });
}

void CDorvexView::OnSortRequested(int column, bool ascending) {
  if (m_busy || column < 0 || column >= m_result.Cols()) return;
  QString query = m_document->SortedQuery(m_result.Cell(column), column, ascending);
  RunQuery(&query, false, 1, RO_COMMAND, [this, column, ascending](bool ok) {
    if (ok) m_grid->ShowSort(column, ascending);
  });
}

void CDorvexView::Page(bool forward) {
  QString query = m_document->PagedQuery(forward);
  RunQuery(&query, false, 2, RO_COMMAND);
}

void CDorvexView::NextTable() {
  int next = m_document->State().tableIndex + 1;
  ShowTable(next < 0 ? 0 : next);
}

void CDorvexView::PreviousTable() {
  int index = m_document->State().tableIndex;
  if (index > 0) {
    ShowTable(index - 1);
    return;
  }
  if (index == 0) RunCustomQuery(m_document->LastCustomQuery());
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
  if (m_busy) {
    // Another run is under way (a command): try again a period later.
    m_repeatTimer.start(static_cast<int>(m_repeatMs));
    return;
  }
  Refresh(RO_TIMER);
}

void CDorvexView::CopySelection() {
  QString text = m_grid->SelectionText();
  if (text.isEmpty()) return;
  QApplication::clipboard()->setText(text);
}

void CDorvexView::FileInfo() {
  QString query = QStringLiteral("SELECT * FROM sqlite_master");
  RunQuery(&query, true, 1, RO_COMMAND);
}

void CDorvexView::ReOpen() {
  QString error;
  StopRepeat();
  if (!m_document->ReOpen(&error)) {
    ShowError(error);
    emit StateChanged();
    return;
  }
  m_title = m_document->Title();
  m_grid->GridModel()->SetLatin1(m_document->IsLatin1());
  RunCustomQuery(CurrentQuery());
}

void CDorvexView::Cancel() {
  if (m_busy && m_worker) m_worker->Cancel();
}

bool CDorvexView::CommandEnabled(DorvexCommand command) const {
  if (!m_document) return false;
  const int index = m_document->StateTableIndex();
  switch (command) {
    case DorvexCommand::Copy:
      return m_grid->HasSelection();
    case DorvexCommand::SelectAll:
      return m_grid->model()->rowCount() > 0;
    case DorvexCommand::Stop:
      return m_busy;
    case DorvexCommand::LockFile:
      return !m_busy;
    case DorvexCommand::Latin1Text:
      return !m_busy && m_document->CanSwitchEncoding();
    case DorvexCommand::AutoUpdate:
      return !m_document->IsLocked() || m_repeatMs > 0;
    case DorvexCommand::EditRow:
      return !m_busy && m_document->CanEditRows(m_result) && m_grid->HasSelection();
    default:
      break;
  }
  if (m_busy) return false;
  switch (command) {
    case DorvexCommand::NextTable:
      return index + 1 < m_document->TableCount();
    case DorvexCommand::PreviousTable:
      return index > 0 || (index == 0 && !m_document->LastCustomQuery().isEmpty());
    case DorvexCommand::OffsetDown:
      return m_document->Limit() > 0;
    case DorvexCommand::OffsetUp:
      return m_document->Limit() >= 1 && m_document->Offset() >= 1;
    case DorvexCommand::Refresh:
    case DorvexCommand::FileInfo:
    case DorvexCommand::ReOpen:
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
      return m_document->IsLocked();
    case DorvexCommand::Latin1Text:
      return m_document->IsLatin1();
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
      m_document->SetLocked(!m_document->IsLocked());
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
    case DorvexCommand::Latin1Text:
      m_document->SetLatin1(!m_document->IsLatin1());
      m_grid->GridModel()->SetLatin1(m_document->IsLatin1());
      m_title = m_document->Title();
      break;
    case DorvexCommand::EditRow:
      EditRow();
      break;
    default:
      break;
  }
  emit StateChanged();
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
