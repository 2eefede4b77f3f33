/*
** PrintUi: the questions and windows a print job needs - the print, page
** setup and preview dialogs, the question before a long job, the progress
** with its Cancel, and the report of a failure.  PrintController drives a
** job against this interface only, so the job runs unchanged on the real
** dialogs (PrintDialogs) and, in tests, on a recording double that answers
** from a script.
*/
#ifndef PRINTUI_H
#define PRINTUI_H

#include <QString>

class ListPrinter;
class QPrinter;

class PrintUi {
 public:
  /* How a preview was left. */
  enum PreviewEnd { PREVIEW_CLOSED, PREVIEW_PRINT };

  virtual ~PrintUi() = default;

  /* Lets the user choose the printer (or a PDF file) and its settings on
  ** PRINTER.  Returns false when the user cancels. */
  virtual bool ChoosePrinter(QPrinter& printer) = 0;
  /* Lets the user change the page (size, orientation, margins) of PRINTER.
  ** Returns false when the user cancels; PRINTER is then unchanged. */
  virtual bool SetUpPage(QPrinter& printer) = 0;
  /* Asks whether a job of PAGES pages is to be printed; true prints it. */
  virtual bool ConfirmLongJob(int pages) = 0;
  /* Shows that page PAGE of PAGECOUNT is about to print.  Returns false
  ** when the user has cancelled the job. */
  virtual bool Progress(int page, int pageCount) = 0;
  /* The job has ended; the progress goes away. */
  virtual void EndProgress() = 0;
  /* Shows the pages of JOB, laid out for PRINTER, until the user closes the
  ** preview or asks to print. */
  virtual PreviewEnd Preview(ListPrinter& job, QPrinter& printer) = 0;
  /* Tells the user that printing failed and why (MESSAGE). */
  virtual void Report(const QString& message) = 0;
};

#endif
