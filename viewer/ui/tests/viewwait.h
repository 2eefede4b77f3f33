/*
** Waiting helpers shared by the window tests: a query runs off the window
** thread, so a test spins the event loop until the view is idle again.
*/
#ifndef VIEWWAIT_H
#define VIEWWAIT_H

#include <QString>
#include <QTest>

#include "dorvexview.h"
#include "mainframe.h"

/* Waits until VIEW has no query running; false after 20 seconds. */
inline bool WaitIdle(CDorvexView* view) {
  return QTest::qWaitFor([view] { return !view->IsBusy(); }, 20000);
}

/* Opens PATH in FRAME and waits for its first query.  Returns the new
** view, or nullptr when the file did not open or the query did not end. */
inline CDorvexView* OpenAndWait(CMainFrame& frame, const QString& path) {
  if (!frame.OpenDocument(path)) return nullptr;
  CDorvexView* view = frame.ActiveView();
  return view && WaitIdle(view) ? view : nullptr;
}

#endif  // VIEWWAIT_H
