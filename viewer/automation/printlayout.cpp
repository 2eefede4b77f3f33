/*
** The page arithmetic of a printed result grid: margins, column scaling
** and which rows each page carries (see printlayout.h).
*/
#include "printlayout.h"

#include <algorithm>

int PrintLayout::DotsPerInch(const PrintDevice& device) {
  if (device.widthMm <= 0 || device.widthPx <= 0) return 0;
  return static_cast<int>(device.widthPx * 25.4 / device.widthMm);
}

bool PrintLayout::Begin(const PrintDevice& device, int cellWidth, int cellHeight, int screenUnit,
                        const std::vector<int>& screenWidths) {
  m_widths.clear();
  m_dpi = DotsPerInch(device);
  m_rowHeight = cellHeight;
  if (m_dpi <= 0 || device.heightMm <= 0 || device.heightPx <= 0 || cellWidth <= 0 ||
      cellHeight <= 0 || screenUnit <= 0 || screenWidths.empty())
    return false;
  // One inch on the left, half an inch at the top and right, a quarter at the bottom.
  m_printable = {m_dpi, m_dpi / 2, device.widthPx - m_dpi / 2, device.heightPx - m_dpi / 4};
  if (m_printable.Width() <= 0 || m_printable.Height() <= 0) return false;

  std::vector<int64_t> widths;
  int64_t total = 0;
  for (int screen : screenWidths) {
    widths.push_back((static_cast<int64_t>(std::max(screen, 0)) + screenUnit / 2) * cellWidth /
                         screenUnit +
                     m_dpi / 72);
    total += widths.back();
  }
  const int64_t printableWidth = m_printable.Width();
  const int64_t spare = (printableWidth - total) / static_cast<int64_t>(widths.size() + 1);
  if (spare > 0) {
    // Narrow grids get two text cells of air per column; others share what is left.
    const int64_t grow = total <= printableWidth / 2 ? 2 * cellWidth : spare;
    for (int64_t& width : widths) width += grow;
  }
  for (int64_t width : widths) {
    // A grid wider than the page is shrunk in proportion to fit it.
    if (total > printableWidth) width = width * printableWidth / total;
    m_widths.push_back(static_cast<int>(width));
  }
  m_header = {m_printable.left, m_printable.top, m_printable.right,
              m_printable.top + m_rowHeight + 1};
  return true;
}

PrintRect PrintLayout::TitleBand() const {
  return {m_printable.left, m_printable.top - m_rowHeight * 3 / 2, m_printable.right,
          m_printable.top - m_rowHeight / 2};
}

int PrintLayout::RowsPerPage() const {
  if (m_rowHeight <= 0) return 0;
  // A row is printed only when its whole band is inside the printable rectangle.
  const int64_t room = static_cast<int64_t>(m_printable.bottom) - RowTop(0) - m_rowHeight;
  if (room < 0) return 0;
  return static_cast<int>(room / RowStep() + 1);
}

PrintPageRows PrintLayout::RowsOnPage(int page, int64_t rowCount) const {
  const int perPage = RowsPerPage();
  if (perPage <= 0 || page < 1) return {};
  const int64_t first = static_cast<int64_t>(page - 1) * perPage;
  if (first >= rowCount) return {first, 0};
  return {first, std::min<int64_t>(perPage, rowCount - first)};
}

int PrintLayout::PageCount(int64_t rowCount) const {
  const int perPage = RowsPerPage();
  if (perPage <= 0) return 0;
  if (rowCount <= 0) return 1;
  return static_cast<int>((rowCount + perPage - 1) / perPage);
}
