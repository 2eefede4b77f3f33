/*
** DorvexTestHook: lets a test drive a running Dorvex process from outside,
** without a session bus and without automation.  Two environment variables
** arm it; with neither set it does nothing:
**
**   DORVEX_TEST_SET=key=number[,key=number...]  integers stored in the
**       settings right after they were loaded, as if set on purpose;
**   DORVEX_TEST_CLOSE_WHEN=PATH  once the window is shown the process
**       prints "ready" on its output, and it closes its window (ending as a
**       user's close does) as soon as a file PATH exists.
*/
#ifndef DORVEXTESTHOOK_H
#define DORVEXTESTHOOK_H

#include <QString>

class QWidget;
class XB_SettingsAccess;

class DorvexTestHook {
 public:
  /* Stores the values of TEXT, written as DORVEX_TEST_SET above, in
  ** SETTINGS.  Returns false when TEXT is not of that form (nothing is
  ** stored). */
  static bool ApplySettings(XB_SettingsAccess& settings, const QString& text);

  /* Arms both parts from the environment for WINDOW and SETTINGS. */
  static void Arm(QWidget* window, XB_SettingsAccess& settings);
};

#endif
