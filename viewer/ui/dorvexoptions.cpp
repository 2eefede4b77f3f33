/*
** Command line of Dorvex.
*/
#include "dorvexoptions.h"

#include <QFileInfo>

bool ParseDorvexOptions(const QStringList& args, DorvexOptions& options, QString& error) {
  options = DorvexOptions();
  bool optionsEnded = false;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
      options.files << arg;
      continue;
    }
    if (arg == QLatin1String("--")) {
      optionsEnded = true;
    } else if (arg == QLatin1String("--automation")) {
      options.automation = true;
    } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
      options.help = true;
    } else if (arg == QLatin1String("--state")) {
      if (!options.stateFile.isEmpty()) {
        error = QStringLiteral("--state may be given once only.");
        return false;
      }
      if (i + 1 >= args.size() || args[i + 1].isEmpty()) {
        error = QStringLiteral("--state needs the path of a view-state file.");
        return false;
      }
      options.stateFile = args[++i];
    } else {
      error = QStringLiteral("Unknown option %1.").arg(arg);
      return false;
    }
  }
  if (!options.stateFile.isEmpty() && !options.files.isEmpty()) {
    error = QStringLiteral("--state takes one view-state file and no other files.");
    return false;
  }
  return true;
}

QString DorvexUsage() {
  return QStringLiteral(
      "Usage: Dorvex [--automation] [FILE...]\n"
      "       Dorvex [--automation] --state STATEFILE\n"
      "Opens each FILE (an SQLite 2.x or 3.x database, or a .dvxs view state)\n"
      "in a window of its own.\n"
      "  --state STATEFILE  open the view state STATEFILE; exit 1 if it cannot be loaded\n"
      "  --automation       without FILEs: serve the automation service on the session\n"
      "                     bus without a window, until the last document is released;\n"
      "                     settings are not saved\n"
      "A second start while Dorvex runs hands its files to the running one.\n");
}

bool IsStateFilePath(const QString& path) {
  return QFileInfo(path).suffix().compare(QLatin1String("dvxs"), Qt::CaseInsensitive) == 0;
}
