/*
** The windows of "Save as SQLite 3...": a save dialog, a window-modal
** progress dialog and a message box.
*/
#include "convertdialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>

QtConvertDialogs::~QtConvertDialogs() {
  HideProgress();
}

QString QtConvertDialogs::AskTarget(const QString& suggested) {
  // The copy never replaces a file, so the dialog must not offer to: an
  // existing name is refused after the dialog with a message that says so.
  return QFileDialog::getSaveFileName(
      m_parent, QStringLiteral("Save as SQLite 3"), suggested,
      QStringLiteral("SQLite 3 Databases (*.sqlite3 *.db3 *.db);;All files (*)"), nullptr,
      QFileDialog::DontConfirmOverwrite);
}

void QtConvertDialogs::ShowProgress(const QString& label, std::function<void()> cancel) {
  HideProgress();
  m_progress = new QProgressDialog(label, QStringLiteral("Cancel"), 0, 0, m_parent);
  m_progress->setWindowTitle(QStringLiteral("Save as SQLite 3"));
  m_progress->setWindowModality(Qt::WindowModal);
  m_progress->setAutoClose(false);
  m_progress->setAutoReset(false);
  m_progress->setMinimumDuration(300);
  QObject::connect(m_progress, &QProgressDialog::canceled, m_progress, std::move(cancel));
  m_progress->setValue(0);
}

void QtConvertDialogs::UpdateProgress(qint64 done, qint64 total) {
  if (!m_progress) return;
  // The dialog counts in int; large row counts are scaled to per mille.
  if (total <= 0) {
    m_progress->setRange(0, 0);
    return;
  }
  m_progress->setRange(0, 1000);
  m_progress->setValue(int(qMin<qint64>(1000, done * 1000 / total)));
}

void QtConvertDialogs::HideProgress() {
  if (!m_progress) return;
  m_progress->hide();
  m_progress->deleteLater();
  m_progress = nullptr;
}

void QtConvertDialogs::ShowMessage(bool warning, const QString& title, const QString& text) {
  if (warning)
    QMessageBox::warning(m_parent, title, text);
  else
    QMessageBox::information(m_parent, title, text);
}
