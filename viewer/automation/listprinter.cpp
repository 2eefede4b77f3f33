/*
** Printing of a result grid snapshot (see listprinter.h).  Fonts are made
** at the printer's resolution, measured there, and PrintLayout places
** everything; this file only draws.
*/
#include "listprinter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

namespace {

const QColor kShade(0xC0, 0xC0, 0xC0);

/* Returns the printer's page size and resolution for the layout. */
PrintDevice DeviceOf(const QPrinter& printer) {
  return {printer.widthMM(), printer.heightMM(), printer.width(), printer.height()};
}

}  // namespace

ListPrinter::ListPrinter(PrintSnapshot snapshot) : m_snapshot(std::move(snapshot)) {}

bool ListPrinter::Layout(QPrinter& printer, QString* error) {
  m_laidOut = false;
  if (m_snapshot.headers.isEmpty()) {
    *error = QStringLiteral("nothing to print");
    return false;
  }
  printer.setFullPage(true);  // the margins are ours, measured from the paper's edges
  const PrintDevice device = DeviceOf(printer);
  const int dpi = PrintLayout::DotsPerInch(device);
  m_plain = QFont();
  m_plain.setPixelSize(std::max(PrintLayout::FontPixelHeight(dpi), 1));
  m_plain.setWeight(QFont::Normal);
  m_bold = m_plain;
  m_bold.setWeight(QFont::Bold);
  const QFontMetrics metrics(m_plain, &printer);
  std::vector<int> widths = m_snapshot.screenWidths;
  widths.resize(static_cast<size_t>(m_snapshot.headers.size()), 0);
  if (!m_layout.Begin(device, metrics.horizontalAdvance(QStringLiteral("eX")), metrics.height(),
                      m_snapshot.screenUnit, widths)) {
    *error = QStringLiteral("the page is too small for the grid's layout");
    return false;
  }
  if (!m_layout.CanPrint()) {
    *error = QStringLiteral("a row is taller than the printable height of a page");
    return false;
  }
  m_laidOut = true;
  return true;
}

int ListPrinter::PageCount() const {
  return m_laidOut ? m_layout.PageCount(m_snapshot.rowCount) : 0;
}

PrintResult ListPrinter::PrintAll(QPrinter& printer, const Progress& progress) {
  PrintResult result;
  if (!Layout(printer, &result.error)) return result;
  const int pageCount = PageCount();
  if (progress && !progress(1, pageCount)) {
    result.error = QStringLiteral("printing was cancelled");
    result.cancelled = true;
    return result;
  }
  QPainter painter;
  if (!painter.begin(&printer)) {
    result.error = QStringLiteral("the printer could not be started");
    return result;
  }
  for (int page = 1; page <= pageCount; ++page) {
    if (page > 1) {
      if (progress && !progress(page, pageCount)) {
        printer.abort();
        painter.end();
        result.error = QStringLiteral("printing was cancelled");
        result.cancelled = true;
        return result;
      }
      printer.newPage();
    }
    PrintPage(painter, page);
    result.pages = page;
  }
  if (!painter.end()) result.error = QStringLiteral("the printer could not finish the job");
  return result;
}

void ListPrinter::PrintPage(QPainter& painter, int page) {
  if (!m_laidOut) return;
  DrawTitle(painter, page);
  DrawHeaders(painter);
  DrawRows(painter, page);
}

void ListPrinter::DrawTitle(QPainter& painter, int page) {
  const PrintRect band = m_layout.TitleBand();
  const QRect rect(band.left, band.top, band.Width(), band.Height());
  painter.setFont(m_bold);
  if (!m_snapshot.title.isEmpty())
    painter.drawText(rect, Qt::AlignHCenter | Qt::AlignVCenter, m_snapshot.title);
  if (page > 1) painter.drawText(rect, Qt::AlignRight | Qt::AlignVCenter, QString::number(page));
}

void ListPrinter::DrawHeaders(QPainter& painter) {
  painter.setFont(m_bold);
  const PrintRect& header = m_layout.Header();
  int left = header.left;
  const std::vector<int>& widths = m_layout.ColumnWidths();
  for (size_t col = 0; col < widths.size(); ++col) {
    DrawCell(painter, left, header.top, widths[col],
             m_snapshot.headers[static_cast<qsizetype>(col)].left(255));
    left += widths[col];
  }
}

void ListPrinter::DrawRows(QPainter& painter, int page) {
  if (!m_snapshot.cell) return;
  const PrintPageRows rows = m_layout.RowsOnPage(page, m_snapshot.rowCount);
  painter.setFont(m_plain);
  const PrintRect& printable = m_layout.Printable();
  const std::vector<int>& widths = m_layout.ColumnWidths();
  for (int64_t i = 0; i < rows.count; ++i) {
    const int top = m_layout.RowTop(static_cast<int>(i));
    if (i % 2 == 0)
      painter.fillRect(printable.left, top, printable.Width(), m_layout.RowHeight(), kShade);
    int left = printable.left;
    for (size_t col = 0; col < widths.size(); ++col) {
      const QString text = m_snapshot.cell(rows.first + i, static_cast<int>(col));
      if (!text.isEmpty()) DrawCell(painter, left, top, widths[col], text);
      left += widths[col];
    }
  }
}

void ListPrinter::DrawCell(QPainter& painter, int left, int top, int width, const QString& text) {
  // A cell prints on one line: line breaks and tabs inside a value become spaces.
  QString line = text;
  line.replace(QLatin1Char('\n'), QLatin1Char(' '))
      .replace(QLatin1Char('\r'), QLatin1Char(' '))
      .replace(QLatin1Char('\t'), QLatin1Char(' '));
  const QFontMetrics metrics(painter.font(), painter.device());
  const QString shown = metrics.elidedText(line, Qt::ElideRight, width);
  painter.drawText(QRect(left, top, width, m_layout.RowHeight()), Qt::AlignLeft | Qt::AlignVCenter,
                   shown);
}
