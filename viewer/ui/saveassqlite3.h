/*
** SaveAsSqlite3: the command "Save as SQLite 3..." of a generation-2
** document.  It asks for the new file through its dialogs, refuses a name
** that exists (the copy never replaces a file), copies the document's file
** into the new one off the window thread (ConvertJob) while the progress is
** shown and Cancel works, and shows the report of what SQLite 3 did not
** take as it was.  A cancelled or failed copy leaves nothing behind.
*/
#ifndef SAVEASSQLITE3_H
#define SAVEASSQLITE3_H

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class CDorvexDoc;
class ConvertDialogs;
class ConvertJob;

class SaveAsSqlite3 : public QObject {
  Q_OBJECT
 public:
  /* DIALOGS (not owned) must outlive the command or be replaced first. */
  explicit SaveAsSqlite3(ConvertDialogs* dialogs, QObject* parent = nullptr);
  ~SaveAsSqlite3() override;

  /* Replaces the dialogs; only while no copy runs. */
  void SetDialogs(ConvertDialogs* dialogs) { m_dialogs = dialogs; }

  /* Runs the command for the file of DOC.  Returns true when a copy
  ** started; false when the user cancelled the file dialog, the name was
  ** refused (with a message), or a copy runs already. */
  bool Run(const CDorvexDoc& doc);

  /* Returns true while a copy runs. */
  bool IsRunning() const { return m_job != nullptr; }

  /* Returns the name offered for the copy of SOURCE: beside it, with the
  ** extension ".sqlite3". */
  static QString SuggestedTarget(const QString& source);

 signals:
  /* A copy ended and its report was shown (or it was cancelled). */
  void Finished();

 private:
  void Poll();

  ConvertDialogs* m_dialogs;
  std::unique_ptr<ConvertJob> m_job;
  QTimer m_poll;
};

#endif
