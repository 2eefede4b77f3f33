/*
** The print job as the commands drive it, against the recording dialogs:
** a page set up once carries to the next job on the one printer, the job
** reaches the PDF chosen in the print dialog, the question before a long
** job names the pages the job prints, Cancel stops it, a cancelled dialog
** does nothing, failures are reported rather than printing nothing, and
** printing from the preview prints the previewed snapshot.
*/
#include "printcontroller.h"

#include "pdfprobe.h"
#include "recordingprintui.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

namespace {

/* Returns a snapshot of ROWS rows of two columns, "rowN" and "name N". */
PrintSnapshot Snapshot(int64_t rows) {
  PrintSnapshot snapshot;
  snapshot.title = QStringLiteral("shop:3.0:SELECT * FROM items");
  snapshot.headers = {QStringLiteral("Ident"), QStringLiteral("Caption")};
  snapshot.screenWidths = {60, 200};
  snapshot.screenUnit = 16;
  snapshot.rowCount = rows;
  snapshot.cell = [](int64_t row, int column) {
    return column == 0 ? QStringLiteral("row%1").arg(row + 1)
                       : QStringLiteral("name %1").arg(row + 1);
  };
  return snapshot;
}

class PrintControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
  QString Pdf(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

  QTemporaryDir m_dir;
  RecordingPrintUi m_ui;
  PrintController m_printing{&m_ui};
};

TEST_F(PrintControllerTest, SetupCarriesToTheNextJobOnTheChosenPdf) {
  m_ui.landscapeInSetup = true;
  ASSERT_TRUE(m_printing.PageSetup());
  m_ui.pdf = Pdf("landscape.pdf");
  const PrintResult result = m_printing.Print(Snapshot(150));
  ASSERT_TRUE(result.error.isEmpty()) << result.error.toStdString();
  EXPECT_EQ(m_ui.orientationSeen, QPageLayout::Landscape);
  EXPECT_TRUE(pdfprobe::Landscape(m_ui.pdf));
  EXPECT_EQ(pdfprobe::Pages(m_ui.pdf), result.pages);
  EXPECT_TRUE(pdfprobe::PageText(m_ui.pdf, result.pages).contains(QLatin1String("name 150")));
  // One progress step per page, then the progress goes; nothing asked.
  EXPECT_EQ(m_ui.CallsStartingWith(QStringLiteral("progress")).size(), result.pages);
  EXPECT_EQ(m_ui.calls.last(), QStringLiteral("end"));
  EXPECT_TRUE(m_ui.CallsStartingWith(QStringLiteral("confirm")).isEmpty());
  EXPECT_TRUE(m_ui.CallsStartingWith(QStringLiteral("report")).isEmpty());

  // The next job, on the same printer, is still landscape; a setup turning
  // it back is seen by the job after.
  m_ui.calls.clear();
  m_ui.pdf = Pdf("again.pdf");
  m_printing.Print(Snapshot(3));
  EXPECT_TRUE(pdfprobe::Landscape(m_ui.pdf));
  m_ui.landscapeInSetup = false;
  m_printing.PageSetup();
  m_ui.pdf = Pdf("portrait.pdf");
  m_printing.Print(Snapshot(3));
  EXPECT_FALSE(pdfprobe::Landscape(m_ui.pdf));
}

TEST_F(PrintControllerTest, LongJobIsPrintedOnlyWhenTheUserAgrees) {
  const PrintSnapshot snapshot = Snapshot(20000);
  m_ui.pdf = Pdf("long.pdf");
  ListPrinter measure(snapshot);
  QString error;
  ASSERT_TRUE(measure.Layout(m_printing.Printer(), &error));
  const int pages = measure.PageCount();
  ASSERT_GT(pages, PrintController::kConfirmPages);

  PrintResult result = m_printing.Print(snapshot);
  EXPECT_EQ(m_ui.calls,
            QStringList({QStringLiteral("choose"), QStringLiteral("confirm %1").arg(pages)}));
  EXPECT_EQ(result.pages, 0);
  EXPECT_FALSE(QFile::exists(m_ui.pdf));

  // Agreed, then cancelled at page 3: two pages printed, the progress
  // closed, and no failure reported for what the user asked.
  m_ui.calls.clear();
  m_ui.agreeToLongJob = true;
  m_ui.cancelAtPage = 3;
  result = m_printing.Print(snapshot);
  EXPECT_TRUE(result.cancelled);
  EXPECT_EQ(result.pages, 2);
  EXPECT_EQ(m_ui.CallsStartingWith(QStringLiteral("progress")).last(),
            QStringLiteral("progress 3/%1").arg(pages));
  EXPECT_EQ(m_ui.calls.last(), QStringLiteral("end"));
  EXPECT_TRUE(m_ui.CallsStartingWith(QStringLiteral("report")).isEmpty());
}

TEST_F(PrintControllerTest, CancelledDialogPrintsNothing) {
  const PrintResult result = m_printing.Print(Snapshot(10));
  EXPECT_EQ(m_ui.calls, QStringList{QStringLiteral("choose")});
  EXPECT_EQ(result.pages, 0);
  EXPECT_TRUE(result.error.isEmpty());
}

TEST_F(PrintControllerTest, FailuresAreReported) {
  // A PDF in a folder that does not exist: the printer does not start.
  m_ui.pdf = Pdf("missing/folder/out.pdf");
  PrintResult result = m_printing.Print(Snapshot(10));
  EXPECT_EQ(result.pages, 0);
  ASSERT_EQ(m_ui.CallsStartingWith(QStringLiteral("report")).size(), 1);
  EXPECT_EQ(m_ui.calls.last(), QStringLiteral("report ") + result.error);

  // A paper too small for one row stops before the first page.
  m_ui.calls.clear();
  m_ui.setupPageSize = QPageSize(QSizeF(40, 22), QPageSize::Millimeter);
  m_printing.PageSetup();
  m_ui.pdf = Pdf("tiny.pdf");
  result = m_printing.Print(Snapshot(10));
  EXPECT_EQ(result.pages, 0);
  EXPECT_EQ(m_ui.CallsStartingWith(QStringLiteral("report")).size(), 1);
  EXPECT_TRUE(m_ui.CallsStartingWith(QStringLiteral("progress")).isEmpty());
  EXPECT_FALSE(m_printing.Preview(Snapshot(10)));
  EXPECT_TRUE(m_ui.CallsStartingWith(QStringLiteral("preview")).isEmpty());
}

TEST_F(PrintControllerTest, PrintFromThePreviewPrintsThePreviewedSnapshot) {
  m_ui.pdf = Pdf("preview.pdf");
  ASSERT_TRUE(m_printing.Preview(Snapshot(100)));
  ASSERT_EQ(m_ui.calls.size(), 1);  // closed: nothing printed
  EXPECT_FALSE(QFile::exists(m_ui.pdf));

  m_ui.printFromPreview = true;
  m_ui.calls.clear();
  ASSERT_TRUE(m_printing.Preview(Snapshot(100)));
  ASSERT_GE(m_ui.calls.size(), 2);
  EXPECT_EQ(m_ui.calls[1], QStringLiteral("choose"));
  const int previewed = m_ui.calls[0].section(QLatin1Char(' '), 1).toInt();
  EXPECT_EQ(pdfprobe::Pages(m_ui.pdf), previewed);
  EXPECT_TRUE(pdfprobe::PageText(m_ui.pdf, previewed).contains(QLatin1String("name 100")));
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
