/*
** Tests of printing a result snapshot to PDF: the pages pdfinfo counts are
** the layout's count, every page carries the title and headers, the page
** number shows from page 2, nothing is lost at the end, long cells are
** cut with an ellipsis, and a page too small for one row stops the job.
*/
#include "listprinter.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace {

/* Returns the standard output of PROGRAM with ARGS, or "" when it fails. */
QString Run(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  if (!process.waitForFinished(120000) || process.exitCode() != 0) return {};
  return QString::fromUtf8(process.readAllStandardOutput());
}

/* Returns the page count pdfinfo reports for PDF, or -1. */
int PdfPages(const QString& pdf) {
  const QString info = Run(QStringLiteral("pdfinfo"), {pdf});
  for (const QString& line : info.split(QLatin1Char('\n')))
    if (line.startsWith(QLatin1String("Pages:"))) return line.mid(6).trimmed().toInt();
  return -1;
}

/* Returns the text of page PAGE of PDF. */
QString PdfPageText(const QString& pdf, int page) {
  const QString number = QString::number(page);
  return Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-f"), number,
                                           QStringLiteral("-l"), number, pdf, QStringLiteral("-")});
}

/* Returns the line of TEXT that holds the title, without trailing spaces. */
QString TitleLine(const QString& text) {
  for (const QString& line : text.split(QLatin1Char('\n')))
    if (line.contains(QLatin1String("SELECT * FROM items"))) {
      QString trimmed = line;
      while (trimmed.endsWith(QLatin1Char(' '))) trimmed.chop(1);
      return trimmed;
    }
  return {};
}

/* Returns a two-column snapshot whose rows are CELLS. */
PrintSnapshot SnapshotOf(std::vector<QStringList> cells) {
  PrintSnapshot snapshot;
  snapshot.title = QStringLiteral("shop:3.0:SELECT * FROM items");
  snapshot.headers = {QStringLiteral("Ident"), QStringLiteral("Caption")};
  snapshot.screenWidths = {60, 200};
  snapshot.screenUnit = 16;
  snapshot.rowCount = static_cast<int64_t>(cells.size());
  auto shared = std::make_shared<const std::vector<QStringList>>(std::move(cells));
  snapshot.cell = [shared](int64_t row, int column) {
    return (*shared)[static_cast<size_t>(row)].value(column);
  };
  return snapshot;
}

PrintSnapshot Snapshot(int rows) {
  std::vector<QStringList> cells;
  for (int i = 1; i <= rows; ++i)
    cells.push_back({QStringLiteral("row%1").arg(i), QStringLiteral("name %1").arg(i)});
  return SnapshotOf(std::move(cells));
}

class ListPrinterTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

  /* Prints SNAPSHOT to a PDF; returns its path and the printer's outcome. */
  QString PrintToPdf(ListPrinter& printer, PrintResult* result, const QString& name,
                     const QPageSize& size = QPageSize(QPageSize::A4)) {
    const QString pdf = m_dir.filePath(name);
    QPrinter device(QPrinter::HighResolution);
    device.setOutputFormat(QPrinter::PdfFormat);
    device.setOutputFileName(pdf);
    device.setPageSize(size);
    *result = printer.PrintAll(device);
    m_pageCount = printer.PageCount();
    return pdf;
  }

  QTemporaryDir m_dir;
  int m_pageCount = 0;
};

TEST_F(ListPrinterTest, PagesTitlesNumbersAndTheLastRow) {
  for (int rows : {1, 40, 5000}) {
    SCOPED_TRACE(rows);
    ListPrinter printer(Snapshot(rows));
    PrintResult result;
    const QString pdf = PrintToPdf(printer, &result, QStringLiteral("rows%1.pdf").arg(rows));
    ASSERT_TRUE(result.error.isEmpty()) << result.error.toStdString();
    EXPECT_EQ(result.pages, m_pageCount);
    ASSERT_EQ(PdfPages(pdf), m_pageCount);
    if (rows == 5000) {
      EXPECT_GT(m_pageCount, 40);
    }

    // Looking at every page of a long job costs a pdftotext each: sample them.
    for (int page = 1; page <= m_pageCount; page += page < 3 ? 1 : 17) {
      SCOPED_TRACE(page);
      const QString text = PdfPageText(pdf, page);
      EXPECT_TRUE(text.contains(QLatin1String("shop:3.0:SELECT * FROM items")));
      EXPECT_TRUE(text.contains(QLatin1String("Ident")));
      EXPECT_TRUE(text.contains(QLatin1String("Caption")));
      // The page number stands at the right end of the title's line.
      const QString titleLine = TitleLine(text);
      EXPECT_EQ(titleLine.endsWith(QStringLiteral(" %1").arg(page)), page > 1)
          << titleLine.toStdString();
      if (page == 1) {
        EXPECT_TRUE(titleLine.endsWith(QLatin1String("items")));
      }
    }
    const QString last = PdfPageText(pdf, m_pageCount);
    EXPECT_TRUE(last.contains(QStringLiteral("row%1 ").arg(rows)));
    EXPECT_TRUE(last.contains(QStringLiteral("name %1").arg(rows)));
    EXPECT_TRUE(PdfPageText(pdf, 1).contains(QLatin1String("name 1\n")));
  }
}

TEST_F(ListPrinterTest, LongCellEndsInEllipsis) {
  ListPrinter printer(SnapshotOf(
      {{QStringLiteral("short"), QString(400, QLatin1Char('w')) + QStringLiteral("TAILEND")},
       {QStringLiteral("two\nlines"), QStringLiteral("tab\there")}}));
  PrintResult result;
  const QString pdf = PrintToPdf(printer, &result, QStringLiteral("long.pdf"));
  ASSERT_EQ(result.pages, 1) << result.error.toStdString();
  const QString text = PdfPageText(pdf, 1);
  EXPECT_TRUE(text.contains(QChar(0x2026))) << text.toStdString();
  EXPECT_FALSE(text.contains(QLatin1String("TAILEND")));
  EXPECT_TRUE(text.contains(QLatin1String("two lines")));
}

TEST_F(ListPrinterTest, PageTooSmallForOneRowStopsTheJob) {
  ListPrinter printer(Snapshot(3));
  PrintResult result;
  PrintToPdf(printer, &result, QStringLiteral("tiny.pdf"),
             QPageSize(QSizeF(40, 22), QPageSize::Millimeter));
  EXPECT_EQ(result.pages, 0);
  EXPECT_FALSE(result.error.isEmpty());
  EXPECT_EQ(m_pageCount, 0);
}

TEST_F(ListPrinterTest, CancelStopsBetweenPages) {
  ListPrinter printer(Snapshot(500));
  QPrinter device(QPrinter::HighResolution);
  device.setOutputFormat(QPrinter::PdfFormat);
  device.setOutputFileName(m_dir.filePath(QStringLiteral("cancel.pdf")));
  const PrintResult result = printer.PrintAll(device, [](int page, int) { return page < 3; });
  EXPECT_EQ(result.pages, 2);
  EXPECT_TRUE(result.cancelled);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
