/*
** The table widget of a grid view.
*/
#include "resultgrid.h"

#include "gridtext.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMenu>

#include <algorithm>

namespace {
/* Rows measured when columns are sized, and the width bounds in pixels. */
constexpr int kSampleRows = 200;
constexpr int kMinColumnWidth = 24;
constexpr int kMaxColumnWidth = 480;
}  // namespace

ResultGrid::ResultGrid(QWidget* parent) : QTableView(parent), m_model(new ResultGridModel(this)) {
  setModel(m_model);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
  setShowGrid(true);
  setWordWrap(false);
  setContextMenuPolicy(Qt::DefaultContextMenu);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->setSortIndicatorShown(false);
  horizontalHeader()->setHighlightSections(false);
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &ResultGrid::OnHeaderClicked);
  connect(this, &QAbstractItemView::doubleClicked, this, &ResultGrid::OnDoubleClicked);
}

void ResultGrid::ShowResult(const XB_SQLiteResult& result, const std::vector<bool>& rightAligned,
                            bool rebuildColumns, int hiddenColumns) {
  m_model->SetResult(result, hiddenColumns);
  m_model->SetRightAligned(rightAligned);
  if (rebuildColumns) {
    ResetSort();
  } else if (m_sortDirection != 0) {
    ShowSort(m_sortColumn, m_sortDirection > 0);
  }
  SizeColumns();
}

PrintSnapshot ResultGrid::PrintContents(const QString& title) const {
  PrintSnapshot snapshot;
  snapshot.title = title;
  for (int c = 0; c < m_model->columnCount(); ++c) {
    snapshot.headers << m_model->ColumnName(c);
    snapshot.screenWidths.push_back(columnWidth(c));
  }
  snapshot.screenUnit = fontMetrics().horizontalAdvance(QStringLiteral("mX"));
  const XB_SQLiteResult result = m_model->Result();
  snapshot.rowCount = result.Rows();
  // The copy shares the result's cells and keeps them alive; cells are
  // decoded by the text rule in force now.
  const bool latin1 = m_model->IsLatin1();
  const int hidden = m_model->HiddenColumns();
  snapshot.cell = [result, latin1, hidden](int64_t row, int column) {
    size_t length = 0;
    const char* text = result.Get(column + hidden, static_cast<int>(row), length);
    if (!text) return QString();
    const auto size = static_cast<qsizetype>(length);
    return latin1 ? QString::fromLatin1(text, size) : QString::fromUtf8(text, size);
  };
  return snapshot;
}

void ResultGrid::ShowSort(int column, bool ascending) {
  m_sortColumn = column;
  m_sortDirection = ascending ? 1 : -1;
  horizontalHeader()->setSortIndicator(column,
                                       ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
  horizontalHeader()->setSortIndicatorShown(true);
}

void ResultGrid::ResetSort() {
  m_sortColumn = 0;
  m_sortDirection = 0;
  horizontalHeader()->setSortIndicatorShown(false);
  horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
}

void ResultGrid::OnHeaderClicked(int section) {
  if (section < 0 || section >= m_model->columnCount()) return;
  bool ascending = section != m_sortColumn || m_sortDirection != 1;
  emit SortRequested(section, ascending);
}

void ResultGrid::OnDoubleClicked(const QModelIndex& index) {
  if (index.isValid()) emit RowActivated(index.row());
}

bool ResultGrid::HasSelection() const {
  return selectionModel() && selectionModel()->hasSelection();
}

QString ResultGrid::SelectionText() const {
  if (!selectionModel()) return QString();
  QModelIndexList selected = selectionModel()->selectedRows();
  std::vector<int> rows;
  rows.reserve(static_cast<size_t>(selected.size()));
  for (const QModelIndex& index : selected) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  QString text;
  int columns = m_model->columnCount();
  QStringList cells;
  for (int row : rows) {
    cells.clear();
    for (int c = 0; c < columns; ++c) cells << m_model->CellText(row, c);
    GridText::AppendLine(text, cells);
  }
  return text;
}

void ResultGrid::SizeColumns() {
  const QFontMetrics cellMetrics(font());
  const QFontMetrics headerMetrics(horizontalHeader()->font());
  std::vector<int64_t> sample = GridText::SampleRows(m_model->rowCount(), kSampleRows);
  int columns = m_model->columnCount();
  std::vector<int> widths;
  for (int c = 0; c < columns; ++c) {
    widths.clear();
    for (int64_t row : sample)
      widths.push_back(cellMetrics.horizontalAdvance(m_model->CellText(static_cast<int>(row), c)));
    // Room for the sort arrow beside the name.
    int header = headerMetrics.horizontalAdvance(m_model->ColumnName(c)) + 16;
    setColumnWidth(c, GridText::ColumnWidth(header, widths, 12, kMinColumnWidth, kMaxColumnWidth));
  }
}

void ResultGrid::contextMenuEvent(QContextMenuEvent* event) {
  if (!m_copyAction) return;
  QMenu menu(this);
  menu.addAction(m_copyAction);
  menu.exec(event->globalPos());
}
