/*
** InstanceHandOver: a second start of Dorvex gives its files to the viewer
** already serving the session bus (OpenFile for each, or Activate when it
** names none) instead of opening a window of its own.  Paths are handed
** over absolute: the running viewer's working folder is not the caller's.
**
** Errors: a call that fails on the bus (no answer in time, no such object,
** an error reply) stops the hand-over; that path and the ones after it are
** left for the caller to open itself, with the bus's message.
*/
#ifndef INSTANCEHANDOVER_H
#define INSTANCEHANDOVER_H

#include <QDBusConnection>
#include <QString>
#include <QStringList>

struct HandOverResult {
  QStringList opened;  /* the running viewer opened them */
  QStringList refused; /* the running viewer could not open them (it shows why) */
  QStringList left;    /* not handed over: the bus failed (see error) */
  QString error;
  bool activated = false; /* no paths: the running viewer showed its window */

  /* Returns true when nothing is left for the caller to open. */
  bool Done() const { return left.isEmpty() && error.isEmpty(); }
};

class InstanceHandOver {
 public:
  /* Longest wait for one answer of the running viewer. */
  static constexpr int kCallTimeoutMs = 30000;

  /* Hands PATHS to the viewer owning the service on CONNECTION, in order;
  ** with no paths, asks it to show its window.  Relative paths are made
  ** absolute against the current folder first. */
  static HandOverResult HandOver(const QDBusConnection& connection, const QStringList& paths,
                                 int timeoutMs = kCallTimeoutMs);

  /* Returns whether another process owns the service name on CONNECTION. */
  static bool ServiceOwned(const QDBusConnection& connection);
};

#endif
