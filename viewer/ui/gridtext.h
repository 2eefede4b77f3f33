/*
** Plain text and layout rules of the result grid, kept apart from the
** widgets so tests reach them without a display: the clipboard text of a
** selection (tab-separated lines, spreadsheet quoting where a cell would
** break the lines), the rows a column's width is measured on, and the width
** chosen from those measurements.
*/
#ifndef GRIDTEXT_H
#define GRIDTEXT_H

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace GridText {

/* Returns CELL as it goes into a tab-separated line: unchanged unless it
** holds a tab, CR, LF or begins with a double quote; then it is put between
** double quotes with every inner double quote doubled, the way spreadsheets
** read it back as one cell. */
QString QuoteCell(const QString& cell);

/* Appends one line to OUT: the cells quoted by QuoteCell, joined by one tab,
** ended by one line feed. */
void AppendLine(QString& out, const QStringList& cells);

/* Returns the rows of a result of ROWCOUNT rows whose widths are measured
** when columns are sized: all rows when there are at most SAMPLESIZE, else
** the first SAMPLESIZE - SAMPLESIZE/4 rows and the rest spread evenly over
** the remaining rows (the last row included), in ascending order without
** repeats.  Empty for no rows or a sample size below 1. */
std::vector<int64_t> SampleRows(int64_t rowCount, int sampleSize);

/* Returns the width of a column from its header's width and the widths of
** its sampled cells: the largest of them plus PADDING, capped at MAXWIDTH
** (a very long value must not push every other column out of sight) and at
** least MINWIDTH. */
int ColumnWidth(int headerWidth, const std::vector<int>& cellWidths, int padding, int minWidth,
                int maxWidth);

}  // namespace GridText

#endif
