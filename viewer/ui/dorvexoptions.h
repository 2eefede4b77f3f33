/*
** The command line of Dorvex:
**
**   Dorvex [--automation] [FILE...]
**   Dorvex [--automation] --state STATEFILE
**
** Each FILE is opened as one document, in order: a database file, or a view
** state (extension ".dvxs", letter case ignored).  --state names one view
** state that must load.  --automation marks a start by the automation
** service: without files it runs without a window and never writes the
** settings at exit.  "--" ends the options;
** a later argument that begins with "-" is a file name.
*/
#ifndef DORVEXOPTIONS_H
#define DORVEXOPTIONS_H

#include <QString>
#include <QStringList>

struct DorvexOptions {
  QStringList files; /* database and view-state paths, in order */
  QString stateFile; /* the --state file, empty when not given */
  bool automation = false;
  bool help = false; /* --help: print the usage and end */
};

/* Reads ARGS (the arguments after the program name) into OPTIONS.  Returns
** false with a one-line reason in ERROR for an unknown option, --state
** without a file, --state given twice, or --state together with FILEs. */
bool ParseDorvexOptions(const QStringList& args, DorvexOptions& options, QString& error);

/* Returns the usage text, several lines ending in a line feed. */
QString DorvexUsage();

/* Returns true when PATH names a view-state file (extension "dvxs",
** letter case ignored). */
bool IsStateFilePath(const QString& path);

#endif
