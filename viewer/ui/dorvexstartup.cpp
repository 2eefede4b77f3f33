/*
** Start-up and exit of Dorvex.
*/
#include "dorvexstartup.h"

#include "dorvextesthook.h"
#include "dorvexautomation.h"
#include "instancehandover.h"
#include "mainframe.h"
#include "servicelifetime.h"
#include "shellregistration.h"
#include "updatecheck.h"
#include "updatedialogs.h"
#include "versionnumber.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

#include <cstdio>

DorvexStartup::DorvexStartup() = default;

DorvexStartup::~DorvexStartup() {
  if (m_lifetime) QApplication::setQuitOnLastWindowClosed(true);
}

void DorvexStartup::Report(const QString& message) {
  if (m_reporter) {
    m_reporter(message);
    return;
  }
  std::fprintf(stderr, "Dorvex: %s\n", message.toLocal8Bit().constData());
  // Started by the bus, nobody may be there to see a box until the window shows.
  if (!m_options.automation || (m_mainFrame && m_mainFrame->isVisible()))
    QMessageBox::warning(m_mainFrame.get(), QStringLiteral("Dorvex"), message);
}

void DorvexStartup::ApplyLanguage() {
  // German when the profile says so, English otherwise; the value is
  // written back in its normal form.  Number formatting is not touched:
  // LC_NUMERIC stays "C" (see main).
  QSettings profile;
  QString lang = profile.value(QStringLiteral("app/lang"), QStringLiteral("en")).toString();
  bool german = lang.compare(QLatin1String("de"), Qt::CaseInsensitive) == 0;
  profile.setValue(QStringLiteral("app/lang"),
                   german ? QStringLiteral("de") : QStringLiteral("en"));
  QLocale::setDefault(german ? QLocale(QLocale::German, QLocale::Germany)
                             : QLocale(QLocale::English, QLocale::UnitedStates));
}

int DorvexStartup::Start(const QStringList& args, const QString& settingsPath) {
  QString error;
  if (!ParseDorvexOptions(args, m_options, error)) {
    Report(error + QStringLiteral("\n") + DorvexUsage());
    return kStartFailed;
  }
  if (m_options.help) {
    std::fputs(DorvexUsage().toLocal8Bit().constData(), stdout);
    return 0;
  }
  // Files on the command line ask for a window, whoever started us.
  m_windowFree = m_options.automation && m_options.files.isEmpty() && m_options.stateFile.isEmpty();
  if (m_bus) {
    int code = StartService();
    if (code >= 0) return code;
  }
  ApplyLanguage();
  QString path = settingsPath.isEmpty() ? SettingsFile::DefaultPath() : settingsPath;
  m_settingsFile.Load(m_settings, path);
  QString settingsNotice = m_settingsFile.Notice();

  RegisterFileTypes();
  m_mainFrame = std::make_unique<CMainFrame>(m_settings);
  // A window-free start neither takes nor leaves a layout; it takes it
  // when a hand-over turns it into a viewer.
  if (!m_windowFree) m_mainFrame->RestoreLayout();
  m_mainFrame->SetSettingsSaver(
      [this](QString* error) { return m_settingsFile.Save(m_settings, *error); });
  if (m_automation) {
    // Any event loop from here on (a message box too) may bring a hand-over.
    m_automation->SetFileOpener([this](const QString& file) { return OpenHandedFile(file); });
    m_automation->SetActivator([this] { BecomeViewer(); });
    QObject::connect(m_mainFrame.get(), &CMainFrame::Closing, m_lifetime.get(),
                     [this] { m_lifetime->SetWindowOpen(false); });
  }

  if (!m_options.stateFile.isEmpty()) {
    if (!m_mainFrame->OpenDocument(m_options.stateFile, &error, true)) {
      Report(QStringLiteral("The view state %1 could not be loaded: %2")
                 .arg(m_options.stateFile, error));
      return kStartFailed;
    }
  } else if (!OpenCommandLineFiles()) {
    return kStartFailed;
  }
  if (m_windowFree) {
    if (!settingsNotice.isEmpty()) Report(settingsNotice);
    return -1;
  }
  m_mainFrame->show();
  DorvexTestHook::Arm(m_mainFrame.get(), m_settings);
  if (m_lifetime) m_lifetime->SetWindowOpen(true);
  if (!settingsNotice.isEmpty()) Report(settingsNotice);
  StartUpdateCheck();
  return -1;
}

bool DorvexStartup::OpenCommandLineFiles() {
  int opened = 0;
  for (const QString& file : m_options.files) {
    QString error;
    if (m_mainFrame->OpenDocument(file, &error))
      ++opened;
    else
      Report(QStringLiteral("Could not open %1: %2").arg(file, error));
  }
  return m_options.files.isEmpty() || opened > 0;
}

int DorvexStartup::StartService() {
  if (!m_bus->isConnected()) {
    QString reason = m_bus->lastError().message();
    if (m_windowFree) {
      Report(QStringLiteral("No session bus (%1): there is nothing to serve.").arg(reason));
      return kStartFailed;
    }
    std::fprintf(stderr,
                 "Dorvex: warning: no session bus (%s); running without automation, and "
                 "without handing files to a running Dorvex.\n",
                 qPrintable(reason));
    return -1;
  }
  m_automation = std::make_unique<DorvexAutomation>();
  m_lifetime = std::make_unique<ServiceLifetime>(*m_automation);
  QObject::connect(m_lifetime.get(), &ServiceLifetime::finished, QCoreApplication::instance(),
                   &QCoreApplication::quit);
  QString error;
  if (m_lifetime->Start(*m_bus, DorvexAutomation::kGraceMs, &error)) {
    // The service decides when the program ends: a closed window may leave
    // documents that a client still uses.
    QApplication::setQuitOnLastWindowClosed(false);
    return -1;
  }
  m_lifetime.reset();
  m_automation.reset();
  if (InstanceHandOver::ServiceOwned(*m_bus)) {
    if (!m_windowFree) return HandOverToRunningViewer();
    Report(QStringLiteral("Another Dorvex serves the bus already."));
    return kStartFailed;
  }
  if (m_windowFree) {
    Report(error);
    return kStartFailed;
  }
  std::fprintf(stderr, "Dorvex: warning: %s; running without automation.\n", qPrintable(error));
  return -1;
}

int DorvexStartup::HandOverToRunningViewer() {
  QStringList paths = m_options.files;
  if (!m_options.stateFile.isEmpty()) {
    // The running viewer tells a view state by its extension.
    if (!IsStateFilePath(m_options.stateFile)) return -1;  // fails here as it would there
    paths << m_options.stateFile;
  }
  HandOverResult result = InstanceHandOver::HandOver(*m_bus, paths);
  for (const QString& file : result.refused)
    std::fprintf(stderr, "Dorvex: the running Dorvex could not open %s.\n", qPrintable(file));
  if (result.Done()) return !paths.isEmpty() && result.opened.isEmpty() ? kStartFailed : 0;
  std::fprintf(stderr,
               "Dorvex: warning: the files could not be handed to the running Dorvex (%s); "
               "opening them here.\n",
               qPrintable(result.error));
  if (m_options.stateFile.isEmpty()) m_options.files = result.left;
  return -1;
}

void DorvexStartup::BecomeViewer() {
  // From now on this is an ordinary viewer, whoever started it.
  if (m_windowFree) m_mainFrame->RestoreLayout();
  m_windowFree = false;
  m_mainFrame->show();
  m_mainFrame->raise();
  m_mainFrame->activateWindow();
  if (m_lifetime) m_lifetime->SetWindowOpen(true);
}

bool DorvexStartup::OpenHandedFile(const QString& path) {
  BecomeViewer();
  QString error;
  if (!QFileInfo(path).isAbsolute())
    error = QStringLiteral("the path is not absolute");
  else if (m_mainFrame->OpenDocument(path, &error))
    return true;
  // Told once the call is answered: a message box now would keep the
  // caller waiting for its reply.
  QString message = QStringLiteral("Could not open %1: %2").arg(path, error);
  QTimer::singleShot(0, m_mainFrame.get(), [this, message] { Report(message); });
  return false;
}

void DorvexStartup::RegisterFileTypes() {
  // A desktop that cannot be told about our types is no reason to stop:
  // the program works without the registration.
  if (m_windowFree) return;
  ShellRegistration::Register(QCoreApplication::applicationFilePath());
}

void DorvexStartup::StartUpdateCheck() {
  if (m_windowFree) return;
  if (!m_settings.ReadBool("update/docheck", true)) return;
  int64_t hours = UpdateCheck::HoursForDays(m_settings.ReadInt("update/dayscheck", 7));
  m_updateDialogs = std::make_unique<UpdateDialogs>(m_mainFrame.get());
  m_updateCheck = std::make_unique<UpdateCheck>(UpdateCheck::ConfiguredPadAddress(), hours,
                                                m_profile, *m_updateDialogs);
  m_updateCheck->SetCurrentVersion(VersionNumber(0, 15, 0, 59));
  QObject::connect(m_mainFrame.get(), &CMainFrame::Closing, m_updateCheck.get(),
                   &UpdateCheck::Abort);
  // The check works on a thread of its own; the window is already shown
  // and keeps answering while it runs.
  m_updateCheck->Run();
}

bool DorvexStartup::Finish() {
  if (SaveSuppressed()) return true;
  QString error;
  if (m_settingsFile.Save(m_settings, error)) return true;
  // The window is gone: the error stream is the one place left to say it.
  std::fprintf(stderr, "Dorvex: %s\n", error.toLocal8Bit().constData());
  return false;
}
