/*
** PrintDialogs: the real PrintUi of the main window - QPrintDialog (no page
** range, no selection; printing to a PDF file allowed), QPageSetupDialog, a
** question before a long job, a window-modal QProgressDialog whose Cancel
** stops the job, PrintPreview, and a warning box for failures.
*/
#ifndef PRINTDIALOGS_H
#define PRINTDIALOGS_H

#include "printui.h"

#include <memory>

class QProgressDialog;
class QWidget;

class PrintDialogs : public PrintUi {
 public:
  /* PARENT owns the dialogs' windows and must outlive this object. */
  explicit PrintDialogs(QWidget* parent);
  ~PrintDialogs() override;

  bool ChoosePrinter(QPrinter& printer) override;
  bool SetUpPage(QPrinter& printer) override;
  bool ConfirmLongJob(int pages) override;
  bool Progress(int page, int pageCount) override;
  void EndProgress() override;
  PreviewEnd Preview(ListPrinter& job, QPrinter& printer) override;
  void Report(const QString& message) override;

 private:
  QWidget* m_parent;
  std::unique_ptr<QProgressDialog> m_progress;
};

#endif
