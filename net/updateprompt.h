/*
** UpdatePrompt: what the update check shows the user, behind an interface
** so that the check runs in tests without a display.  Every call comes on
** the window thread.  UpdateDialogs is the implementation with windows.
*/
#ifndef UPDATEPROMPT_H
#define UPDATEPROMPT_H

#include "transferprogress.h"

#include <QString>

#include <functional>

class UpdatePrompt {
 public:
  virtual ~UpdatePrompt() = default;

  /* Asks whether to download the newer release; true for Yes. */
  virtual bool AskToDownload(const QString& caption, const QString& text) = 0;

  /* Shows that a download with window title TITLE has begun; CANCEL stops it. */
  virtual void BeginProgress(const QString& title, std::function<void()> cancel) = 0;

  /* Updates the progress shown: TITLE already carries the percentage, RATE
  ** is the rate text. */
  virtual void ShowProgress(const QString& title, const QString& rate,
                            const TransferProgress& progress) = 0;

  /* Removes the progress display. */
  virtual void EndProgress() = 0;

  /* Tells the user that the release was saved as PATH and how to install
  ** it (TEXT), and shows the file in the file manager. */
  virtual void ShowDownloaded(const QString& caption, const QString& text, const QString& path) = 0;
};

#endif /* UPDATEPROMPT_H */
