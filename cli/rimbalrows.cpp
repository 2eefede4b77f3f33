/*
** Entry point of RimbalRows, the part of Rimbal that shows the row dialogs.
** Rimbal starts it, after writing its banner and checking that the table is
** one, with four arguments: the command number (8, 9 or 10), the database
** file, the table and the where-part.
*/
#include <QApplication>

#include <clocale>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "rimbalexit.h"
#include "rowcommands.h"
#include "xb_log.h"

/* Drops the toolkit's own debug output, notes and warnings (such as the
** one about a missing XDG_RUNTIME_DIR); the error stream is for this
** program's lines, which scripts read.  Critical and fatal messages pass. */
static void QuietToolkitMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type != QtCriticalMsg && type != QtFatalMsg) return;
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

/* Returns true when PATH names an existing entry that is not a folder. */
static bool IsExistingFile(const char* path) {
  struct stat info;
  return path[0] && ::stat(path, &info) == 0 && !S_ISDIR(info.st_mode);
}

/* Starts the toolkit, opens the database and runs the row command. */
int main(int argc, char** argv) {
  XB_SetLogTrace(false);
  if (argc != 5) {
    std::fputs("Error: RimbalRows is started by Rimbal for its row commands.\n", stderr);
    return RX_NO_TOOLKIT;
  }
  RimbalOptions options;
  options.command = static_cast<RimbalCommand>(std::atoi(argv[1]));
  options.file = argv[2];
  options.table = argv[3];
  options.statement = argv[4];
  if (!options.IsRowCommand()) {
    std::fputs("Error: RimbalRows is started by Rimbal for its row commands.\n", stderr);
    return RX_NO_TOOLKIT;
  }
  // Only the program name reaches the toolkit: a where-part such as
  // "-reverse" must not be taken for one of its own options.
  // Asked for through QT_LOGGING_RULES, the toolkit's messages come through.
  if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES")) qInstallMessageHandler(QuietToolkitMessages);
  int toolkitArgc = 1;
  char* toolkitArgv[] = {argv[0], nullptr};
  QApplication application(toolkitArgc, toolkitArgv);
  // The toolkit takes the C locale from the environment; the dialogs read
  // and compare numbers with "." as the decimal point whatever the language.
  std::setlocale(LC_NUMERIC, "C");
  std::unique_ptr<XB_SQLiteDB> db;
  if (IsExistingFile(options.file.c_str())) db.reset(XB_SQLiteDB::NewAuto(options.file.c_str()));
  if (!db) {
    std::fprintf(stderr, "Error: Failed to open database %s.\n", options.file.c_str());
    return RX_OPEN_FAILED;
  }
  return RunRowCommand(options, *db);
}
