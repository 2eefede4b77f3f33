/*
** The update check's windows.
*/
#include "updatedialogs.h"

#include "filemanager.h"

#include <QMessageBox>

namespace {
/* The progress bar counts in KiB so that sizes past 2 GiB fit its int range. */
int InKiB(uint64_t bytes) {
  return static_cast<int>(std::min<uint64_t>(bytes / 1024, INT32_MAX));
}
}  // namespace

UpdateDialogs::UpdateDialogs(QWidget* parent) : m_parent(parent) {}

UpdateDialogs::~UpdateDialogs() {
  EndProgress();
}

bool UpdateDialogs::AskToDownload(const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Yes | QMessageBox::No,
                  m_parent);
  box.setDefaultButton(QMessageBox::Yes);
  box.raise();
  box.activateWindow();
  return box.exec() == QMessageBox::Yes;
}

void UpdateDialogs::BeginProgress(const QString& title, std::function<void()> cancel) {
  EndProgress();
  m_dialog = new QProgressDialog(QString(), QMessageBox::tr("Cancel"), 0, 0, m_parent);
  m_dialog->setWindowTitle(title);
  m_dialog->setAutoClose(false);
  m_dialog->setAutoReset(false);
  m_dialog->setMinimumDuration(0);
  QObject::connect(m_dialog, &QProgressDialog::canceled, m_dialog, std::move(cancel));
  m_dialog->show();
}

void UpdateDialogs::ShowProgress(const QString& title, const QString& rate,
                                 const TransferProgress& progress) {
  if (!m_dialog) return;
  m_dialog->setWindowTitle(title);
  m_dialog->setLabelText(rate);
  m_dialog->setMaximum(InKiB(progress.total));
  m_dialog->setValue(progress.total > 0 ? InKiB(progress.bytes) : 0);
}

void UpdateDialogs::EndProgress() {
  if (!m_dialog) return;
  m_dialog->disconnect();
  m_dialog->close();
  m_dialog->deleteLater();
  m_dialog = nullptr;
}

void UpdateDialogs::ShowDownloaded(const QString& caption, const QString& text,
                                   const QString& path) {
  ShowInFileManager(path);
  QMessageBox::information(m_parent, caption, text);
}
