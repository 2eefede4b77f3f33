/*
** ListPrinter: prints a snapshot of a result grid on a QPrinter - the
** title, the column headers in bold, the rows in a plain 10-point font
** with every other row shaded (each page starts with a shaded row), and
** the page number from page 2 on.  The snapshot is taken once and reads
** its cells from a result it holds, so a grid refilled by its repeat timer
** during a long job does not change what is printed, and a large result
** is not copied.  PrintLayout does the arithmetic.
**
** Protocol: build a PrintSnapshot, then PrintAll on a printer whose output
** (device or PDF file) is chosen.  PROGRESS is called before each page and
** may stop the job; the printer is then aborted.
**
** Errors (PrintResult::error): "nothing to print" (no columns), "the page
** is too small for the grid's layout", "a row is taller than the
** printable height of a page", "the printer could not be started",
** "the printer could not finish the job", "printing was cancelled" (with
** PrintResult::cancelled set).  pages counts the pages printed.
*/
#ifndef LISTPRINTER_H
#define LISTPRINTER_H

#include <QFont>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "printlayout.h"

class QPainter;
class QPrinter;

/* What is printed: the grid as it was at the moment printing began. */
struct PrintSnapshot {
  /* Returns the text of cell COLUMN of row ROW, both from 0. */
  using CellText = std::function<QString(int64_t row, int column)>;

  QString title;
  QStringList headers;
  int64_t rowCount = 0;
  CellText cell;                 /* holds what it reads from for as long as it lives */
  std::vector<int> screenWidths; /* column widths on screen, in pixels */
  int screenUnit = 0;            /* width of "mX" in the grid's screen font */
};

/* How a job ended. */
struct PrintResult {
  int pages = 0;          /* pages printed */
  QString error;          /* empty when every page was printed */
  bool cancelled = false; /* the progress callback stopped the job */
};

class ListPrinter {
 public:
  /* Called with the page about to print (from 1) and the page count;
  ** returns false to stop the job. */
  using Progress = std::function<bool(int page, int pageCount)>;

  explicit ListPrinter(PrintSnapshot snapshot);

  /* Lays the snapshot out for PRINTER; returns false with ERROR set when
  ** it cannot be laid out (see the class comment). */
  bool Layout(QPrinter& printer, QString* error);
  /* Returns the page count of the last Layout (0 before one). */
  int PageCount() const;
  /* Lays out, then prints every page on PRINTER; returns the pages printed
  ** and why it stopped early. */
  PrintResult PrintAll(QPrinter& printer, const Progress& progress = {});
  /* Prints page PAGE (from 1) of the last Layout with PAINTER; for the
  ** preview, which paints pages itself. */
  void PrintPage(QPainter& painter, int page);

  const PrintSnapshot& Snapshot() const { return m_snapshot; }

 private:
  void DrawTitle(QPainter& painter, int page);
  void DrawHeaders(QPainter& painter);
  void DrawRows(QPainter& painter, int page);
  void DrawCell(QPainter& painter, int left, int top, int width, const QString& text);

  PrintSnapshot m_snapshot;
  PrintLayout m_layout;
  QFont m_plain;
  QFont m_bold;
  bool m_laidOut = false;
};

#endif
