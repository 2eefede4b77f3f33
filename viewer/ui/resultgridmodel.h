/*
** ResultGridModel: the table model of the result grid.  It holds one
** XB_SQLiteResult (sharing its cells, never copying them) and hands the
** view each cell as text when the view asks for it, so a result of a
** million rows costs the view no more than the rows it paints.
**
** Protocol: SetResult replaces the whole content (a model reset); the
** header shows the result's column names, also when it has no rows.  Text
** is decoded by the file's text rule, UTF-8 or Latin-1, chosen with
** SetLatin1.  Columns flagged by SetRightAligned are right-aligned.  The
** model is read-only: no cell is editable.  Leading columns a query
** fetched only for the program's own use (the rowid) can be hidden: the
** model's column 0 is then the first column after them.
*/
#ifndef RESULTGRIDMODEL_H
#define RESULTGRIDMODEL_H

#include "xb_sqliteresult.h"

#include <QAbstractTableModel>

#include <vector>

class ResultGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit ResultGridModel(QObject* parent = nullptr);

  /* Shows RESULT (sharing its cells) with every column left-aligned,
  ** leaving out its first HIDDENCOLUMNS columns. */
  void SetResult(const XB_SQLiteResult& result, int hiddenColumns = 0);

  /* Right-aligns the columns whose entry is true; missing entries are false. */
  void SetRightAligned(const std::vector<bool>& columns);

  /* Decodes cells as Latin-1 when ON, else as UTF-8.  Resets the model when
  ** the rule changes. */
  void SetLatin1(bool on);
  bool IsLatin1() const { return m_latin1; }

  const XB_SQLiteResult& Result() const { return m_result; }
  /* Number of leading columns of Result() the model leaves out. */
  int HiddenColumns() const { return m_hidden; }

  /* Returns the decoded text of a cell (empty for SQL NULL or a position
  ** outside the result). */
  QString CellText(int row, int column) const;

  /* Returns the decoded name of COLUMN (empty outside the result). */
  QString ColumnName(int column) const;

  /* Returns true when the cell holds SQL NULL. */
  bool IsNull(int row, int column) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  QString Decode(const char* text, size_t length) const;

  XB_SQLiteResult m_result;
  int m_hidden = 0;
  std::vector<bool> m_rightAligned;
  bool m_latin1 = false;
};

#endif
