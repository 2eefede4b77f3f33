/*
** The grid's table model over a query result.
*/
#include "resultgridmodel.h"

#include <algorithm>
#include <cstring>

ResultGridModel::ResultGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultGridModel::SetResult(const XB_SQLiteResult& result, int hiddenColumns) {
  beginResetModel();
  m_result = result;
  m_hidden = std::clamp(hiddenColumns, 0, result.Cols());
  m_rightAligned.clear();
  endResetModel();
}

void ResultGridModel::SetRightAligned(const std::vector<bool>& columns) {
  m_rightAligned = columns;
  int shown = columnCount();
  if (m_result.Rows() > 0 && shown > 0)
    emit dataChanged(index(0, 0), index(m_result.Rows() - 1, shown - 1), {Qt::TextAlignmentRole});
  if (shown > 0) emit headerDataChanged(Qt::Horizontal, 0, shown - 1);
}

void ResultGridModel::SetLatin1(bool on) {
  if (on == m_latin1) return;
  beginResetModel();
  m_latin1 = on;
  endResetModel();
}

QString ResultGridModel::Decode(const char* text, size_t length) const {
  if (!text) return QString();
  auto size = static_cast<qsizetype>(length);
  return m_latin1 ? QString::fromLatin1(text, size) : QString::fromUtf8(text, size);
}

QString ResultGridModel::CellText(int row, int column) const {
  size_t length = 0;
  if (row < 0 || row >= m_result.Rows() || column < 0 || column >= columnCount()) return QString();
  const char* text = m_result.Get(column + m_hidden, row, length);
  return Decode(text, length);
}

QString ResultGridModel::ColumnName(int column) const {
  if (column < 0 || column >= columnCount()) return QString();
  const char* name = m_result.Cell(column + m_hidden);
  return Decode(name, name ? strlen(name) : 0);
}

bool ResultGridModel::IsNull(int row, int column) const {
  if (row < 0 || row >= m_result.Rows() || column < 0 || column >= columnCount()) return false;
  return m_result.Get(column + m_hidden, row) == nullptr;
}

int ResultGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_result.Rows();
}

int ResultGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_result.Cols() - m_hidden;
}

QVariant ResultGridModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
    return QVariant();
  switch (role) {
    case Qt::DisplayRole:
      return CellText(index.row(), index.column());
    case Qt::TextAlignmentRole: {
      size_t c = static_cast<size_t>(index.column());
      bool right = c < m_rightAligned.size() && m_rightAligned[c];
      return QVariant::fromValue(Qt::Alignment(right ? Qt::AlignRight | Qt::AlignVCenter
                                                     : Qt::AlignLeft | Qt::AlignVCenter));
    }
    default:
      return QVariant();
  }
}

QVariant ResultGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal) {
    if (section < 0 || section >= columnCount()) return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return ColumnName(section);
    return QVariant();
  }
  if (role == Qt::DisplayRole && section >= 0 && section < m_result.Rows())
    return QString::number(section + 1);
  return QVariant();
}

Qt::ItemFlags ResultGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}
