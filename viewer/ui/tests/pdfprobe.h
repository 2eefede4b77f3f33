/*
** What the printing tests read back from a PDF through poppler's tools:
** the page count and page size pdfinfo reports and the text of a page.
*/
#ifndef PDFPROBE_H
#define PDFPROBE_H

#include <QProcess>
#include <QString>
#include <QStringList>

namespace pdfprobe {

/* Returns the standard output of PROGRAM with ARGS, or "" when it fails. */
inline QString Run(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  if (!process.waitForFinished(120000) || process.exitCode() != 0) return {};
  return QString::fromUtf8(process.readAllStandardOutput());
}

/* Returns pdfinfo's value of FIELD ("Pages", "Page size") for PDF, or "". */
inline QString Info(const QString& pdf, const QString& field) {
  const QString info = Run(QStringLiteral("pdfinfo"), {pdf});
  for (const QString& line : info.split(QLatin1Char('\n')))
    if (line.startsWith(field + QLatin1Char(':'))) return line.mid(field.size() + 1).trimmed();
  return {};
}

/* Returns the page count of PDF, or -1 when it cannot be read. */
inline int Pages(const QString& pdf) {
  const QString pages = Info(pdf, QStringLiteral("Pages"));
  return pages.isEmpty() ? -1 : pages.toInt();
}

/* Returns true when the first page of PDF is wider than it is high. */
inline bool Landscape(const QString& pdf) {
  // "841.89 x 595.276 pts (A4)"
  const QStringList parts = Info(pdf, QStringLiteral("Page size")).split(QLatin1Char(' '));
  return parts.size() >= 3 && parts[0].toDouble() > parts[2].toDouble();
}

/* Returns the text of page PAGE of PDF, laid out as printed. */
inline QString PageText(const QString& pdf, int page) {
  const QString number = QString::number(page);
  return Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-f"), number,
                                           QStringLiteral("-l"), number, pdf, QStringLiteral("-")});
}

}  // namespace pdfprobe

#endif
