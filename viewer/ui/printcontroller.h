/*
** PrintController: the Print, Print Preview and Print Setup commands of the
** main window over one printer for the whole application, so a page set up
** once (or a printer chosen once) carries to every later job.
**
** Protocol: the window takes a PrintSnapshot of the active grid (which
** holds the grid's result, so later runs of the view cannot change it) and
** hands it to Print or Preview.  Print asks for the printer, lays the job
** out, asks before a job of more than kConfirmPages pages, and prints with
** progress; Cancel aborts the printer.  Preview lays out on the same
** printer and shows pages one at a time as they are looked at; asking to
** print from it runs Print with the same snapshot.  The page orientation
** is the page setup's: no stored preference turns it.
**
** Errors: a job that cannot be laid out (no columns, a page too small for
** one row) and a printer that does not start are reported through
** PrintUi::Report; a cancelled dialog, a refused long job and a cancelled
** job end quietly.  PrintResult tells the caller either way.
*/
#ifndef PRINTCONTROLLER_H
#define PRINTCONTROLLER_H

#include "listprinter.h"

#include <QPrinter>

#include <memory>

class PrintUi;

class PrintController {
 public:
  /* Jobs with more pages than this are printed only when the user agrees. */
  static constexpr int kConfirmPages = 200;

  /* UI answers the job's questions; it must outlive the controller or be
  ** replaced by SetUi first. */
  explicit PrintController(PrintUi* ui);

  /* Replaces the dialogs (tests use a recording double). */
  void SetUi(PrintUi* ui) { m_ui = ui; }

  /* The application's printer, made on first use (finding the system's
  ** default printer can take a moment). */
  QPrinter& Printer();

  /* Prints SNAPSHOT (see the class comment).  Returns the pages printed and,
  ** when the job did not complete, why; an empty error with 0 pages means
  ** the user stopped before anything was printed. */
  PrintResult Print(const PrintSnapshot& snapshot);

  /* Previews SNAPSHOT; prints it when the user asks from the preview.
  ** Returns false when it could not be laid out (reported). */
  bool Preview(const PrintSnapshot& snapshot);

  /* Runs the page setup on the application's printer.  Returns false when
  ** the user cancelled. */
  bool PageSetup();

 private:
  PrintUi* m_ui;
  std::unique_ptr<QPrinter> m_printer;
};

#endif
