/*
** PrintLayout: the page arithmetic of a printed result grid, free of any
** device.  From the printer's size and resolution, the measured text cell
** of the printer font and the grid's column widths on screen it computes
** the printable rectangle, the printed column widths, the title band and
** the row positions; RowsOnPage tells which rows one page carries, and
** both the page count and the print loop use it, so the count is always
** the number of pages the loop prints.
**
** Protocol: Begin once per job; then PageCount, RowsOnPage and the
** geometry getters.  Every length is in printer pixels.
**
** Errors: Begin returns false for a printer without a physical size or
** resolution, a screen unit or text cell of 0, or no columns;
** PageCount returns 0 and CanPrint false when not even one row fits
** below the headers (the job must stop instead of printing blank pages).
*/
#ifndef PRINTLAYOUT_H
#define PRINTLAYOUT_H

#include <cstdint>
#include <vector>

/* A rectangle in printer pixels: left, top, right and bottom edges. */
struct PrintRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

/* What the layout needs to know of the printer. */
struct PrintDevice {
  int widthMm = 0;  /* page width in millimetres */
  int heightMm = 0; /* page height in millimetres */
  int widthPx = 0;  /* page width in pixels */
  int heightPx = 0; /* page height in pixels */
};

/* The rows one page carries: FIRST and COUNT of them. */
struct PrintPageRows {
  int64_t first = 0;
  int64_t count = 0;
};

class PrintLayout {
 public:
  /* Returns the printer's dots per inch (horizontal), or 0 when DEVICE has
  ** no physical width. */
  static int DotsPerInch(const PrintDevice& device);
  /* Returns the pixel height of a 10-point font at DPI. */
  static int FontPixelHeight(int dpi) { return dpi * 10 / 72; }

  /* Lays out a job on DEVICE.  CELLWIDTH and CELLHEIGHT are the printed
  ** size of "eX" in the plain printer font (the row height is CELLHEIGHT),
  ** SCREENUNIT the width of "mX" in the grid's screen font, SCREENWIDTHS
  ** the grid's column widths in screen pixels.  Returns false (see the
  ** class comment) when no layout is possible. */
  bool Begin(const PrintDevice& device, int cellWidth, int cellHeight, int screenUnit,
             const std::vector<int>& screenWidths);

  int Dpi() const { return m_dpi; }
  int RowHeight() const { return m_rowHeight; }
  /* The distance from one row's top to the next one's (1.1 row heights). */
  int RowStep() const { return m_rowHeight + m_rowHeight / 10; }
  const PrintRect& Printable() const { return m_printable; }
  /* The column headers' band below the printable top. */
  const PrintRect& Header() const { return m_header; }
  /* The band above the printable top where the title and page number go. */
  PrintRect TitleBand() const;
  /* The printed width of each column. */
  const std::vector<int>& ColumnWidths() const { return m_widths; }
  /* The top of the INDEX-th row (from 0) on any page. */
  int RowTop(int index) const { return m_printable.top + RowStep() * (index + 1); }

  /* Returns how many rows fit on one page; 0 when none does. */
  int RowsPerPage() const;
  /* Returns false when no row fits on a page. */
  bool CanPrint() const { return RowsPerPage() > 0; }
  /* Returns the rows page PAGE (from 1) carries out of ROWCOUNT; a page
  ** past the end carries none.  Page 1 exists (headers only) for 0 rows. */
  PrintPageRows RowsOnPage(int page, int64_t rowCount) const;
  /* Returns the number of pages a job of ROWCOUNT rows prints: at least 1,
  ** or 0 when no row fits on a page. */
  int PageCount(int64_t rowCount) const;

 private:
  int m_dpi = 0;
  int m_rowHeight = 0;
  PrintRect m_printable;
  PrintRect m_header;
  std::vector<int> m_widths;
};

#endif
