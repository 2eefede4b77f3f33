/*
** Clipboard text and column sizing of the result grid.
*/
#include "gridtext.h"

#include <algorithm>

namespace GridText {

QString QuoteCell(const QString& cell) {
  bool needsQuotes = cell.startsWith(QLatin1Char('"'));
  for (QChar c : cell) {
    if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
      needsQuotes = true;
      break;
    }
  }
  if (!needsQuotes) return cell;
  QString quoted = cell;
  quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void AppendLine(QString& out, const QStringList& cells) {
  for (qsizetype i = 0; i < cells.size(); ++i) {
    if (i) out += QLatin1Char('\t');
    out += QuoteCell(cells[i]);
  }
  out += QLatin1Char('\n');
}

std::vector<int64_t> SampleRows(int64_t rowCount, int sampleSize) {
  std::vector<int64_t> rows;
  if (rowCount <= 0 || sampleSize < 1) return rows;
  if (rowCount <= sampleSize) {
    for (int64_t r = 0; r < rowCount; ++r) rows.push_back(r);
    return rows;
  }
  int64_t head = sampleSize - sampleSize / 4;
  int64_t spread = sampleSize - head;
  for (int64_t r = 0; r < head; ++r) rows.push_back(r);
  // The spread rows reach the last row, so a long tail of wide values shows.
  int64_t remaining = rowCount - head;
  for (int64_t i = 1; i <= spread; ++i) {
    int64_t r = head - 1 + (remaining * i) / spread;
    if (r > rows.back()) rows.push_back(r);
  }
  return rows;
}

int ColumnWidth(int headerWidth, const std::vector<int>& cellWidths, int padding, int minWidth,
                int maxWidth) {
  int widest = headerWidth;
  for (int w : cellWidths) widest = std::max(widest, w);
  return std::clamp(widest + padding, minWidth, std::max(minWidth, maxWidth));
}

}  // namespace GridText
