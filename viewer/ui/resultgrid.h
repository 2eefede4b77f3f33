/*
** ResultGrid: the table widget of a grid view.  A read-only QTableView over
** a ResultGridModel that selects whole rows, sizes its columns from a
** sample of rows, builds the clipboard text of the selected rows, and turns
** header clicks into sort requests.
**
** Sorting protocol: the grid keeps the sort shown in the header (a column
** and a direction, none at first).  A header click computes the next sort
** (another column: ascending; the same column: ascending unless it already
** was, then descending) and emits SortRequested without changing the
** header.  The owner runs the sorted query and calls ShowSort on success;
** on failure it does nothing and the previous arrow stays.  ResetSort (on
** every column rebuild) removes the arrow.  Qt's own sorting stays off.
*/
#ifndef RESULTGRID_H
#define RESULTGRID_H

#include "listprinter.h"
#include "resultgridmodel.h"

#include <QTableView>

class QAction;

class ResultGrid : public QTableView {
  Q_OBJECT
 public:
  explicit ResultGrid(QWidget* parent = nullptr);

  ResultGridModel* GridModel() const { return m_model; }

  /* Shows RESULT without its first HIDDENCOLUMNS columns.  With
  ** REBUILDCOLUMNS the sort arrow is removed; without, the arrow stays as it
  ** was.  Shown columns whose entry of RIGHTALIGNED is true are
  ** right-aligned.  Column widths are measured afresh. */
  void ShowResult(const XB_SQLiteResult& result, const std::vector<bool>& rightAligned,
                  bool rebuildColumns, int hiddenColumns = 0);

  /* Shows the arrow on COLUMN in the given direction. */
  void ShowSort(int column, bool ascending);
  /* Removes the arrow: column 0, no direction. */
  void ResetSort();
  int SortColumn() const { return m_sortColumn; }
  /* 0 no direction, 1 ascending, -1 descending. */
  int SortDirection() const { return m_sortDirection; }

  /* Returns the selected rows as tab-separated lines, in grid order, each
  ** ended by a line feed; cells holding a tab, CR or LF are quoted.  Empty
  ** when no row is selected. */
  QString SelectionText() const;

  /* Returns true when at least one row is selected. */
  bool HasSelection() const;

  /* Returns what printing the grid prints, under TITLE: the column names,
  ** the column widths on screen and the rows, read from the result shown
  ** now, which the snapshot holds; a later result does not change it. */
  PrintSnapshot PrintContents(const QString& title) const;

  /* Sets the command the context menu offers (the window's Copy action). */
  void SetCopyAction(QAction* copy) { m_copyAction = copy; }

  /* Sizes every column to the larger of its header and the widest value of
  ** a sample of rows, capped so one long value cannot hide the others. */
  void SizeColumns();

 signals:
  /* The user clicked a header: sort by COLUMN in the given direction. */
  void SortRequested(int column, bool ascending);
  /* The user double-clicked the data row ROW. */
  void RowActivated(int row);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void OnHeaderClicked(int section);
  void OnDoubleClicked(const QModelIndex& index);

  ResultGridModel* m_model;
  QAction* m_copyAction = nullptr;
  int m_sortColumn = 0;
  int m_sortDirection = 0;
};

#endif
