/*
** DorvexStartup: what happens from process start to the first window and
** at exit.  Start runs, in order: the profile (QSettings "XB Software" /
** "Dorvex") with its language entry, the settings file in the per-user
** folder, the command line, the main window, the documents it names, and,
** once the window is shown, the update check (never for automation; closing
** the window aborts it).  The file types are registered with the desktop
** at every start that is not for automation.  Finish writes the
** settings file unless the program is still window-free.
**
** Given a bus (UseBus), every start serves the automation service
** (org.xbsoftware.Dorvex) first.  When another process owns it already,
** the start hands its files (or, without files, the wish for a window) to
** that viewer and ends with 0; a hand-over the bus fails falls back to
** opening the files here, without the service.  "--automation" without
** files starts window-free: no window, no layout, no settings written; the
** program ends after its last automation document.  A file handed over
** later turns it into an ordinary viewer that shows its window and writes
** its settings at exit.  Without a session bus the viewer runs as a plain
** program after a warning on the error stream.
**
** Errors: a bad command line or a --state file that does not load ends the
** start with exit code 1 after the reason was reported (a message box
** unless started for automation, and always a line on the error stream);
** files named on the command line that do not open are reported one by
** one, and the start ends with exit code 1 when none of them opened (also
** when the running viewer they were handed to opened none).  A window-free
** start that cannot serve the bus ends with exit code 1.  A
** settings file that could not be read, or saved, is reported the same way.
*/
#ifndef DORVEXSTARTUP_H
#define DORVEXSTARTUP_H

#include "dorvexoptions.h"
#include "settingsfile.h"
#include "settingsstore.h"

#include <QDBusConnection>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class CMainFrame;
class DorvexAutomation;
class ServiceLifetime;
class UpdateCheck;
class UpdateDialogs;

class DorvexStartup {
 public:
  /* Exit code of a start that ended before the window. */
  static constexpr int kStartFailed = 1;

  DorvexStartup();
  ~DorvexStartup();

  /* Serves the automation service on CONNECTION (the session bus in the
  ** program); without this call the start never touches a bus. */
  void UseBus(const QDBusConnection& connection) { m_bus = connection; }

  /* Runs the start-up steps for ARGS (without the program name).  Returns
  ** -1 when the main window is shown and the event loop should run, else
  ** the exit code.  SETTINGSPATH overrides the settings file's place (for
  ** tests); empty means the per-user folder. */
  int Start(const QStringList& args, const QString& settingsPath = QString());

  /* Writes the settings file unless the program is window-free.  Returns
  ** false when the save failed (the reason was reported). */
  bool Finish();

  CMainFrame* MainFrame() const { return m_mainFrame.get(); }
  SettingsStore& Settings() { return m_settings; }
  const DorvexOptions& Options() const { return m_options; }
  /* True while the program runs window-free for automation: neither the
  ** settings nor the window's layout may be written. */
  bool SaveSuppressed() const { return m_windowFree; }
  /* Returns whether this process serves the automation service. */
  bool ServesBus() const { return m_automation != nullptr; }

  /* Replaces how errors reach the user (by default a line on the error
  ** stream and a message box, which a start for automation shows only once
  ** its window is open). */
  void SetReporter(std::function<void(const QString&)> reporter) {
    m_reporter = std::move(reporter);
  }

 private:
  void Report(const QString& message);
  void ApplyLanguage();
  bool OpenCommandLineFiles();
  void RegisterFileTypes();
  void StartUpdateCheck();
  int StartService();
  int HandOverToRunningViewer();
  void BecomeViewer();
  bool OpenHandedFile(const QString& path);

  DorvexOptions m_options;
  std::optional<QDBusConnection> m_bus;
  bool m_windowFree = false;
  SettingsStore m_settings;
  SettingsFile m_settingsFile;
  std::function<void(const QString&)> m_reporter;
  // Destroyed in reverse order: the check ends before the dialogs it
  // prompts through, and both before the window they belong to.
  std::unique_ptr<CMainFrame> m_mainFrame;
  QSettings m_profile;
  std::unique_ptr<UpdateDialogs> m_updateDialogs;
  std::unique_ptr<UpdateCheck> m_updateCheck;
  // The service goes before the window that its documents may reach.
  std::unique_ptr<DorvexAutomation> m_automation;
  std::unique_ptr<ServiceLifetime> m_lifetime;
};

#endif
