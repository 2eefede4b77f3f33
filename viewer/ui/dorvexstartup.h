/*
** DorvexStartup: what happens from process start to the first window and
** at exit.  Start runs, in order: the profile (QSettings "XB Software" /
** "Dorvex") with its language entry, the settings file in the per-user
** folder, the command line, the main window, the documents it names, and,
** once the window is shown, the checks that need it.  Finish writes the
** settings file unless the start was for automation.
**
** Errors: a bad command line or a --state file that does not load ends the
** start with exit code 1 after the reason was reported (a message box
** unless started for automation, and always a line on the error stream);
** files named on the command line that do not open are reported one by
** one, and the start ends with exit code 1 when none of them opened.  A
** settings file that could not be read, or saved, is reported the same way.
*/
#ifndef DORVEXSTARTUP_H
#define DORVEXSTARTUP_H

#include "dorvexoptions.h"
#include "settingsfile.h"
#include "settingsstore.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class CMainFrame;

class DorvexStartup {
 public:
  /* Exit code of a start that ended before the window. */
  static constexpr int kStartFailed = 1;

  DorvexStartup();
  ~DorvexStartup();

  /* Runs the start-up steps for ARGS (without the program name).  Returns
  ** -1 when the main window is shown and the event loop should run, else
  ** the exit code.  SETTINGSPATH overrides the settings file's place (for
  ** tests); empty means the per-user folder. */
  int Start(const QStringList& args, const QString& settingsPath = QString());

  /* Writes the settings file unless the start was for automation.  Returns
  ** false when the save failed (the reason was reported). */
  bool Finish();

  CMainFrame* MainFrame() const { return m_mainFrame.get(); }
  SettingsStore& Settings() { return m_settings; }
  const DorvexOptions& Options() const { return m_options; }
  bool SaveSuppressed() const { return m_options.automation; }

  /* Replaces how errors reach the user (by default a message box, unless
  ** started for automation, and a line on the error stream). */
  void SetReporter(std::function<void(const QString&)> reporter) {
    m_reporter = std::move(reporter);
  }

 private:
  void Report(const QString& message);
  void ApplyLanguage();
  bool OpenCommandLineFiles();

  DorvexOptions m_options;
  SettingsStore m_settings;
  SettingsFile m_settingsFile;
  std::unique_ptr<CMainFrame> m_mainFrame;
  std::function<void(const QString&)> m_reporter;
};

#endif
