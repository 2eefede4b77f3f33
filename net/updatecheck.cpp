/*
** The update check: timers and prompts on the window thread, transfers on
** a worker thread whose results come back as queued calls.
*/
#include "updatecheck.h"

#include "installname.h"
#include "language.h"
#include "urldownload.h"

#include <QDir>
#include <QStandardPaths>

#include <chrono>

namespace {

/* Shortest pause between two progress updates sent to the window. */
constexpr auto kProgressEvery = std::chrono::milliseconds(100);

/* The message shown after a saved download, in German or English. */
QString SavedText(bool german, const QString& versionText, const QString& path) {
  if (german) {
    return QStringLiteral(
               "Die Version %1 wurde heruntergeladen und gespeichert als:\n%2\n\n"
               "Das Programm läuft weiter. Zum Installieren beenden Sie es und installieren "
               "die Datei mit Ihrer Paketverwaltung, ein .deb-Paket zum Beispiel mit\n"
               "sudo apt install %2")
        .arg(versionText, path);
  }
  return QStringLiteral(
             "Version %1 has been downloaded and saved as:\n%2\n\n"
             "The program keeps running. To install the new version, close it and install "
             "the file with your package manager, a .deb package for example with\n"
             "sudo apt install %2")
      .arg(versionText, path);
}

}  // namespace

/* Forwards the worker's progress to the window thread, at most ten times a second. */
class UpdateCheck::Progress : public TransferObserver {
 public:
  Progress(UpdateCheck* owner, QString title) : m_owner(owner), m_title(std::move(title)) {}

  void TransferProgressed(const TransferProgress& progress) override {
    auto now = std::chrono::steady_clock::now();
    if (!progress.finished && now - m_last < kProgressEvery) return;
    m_last = now;
    UpdateCheck* owner = m_owner;
    QString title = QString::fromStdString(progress.TitleText(m_title.toStdString()));
    QString rate = QString::fromStdString(progress.RateText());
    QMetaObject::invokeMethod(
        owner,
        [owner, title, rate, progress] {
          if (owner->m_progressShown && !owner->m_aborted.load()) {
            owner->m_prompt.ShowProgress(title, rate, progress);
          }
        },
        Qt::QueuedConnection);
  }

 private:
  UpdateCheck* m_owner;
  QString m_title;
  std::chrono::steady_clock::time_point m_last{};
};

QString UpdateCheck::ConfiguredPadAddress() {
  return QStringLiteral(XB_PAD_ADDRESS);
}

int64_t UpdateCheck::HoursForDays(int64_t days) {
  if (days < 0) days = kDefaultDays;
  return std::min(days, kMaxDays) * 24;
}

QString UpdateCheck::PromptText(bool german, const QString& versionText) {
  if (german) {
    return QStringLiteral("Es gibt eine neue Version: ") + versionText +
           QStringLiteral(". Möchten Sie diese jetzt installieren?");
  }
  return QStringLiteral("There is a newer version avaliable: ") + versionText +
         QStringLiteral(". Do you want to upgrade now?");
}

UpdateCheck::UpdateCheck(const QString& padAddress, int64_t hours, QSettings& profile,
                         UpdatePrompt& prompt, QObject* parent)
    : QObject(parent),
      m_padAddress(padAddress),
      m_hours(hours),
      m_profile(profile),
      m_prompt(prompt) {}

UpdateCheck::~UpdateCheck() {
  Abort();
}

void UpdateCheck::SetNetworkLimits(int timeoutMs, int connectRetries, int retryPauseMs) {
  m_timeoutMs = timeoutMs;
  m_connectRetries = connectRetries;
  m_retryPauseMs = retryPauseMs;
}

IntervalTimer UpdateCheck::Timer(const char* name, int64_t seconds) {
  return IntervalTimer(m_profile, m_appName + QLatin1Char('#') + QLatin1String(name), seconds,
                       m_clock);
}

bool UpdateCheck::Run() {
  if (m_running) return false;
  m_aborted.store(false);
  m_savedFile.clear();
  m_error.clear();
  Outcome early = Disabled;
  bool start = false;
  if (!m_padAddress.isEmpty()) {
    IntervalTimer check = Timer("pad#update#check", m_hours * 3600);
    IntervalTimer retry = Timer("pad#update#retry", 86400);
    start = check.IsDue(true) && retry.IsDue(true);
    early = NotDue;
  }
  if (!start) {
    QMetaObject::invokeMethod(
        this, [this, early] { emit finished(early); }, Qt::QueuedConnection);
    return false;
  }
  m_running = true;
  auto job = std::make_unique<UrlDownload>();
  job->SetSizeLimit(PadInfo::kMaxInput);
  SetJob(std::move(job));
  StartWorker(false, m_padAddress);
  return false;
}

void UpdateCheck::SetJob(std::unique_ptr<UrlDownload> job) {
  job->Source().SetTimeout(m_timeoutMs);
  job->Source().SetConnectRetries(m_connectRetries, m_retryPauseMs);
  std::lock_guard<std::mutex> lock(m_jobLock);
  m_job = std::move(job);
}

void UpdateCheck::StartWorker(bool toFile, const QString& url) {
  UrlDownload* raw = m_job.get();
  std::string address = url.toStdString();
  m_worker = std::thread([this, raw, toFile, address] {
    std::string body;
    bool ok = toFile ? raw->Run(address) : raw->Fetch(address, body);
    QString error = QString::fromStdString(raw->ErrorText());
    QByteArray data = QByteArray::fromStdString(body);
    QMetaObject::invokeMethod(
        this,
        [this, ok, toFile, data, error] {
          JoinWorker();
          if (m_aborted.load()) return;
          if (toFile) {
            ReleaseArrived(ok, error);
          } else {
            PadArrived(ok, data, error);
          }
        },
        Qt::QueuedConnection);
  });
}

void UpdateCheck::JoinWorker() {
  if (m_worker.joinable()) m_worker.join();
}

void UpdateCheck::PadArrived(bool ok, const QByteArray& body, const QString& error) {
  {
    std::lock_guard<std::mutex> lock(m_jobLock);
    m_job.reset();
  }
  PadInfo pad;
  if (!ok || !pad.Read(body)) {
    m_error = ok ? QStringLiteral("the answer is no PAD file") : error;
    Timer("pad#update#retry", 86400).Mark();
    Finish(FetchFailed);
    return;
  }
  Timer("pad#update#check", m_hours * 3600).Mark();
  QString why;
  if (!pad.Usable(&why)) {
    m_error = why;
    Finish(UpToDate);
    return;
  }
  if (!pad.Version().IsNewerThan(m_ownVersion)) {
    Finish(UpToDate);
    return;
  }
  Offer(pad);
}

void UpdateCheck::Offer(const PadInfo& pad) {
  bool german = IsLanguage(m_profile, QStringLiteral("de"));
  m_versionText = QString::fromStdString(pad.Version().Text());
  bool yes = m_prompt.AskToDownload(m_appName, PromptText(german, m_versionText));
  if (m_aborted.load()) return;
  if (!yes) {
    Finish(Declined);
    return;
  }
  QString folder = m_downloadFolder;
  if (folder.isEmpty()) folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
  if (folder.isEmpty()) folder = QDir::homePath();
  QDir().mkpath(folder);
  QString target = QDir(folder).filePath(InstallFileName(m_appName, pad.DownloadUrl()));

  auto job = std::make_unique<UrlDownload>();
  job->SetFileName(target.toStdString());
  job->SetExpectedSize(pad.SizeBytes());
  job->SetExpectedSha256(pad.Sha256().toStdString());
  m_progress = std::make_unique<Progress>(this, m_appName + QStringLiteral(" - Update"));
  job->SetObserver(m_progress.get());
  m_savedFile = target;
  SetJob(std::move(job));
  // The job is in place before the progress window can offer Cancel.
  m_progressShown = true;
  m_prompt.BeginProgress(m_appName + QStringLiteral(" - Update"), [this] {
    std::lock_guard<std::mutex> lock(m_jobLock);
    if (m_job) m_job->Cancel();
  });
  StartWorker(true, pad.DownloadUrl());
}

void UpdateCheck::ReleaseArrived(bool ok, const QString& error) {
  m_progressShown = false;
  m_prompt.EndProgress();
  {
    std::lock_guard<std::mutex> lock(m_jobLock);
    m_job.reset();
  }
  m_progress.reset();
  if (!ok) {
    m_error = error;
    m_savedFile.clear();
    Finish(DownloadFailed);
    return;
  }
  bool german = IsLanguage(m_profile, QStringLiteral("de"));
  m_prompt.ShowDownloaded(m_appName, SavedText(german, m_versionText, m_savedFile), m_savedFile);
  Finish(Downloaded);
}

void UpdateCheck::Abort() {
  if (!m_running) return;
  m_aborted.store(true);
  {
    std::lock_guard<std::mutex> lock(m_jobLock);
    if (m_job) m_job->Cancel();
  }
  JoinWorker();
  if (m_progressShown) {
    m_progressShown = false;
    m_prompt.EndProgress();
  }
  {
    std::lock_guard<std::mutex> lock(m_jobLock);
    m_job.reset();
  }
  m_progress.reset();
  m_savedFile.clear();
  Finish(Aborted);
}

void UpdateCheck::Finish(Outcome outcome) {
  m_running = false;
  emit finished(outcome);
}
