/*
** "Save as SQLite 3...": the dialogs around a ConvertJob.  The window
** thread polls the job for its progress and its end.
*/
#include "saveassqlite3.h"

#include "convertdialogs.h"
#include "convertjob.h"
#include "dorvexdoc.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

/* How often the progress is shown, in milliseconds. */
const int kPollMs = 100;

}  // namespace

SaveAsSqlite3::SaveAsSqlite3(ConvertDialogs* dialogs, QObject* parent)
    : QObject(parent), m_dialogs(dialogs) {
  m_poll.setInterval(kPollMs);
  connect(&m_poll, &QTimer::timeout, this, &SaveAsSqlite3::Poll);
}

// The job's destructor stops a copy that still runs and removes what it
// had written.
SaveAsSqlite3::~SaveAsSqlite3() = default;

QString SaveAsSqlite3::SuggestedTarget(const QString& source) {
  QFileInfo info(source);
  return info.dir().filePath(info.completeBaseName() + QStringLiteral(".sqlite3"));
}

bool SaveAsSqlite3::Run(const CDorvexDoc& doc) {
  if (m_job || !m_dialogs) return false;
  QString source = QString::fromStdString(doc.DatabasePath());
  QString target = m_dialogs->AskTarget(SuggestedTarget(source));
  if (target.isEmpty()) return false;
  target = QFileInfo(target).absoluteFilePath();
  std::string problem = ConvertJob::TargetProblem(QFile::encodeName(target).toStdString());
  if (!problem.empty()) {
    m_dialogs->ShowMessage(true, QStringLiteral("Save as SQLite 3"),
                           QStringLiteral("Cannot save as %1: %2.\nChoose a name that is not "
                                          "taken.")
                               .arg(target, QString::fromStdString(problem)));
    return false;
  }
  m_job = std::make_unique<ConvertJob>();
  int version = doc.Version() < 3.0 ? 2 : 3;
  m_job->Start(QFile::encodeName(source).toStdString(), version, doc.TextEncoding(),
               QFile::encodeName(target).toStdString(), {});
  ConvertJob* job = m_job.get();
  m_dialogs->ShowProgress(QStringLiteral("Copying %1 into %2...")
                              .arg(QFileInfo(source).fileName(), QFileInfo(target).fileName()),
                          [job] { job->Cancel(); });
  m_poll.start();
  return true;
}

void SaveAsSqlite3::Poll() {
  if (!m_job) return;
  if (m_job->IsRunning()) {
    m_dialogs->UpdateProgress(m_job->RowsDone(), m_job->RowsTotal());
    return;
  }
  m_poll.stop();
  m_job->Wait();
  ConvertReport report = m_job->Report();
  // The progress (and its Cancel) goes before the job it would reach.
  m_dialogs->HideProgress();
  m_job.reset();
  if (report.show)
    m_dialogs->ShowMessage(report.warning, QString::fromStdString(report.title),
                           QString::fromStdString(report.text));
  emit Finished();
}
