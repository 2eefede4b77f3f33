/*
** The print commands' dialogs (see printdialogs.h).
*/
#include "printdialogs.h"

#include "printpreview.h"

#include <QLocale>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>

PrintDialogs::PrintDialogs(QWidget* parent) : m_parent(parent) {}

PrintDialogs::~PrintDialogs() = default;

bool PrintDialogs::ChoosePrinter(QPrinter& printer) {
  QPrintDialog dialog(&printer, m_parent);
  // Every row is printed: no page ranges, no selection.
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
  return dialog.exec() == QDialog::Accepted;
}

bool PrintDialogs::SetUpPage(QPrinter& printer) {
  QPageSetupDialog dialog(&printer, m_parent);
  return dialog.exec() == QDialog::Accepted;
}

bool PrintDialogs::ConfirmLongJob(int pages) {
  const QString text = QStringLiteral("This job has %1 pages.\nPrint all of them?")
                           .arg(QLocale::system().toString(pages));
  return QMessageBox::question(m_parent, QStringLiteral("Print"), text,
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

bool PrintDialogs::Progress(int page, int pageCount) {
  if (!m_progress) {
    m_progress = std::make_unique<QProgressDialog>(QString(), QStringLiteral("Cancel"), 0,
                                                   pageCount, m_parent);
    m_progress->setWindowTitle(QStringLiteral("Print"));
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(500);
  }
  if (m_progress->wasCanceled()) return false;
  m_progress->setMaximum(pageCount);
  m_progress->setLabelText(
      QStringLiteral("Printing page %1 of %2")
          .arg(QLocale::system().toString(page), QLocale::system().toString(pageCount)));
  // A window-modal progress dialog lets the Cancel button's click through here.
  m_progress->setValue(page - 1);
  return !m_progress->wasCanceled();
}

void PrintDialogs::EndProgress() {
  m_progress.reset();
}

PrintUi::PreviewEnd PrintDialogs::Preview(ListPrinter& job, QPrinter& printer) {
  PrintPreview preview(job, printer, m_parent);
  preview.exec();
  return preview.PrintRequested() ? PREVIEW_PRINT : PREVIEW_CLOSED;
}

void PrintDialogs::Report(const QString& message) {
  QMessageBox::warning(m_parent, QStringLiteral("Print"),
                       QStringLiteral("Printing failed: %1.").arg(message));
}
