/*
** UpdateDialogs: the update check's prompt with windows: a Yes/No message
** box, a progress dialog with Cancel, and a closing message after which
** the saved file is shown in the file manager.  Windows are centred on the
** given parent (the main window), which must outlive this object.
*/
#ifndef UPDATEDIALOGS_H
#define UPDATEDIALOGS_H

#include "updateprompt.h"

#include <QPointer>
#include <QProgressDialog>

class QWidget;

class UpdateDialogs : public UpdatePrompt {
 public:
  explicit UpdateDialogs(QWidget* parent);
  ~UpdateDialogs() override;

  bool AskToDownload(const QString& caption, const QString& text) override;
  void BeginProgress(const QString& title, std::function<void()> cancel) override;
  void ShowProgress(const QString& title, const QString& rate,
                    const TransferProgress& progress) override;
  void EndProgress() override;
  void ShowDownloaded(const QString& caption, const QString& text, const QString& path) override;

 private:
  QWidget* m_parent;
  QPointer<QProgressDialog> m_dialog;
};

#endif /* UPDATEDIALOGS_H */
