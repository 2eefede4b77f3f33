/*
** The print commands' job driving (see printcontroller.h).
*/
#include "printcontroller.h"

#include "printui.h"

PrintController::PrintController(PrintUi* ui) : m_ui(ui) {}

QPrinter& PrintController::Printer() {
  if (!m_printer) m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return *m_printer;
}

PrintResult PrintController::Print(const PrintSnapshot& snapshot) {
  PrintResult result;
  if (!m_ui->ChoosePrinter(Printer())) return result;
  ListPrinter job(snapshot);
  if (!job.Layout(Printer(), &result.error)) {
    m_ui->Report(result.error);
    return result;
  }
  // The count is the one the print loop uses, so the question is honest.
  if (job.PageCount() > kConfirmPages && !m_ui->ConfirmLongJob(job.PageCount())) return result;
  PrintUi* ui = m_ui;
  result = job.PrintAll(Printer(), [ui](int page, int count) { return ui->Progress(page, count); });
  m_ui->EndProgress();
  if (!result.error.isEmpty() && !result.cancelled) m_ui->Report(result.error);
  return result;
}

bool PrintController::Preview(const PrintSnapshot& snapshot) {
  ListPrinter job(snapshot);
  QString error;
  if (!job.Layout(Printer(), &error)) {
    m_ui->Report(error);
    return false;
  }
  if (m_ui->Preview(job, Printer()) == PrintUi::PREVIEW_PRINT) Print(snapshot);
  return true;
}

bool PrintController::PageSetup() {
  return m_ui->SetUpPage(Printer());
}
