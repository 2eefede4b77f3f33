/*
** ConvertDialogs: the windows "Save as SQLite 3..." shows (the file dialog
** for the new file, the progress of the copy, the report box), behind an
** interface so that the command's path can be driven without them.
** QtConvertDialogs is the implementation the window uses.
*/
#ifndef CONVERTDIALOGS_H
#define CONVERTDIALOGS_H

#include <QPointer>
#include <QString>

#include <functional>

class QProgressDialog;
class QWidget;

class ConvertDialogs {
 public:
  virtual ~ConvertDialogs() = default;

  /* Asks for the name of the new file, offering SUGGESTED.  Returns the
  ** chosen path, or "" when the user cancelled. */
  virtual QString AskTarget(const QString& suggested) = 0;

  /* Shows that a copy runs, with LABEL; CANCEL is called when the user
  ** asks to stop it. */
  virtual void ShowProgress(const QString& label, std::function<void()> cancel) = 0;

  /* Shows DONE of TOTAL rows copied (TOTAL 0: not yet known). */
  virtual void UpdateProgress(qint64 done, qint64 total) = 0;

  /* Removes the progress shown by ShowProgress. */
  virtual void HideProgress() = 0;

  /* Shows a message box with TITLE and TEXT, as a warning when WARNING. */
  virtual void ShowMessage(bool warning, const QString& title, const QString& text) = 0;
};

class QtConvertDialogs : public ConvertDialogs {
 public:
  /* The dialogs belong to PARENT. */
  explicit QtConvertDialogs(QWidget* parent) : m_parent(parent) {}
  ~QtConvertDialogs() override;

  QString AskTarget(const QString& suggested) override;
  void ShowProgress(const QString& label, std::function<void()> cancel) override;
  void UpdateProgress(qint64 done, qint64 total) override;
  void HideProgress() override;
  void ShowMessage(bool warning, const QString& title, const QString& text) override;

 private:
  QWidget* m_parent;
  QPointer<QProgressDialog> m_progress;
};

#endif
