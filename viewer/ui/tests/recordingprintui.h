/*
** RecordingPrintUi: the test double of PrintUi.  It answers every question
** from its script (print to a PDF file or cancel, agree to a long job or
** not, cancel at a page, turn the page in the setup, print from the
** preview or not) and records each call as one line, so a test sees what
** the user would have been shown and in which order.
*/
#ifndef RECORDINGPRINTUI_H
#define RECORDINGPRINTUI_H

#include "listprinter.h"
#include "printui.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QStringList>

class RecordingPrintUi : public PrintUi {
 public:
  /* The script. */
  QString pdf;                   /* the file the print dialog chooses; "" cancels */
  bool agreeToLongJob = false;   /* the answer to the question before a long job */
  int cancelAtPage = 0;          /* Cancel pressed when this page comes (0 never) */
  bool landscapeInSetup = false; /* the page setup turns the page to landscape */
  QPageSize setupPageSize;       /* the page setup's paper, when valid */
  bool printFromPreview = false; /* the preview is left with Print */

  /* What happened, one line a call: "choose", "setup", "confirm N",
  ** "progress P/N", "end", "preview N" (its page count), "report TEXT". */
  QStringList calls;
  /* The orientation the print dialog found on the printer. */
  QPageLayout::Orientation orientationSeen = QPageLayout::Portrait;

  bool ChoosePrinter(QPrinter& printer) override {
    calls << QStringLiteral("choose");
    orientationSeen = printer.pageLayout().orientation();
    if (pdf.isEmpty()) return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    return true;
  }
  bool SetUpPage(QPrinter& printer) override {
    calls << QStringLiteral("setup");
    if (setupPageSize.isValid()) printer.setPageSize(setupPageSize);
    printer.setPageOrientation(landscapeInSetup ? QPageLayout::Landscape : QPageLayout::Portrait);
    return true;
  }
  bool ConfirmLongJob(int pages) override {
    calls << QStringLiteral("confirm %1").arg(pages);
    return agreeToLongJob;
  }
  bool Progress(int page, int pageCount) override {
    calls << QStringLiteral("progress %1/%2").arg(page).arg(pageCount);
    return page != cancelAtPage;
  }
  void EndProgress() override { calls << QStringLiteral("end"); }
  PreviewEnd Preview(ListPrinter& job, QPrinter&) override {
    calls << QStringLiteral("preview %1").arg(job.PageCount());
    return printFromPreview ? PREVIEW_PRINT : PREVIEW_CLOSED;
  }
  void Report(const QString& message) override { calls << QStringLiteral("report ") + message; }

  /* The calls that start with PREFIX. */
  QStringList CallsStartingWith(const QString& prefix) const {
    QStringList found;
    for (const QString& call : calls)
      if (call.startsWith(prefix)) found << call;
    return found;
  }
};

#endif
