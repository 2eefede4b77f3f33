/*
** UpdateCheck: looks for a newer release in the PAD file at a configured
** address and, when the user agrees, downloads it into the download folder.
**
** The network work runs on a thread of its own, so the window never waits
** for it; everything the user sees and every profile access happens on
** the window thread through an UpdatePrompt.  Sequence of Run():
**   1. With an empty PAD address nothing happens.  Otherwise the check
**      timer ("<app>#pad#update#check", the configured interval) and the
**      retry timer ("<app>#pad#update#retry", one day) must both be due.
**   2. The PAD file (at most 1 MiB) is fetched.  A failure or a file
**      without "Program_Info" marks the retry timer; a read PAD file marks
**      the check timer.
**   3. A usable release newer than the own version is offered
**      (AskToDownload, German or English by the profile's language).
**   4. Yes: the file is downloaded, with progress and Cancel, as
**      InstallFileName() into the download folder, at most the PAD's size
**      (else 512 MiB), exactly that size and its SHA-256 digest when given.
**   5. The saved file is shown (ShowDownloaded); nothing is ever run or
**      handed to a desktop handler.
** Run() returns false: the program always carries on.  Abort() (or the
** destructor) stops a running check at once; the finished() signal then
** carries Aborted.
*/
#ifndef UPDATECHECK_H
#define UPDATECHECK_H

#include "intervaltimer.h"
#include "padinfo.h"
#include "updateprompt.h"
#include "versionnumber.h"

#include <QObject>
#include <QSettings>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

class UrlDownload;

class UpdateCheck : public QObject {
  Q_OBJECT

 public:
  enum Outcome {
    Disabled,        // no PAD address configured
    NotDue,          // checked recently, or a failed fetch less than a day ago
    FetchFailed,     // no PAD file; the retry timer is marked
    UpToDate,        // no newer usable release
    Declined,        // the user said No
    DownloadFailed,  // the download failed, was refused or cancelled; nothing kept
    Downloaded,      // the release was saved and shown
    Aborted          // Abort() was called
  };
  Q_ENUM(Outcome)

  static constexpr int64_t kDefaultDays = 7;
  static constexpr int64_t kMaxDays = 3650;

  /* The check interval in hours for the "update/dayscheck" setting DAYS:
  ** bounded to 3650 days; a negative value is not a setting and gives the
  ** default of 7 days. */
  static int64_t HoursForDays(int64_t days);

  /* The PAD address the build was configured with (XB_PAD_ADDRESS); empty
  ** when none was, which turns the check off. */
  static QString ConfiguredPadAddress();

  /* The prompt text for VERSIONTEXT in German or English. */
  static QString PromptText(bool german, const QString& versionText);

  /* PADADDRESS may be empty (then Run() does nothing); HOURS is the check
  ** interval; PROFILE holds the timers and the language; PROMPT shows
  ** everything.  PROFILE and PROMPT must outlive the check. */
  UpdateCheck(const QString& padAddress, int64_t hours, QSettings& profile, UpdatePrompt& prompt,
              QObject* parent = nullptr);
  ~UpdateCheck() override;

  void SetCurrentVersion(const VersionNumber& version) { m_ownVersion = version; }
  void SetAppName(const QString& name) { m_appName = name; }
  void SetClock(IntervalTimer::Clock clock) { m_clock = std::move(clock); }
  /* The folder the release is saved in (the user's download folder unless set). */
  void SetDownloadFolder(const QString& folder) { m_downloadFolder = folder; }
  /* Network time-out and connect retries (for tests; 60 s, 2 and 1 s by default). */
  void SetNetworkLimits(int timeoutMs, int connectRetries, int retryPauseMs);

  /* Starts the check (see the class comment) and returns false. */
  bool Run();

  /* Stops a running check; returns once its thread has ended. */
  void Abort();

  bool IsRunning() const { return m_running; }
  /* The saved release after Downloaded, else empty. */
  const QString& DownloadedFile() const { return m_savedFile; }
  /* Why the last step failed, in words (for diagnostics). */
  const QString& ErrorText() const { return m_error; }

 signals:
  /* The check has ended with OUTCOME. */
  void finished(UpdateCheck::Outcome outcome);

 private:
  class Progress;

  void SetJob(std::unique_ptr<UrlDownload> job);
  void StartWorker(bool toFile, const QString& url);
  void JoinWorker();
  void PadArrived(bool ok, const QByteArray& body, const QString& error);
  void ReleaseArrived(bool ok, const QString& error);
  void Offer(const PadInfo& pad);
  void Finish(Outcome outcome);
  IntervalTimer Timer(const char* name, int64_t seconds);

  QString m_padAddress;
  int64_t m_hours;
  QSettings& m_profile;
  UpdatePrompt& m_prompt;
  VersionNumber m_ownVersion{0, 15, 0, 59};
  QString m_appName = QStringLiteral("Dorvex");
  QString m_downloadFolder;
  IntervalTimer::Clock m_clock = &IntervalTimer::SystemNow;
  int m_timeoutMs = 60000;
  int m_connectRetries = 2;
  int m_retryPauseMs = 1000;

  bool m_running = false;
  bool m_progressShown = false;
  std::atomic<bool> m_aborted{false};
  std::thread m_worker;
  std::mutex m_jobLock;
  std::unique_ptr<UrlDownload> m_job;
  std::unique_ptr<Progress> m_progress;
  QString m_versionText;
  QString m_savedFile;
  QString m_error;
};

#endif /* UPDATECHECK_H */
