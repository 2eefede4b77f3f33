/*
** Start-up and exit of Dorvex.
*/
#include "dorvexstartup.h"

#include "dorvextesthook.h"
#include "mainframe.h"
#include "shellregistration.h"
#include "updatecheck.h"
#include "updatedialogs.h"
#include "versionnumber.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLocale>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

#include <cstdio>

DorvexStartup::DorvexStartup() = default;

DorvexStartup::~DorvexStartup() = default;

void DorvexStartup::Report(const QString& message) {
  if (m_reporter) {
    m_reporter(message);
    return;
  }
  std::fprintf(stderr, "Dorvex: %s\n", message.toLocal8Bit().constData());
  if (!m_options.automation)
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
  ApplyLanguage();
  QString path = settingsPath.isEmpty() ? SettingsFile::DefaultPath() : settingsPath;
  m_settingsFile.Load(m_settings, path);
  QString settingsNotice = m_settingsFile.Notice();

  RegisterFileTypes();
  m_mainFrame = std::make_unique<CMainFrame>(m_settings);
  // The automation service's window neither takes nor leaves a layout.
  if (!m_options.automation) {
    m_mainFrame->RestoreLayout();
    m_mainFrame->SetSettingsSaver(
        [this](QString* error) { return m_settingsFile.Save(m_settings, *error); });
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
  m_mainFrame->show();
  DorvexTestHook::Arm(m_mainFrame.get(), m_settings);
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

void DorvexStartup::RegisterFileTypes() {
  // A desktop that cannot be told about our types is no reason to stop:
  // the program works without the registration.
  if (m_options.automation) return;
  ShellRegistration::Register(QCoreApplication::applicationFilePath());
}

void DorvexStartup::StartUpdateCheck() {
  if (m_options.automation) return;
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
