/*
** One run of Rimbal: parse the command line, write banner or usage, open
** the database in the right generation and run one command on it.  Results
** and single values go to standard output; the banner, error lines and the
** engine's messages go to the error stream.
*/
#include "rimbal.h"

#include <sys/stat.h>

#include <memory>
#include <string>
#include <utility>

#include "outputbuffer.h"
#include "resultprinter.h"
#include "rimbaldump.h"
#include "rowlauncher.h"
#include "sqliterowio.h"
#include "xb_log.h"
#include "xb_sqlitedb.h"

namespace {

/* The usage text; the tabs line up the descriptions. */
const char kUsage[] =
    "USAGE:\n"
    "\n"
    "--create2 <file> <sql>\t\tcreate a SQLite 2.x database\n"
    "--create  <file> <sql>\t\tcreate a SQLite 3.x database\n"
    "\n"
    "--exec    <file> <sql>\t\texecute some sql.\n"
    "--query   <file> <sql>\t\tdisplay query as ascii table\n"
    "\n"
    "--query-one  <file> <sql>\treturn single value\n"
    "--query-csv  <file> <sql>\treturn query result as CSV\n"
    "--query-tab  <file> <sql>\treturn query result as text with tabs\n"
    "\n"
    "--edit-rows  <file> <table> [<where-part>]\tlet user edit table row-wise\n"
    "--edit-row   <file> <table> [<where-part>]\tlet user edit row via dialog\n"
    "--insert-row <file> <table>\tlet user insert row via dialog\n"
    "\n"
    "--dump    <file>\t\twrite database as SQL text\n"
    "--convert <file> <new-file>\tcopy database into a new SQLite 3.x file\n";

using Connection = std::unique_ptr<XB_SQLiteDB>;

/* Writes the open failure for FILE.  Returns its exit code. */
int OpenFailed(const std::string& file) {
  return ReportOpenFailure(file, "");
}

/* Returns true when PATH names an existing file system entry that is not a
** folder. */
bool IsExistingFile(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

/* Writes TEXT and a newline to the error stream; null writes an empty line. */
void ErrorLine(const char* text) {
  if (text) std::fputs(text, stderr);
  std::fputc('\n', stderr);
}

/* Writes the output failure.  Returns its exit code. */
int OutputFailed() {
  std::fputs("Error: Writing the output failed.\n", stderr);
  return RX_QUERY_FAILED;
}

/* Gives the still empty file of the generation-2 connection DB its header
** page and an empty schema, so that it is a 2.x database before any
** statement runs (the engine writes nothing until a change): otherwise an
** empty statement would leave a 0-byte file, which reads as generation 3.
** A table made and dropped again is the engine's public way to that (in
** one transaction the engine would write nothing at all).  Returns false when the file cannot be written. */
bool WriteEmpty2xDatabase(XB_SQLiteDB& db, const std::string& file) {
  struct stat info;
  if (::stat(file.c_str(), &info) == 0 && info.st_size > 0) return true;
  return db.Exec("CREATE TABLE rimbal_new_file(a)") && db.Exec("DROP TABLE rimbal_new_file");
}

/* Writes one warning line when DB met damage in FILE: what the command
** read came from sound pages, but the file needs repair. */
void WarnIfDamaged(const XB_SQLiteDB& db, const std::string& file) {
  if (!db.DamageSeen()) return;
  std::fprintf(stderr,
               "Warning: The database %s is damaged (%s); only its sound pages were read.\n",
               file.c_str(), db.DamageSeen());
}

/* Commands 1 to 3: create or open the database and run the statement. */
int RunStatement(const RimbalOptions& options) {
  Connection db;
  std::string reason;
  if (options.command == RC_EXEC) {
    db.reset(XB_SQLiteDB::NewAuto(options.file.c_str(), &reason));
  } else {
    db.reset(
        XB_SQLiteDB::NewByVersion(options.file.c_str(), options.command == RC_CREATE2 ? 2 : 3));
  }
  // A connection that could not open its file must not count as created.
  if (!db || !db->IsOpen()) return ReportOpenFailure(options.file, reason);
  if (options.command == RC_CREATE2 && !WriteEmpty2xDatabase(*db, options.file)) {
    return OpenFailed(options.file);
  }
  if (options.statement.empty()) return RX_OK;
  if (db->Exec(options.statement.c_str())) {
    WarnIfDamaged(*db, options.file);
    return RX_OK;
  }
  std::fprintf(stderr, "Error: Execution of %s failed.\n", options.statement.c_str());
  std::fputs("SQLITE: ", stderr);
  ErrorLine(db->LastError());
  return RX_STATEMENT_FAILED;
}

/* Command 4: print the single value the statement yields. */
int RunQueryOne(XB_SQLiteDB& db, const RimbalOptions& options) {
  XB_String value;
  if (!db.QueryValue(value, "%s", options.statement)) return RX_QUERY_FAILED;
  OutputBuffer out(stdout);
  out.Write(value.Data(), value.Length());
  out.Put('\n');
  return out.Flush() ? RX_OK : OutputFailed();
}

/* Commands 5 to 7: print the whole result in the chosen form. */
int RunQuery(XB_SQLiteDB& db, const RimbalOptions& options) {
  XB_SQLiteResult result;
  if (!db.GetTable(result, "%s", options.statement)) {
    ErrorLine(db.LastError());
    return RX_QUERY_FAILED;
  }
  if (options.command == RC_QUERY_TABLE) {
    bool utf8 = db.TextEncoding() == XB_TEXT_UTF8;
    return AsciiTable(result, stdout, utf8) ? RX_OK : OutputFailed();
  }
  OutputBuffer out(stdout);
  WriteSeparated(result, options.command == RC_QUERY_TAB ? '\t' : ',', out);
  return out.Flush() ? RX_OK : OutputFailed();
}

/* Commands 8 to 10: check that the table is one, then hand over to the
** program with the dialogs. */
int RunRowDialog(std::unique_ptr<XB_SQLiteDB> db, const RimbalOptions& options) {
  // The same lookup the row dialogs make: the name as a string literal
  // (so a table called "name" is not that column), letter case ignored as
  // the engines ignore it.
  XB_String definition = SQLiteRowIO::GetTableSql(*db, options.table);
  if (definition.IsEmpty()) {
    std::fprintf(stderr, "Error: Failed to read table definiton for %s.\n", options.table.c_str());
    return RX_NO_TABLE;
  }
  if (!definition.BeginsWith("CREATE TABLE")) {
    std::fprintf(stderr, "Error: %s must be a table.\n", options.table.c_str());
    return RX_NO_TABLE;
  }
  db.reset();
  return LaunchRowCommand(options);
}

}  // namespace

int ReportOpenFailure(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "Error: Failed to open database %s.\n", file.c_str());
  // Both engines word it the same; a missing or damaged file keeps the one
  // line it always had.
  if (reason == "database is locked") std::fprintf(stderr, "SQLITE: %s\n", reason.c_str());
  return RX_OPEN_FAILED;
}

void WriteBanner(FILE* stream) {
  std::fputs("Rimbal v0.10 (build 10) - one command on an SQLite 2.x or 3.x database\n\n", stream);
}

void WriteUsage(FILE* stream) {
  std::fputs(kUsage, stream);
}

int RunRimbal(int argc, char** argv) {
  // The log is a diagnostic channel; the error stream belongs to the
  // program's own lines, which scripts read.
  XB_SetLogTrace(false);
  RimbalOptions options;
  options.Parse(argc, argv);
  if (!options.IsQuiet()) WriteBanner(stderr);
  if (options.command == RC_NONE) {
    WriteUsage(stdout);
    std::fflush(stdout);
    return RX_OK;
  }
  if (options.command <= RC_EXEC) return RunStatement(options);
  if (options.command == RC_DUMP) return RunDump(options);
  if (options.command == RC_CONVERT) return RunConvert(options);
  if (options.IsRowCommand() && !RowDialogsHaveDisplay()) {
    std::fputs("Error: No display available; the row dialogs need a windowing system.\n", stderr);
    return RX_NO_TOOLKIT;
  }
  // Only the commands that create say so; a query or a row command on a
  // missing file must not leave an empty database behind.
  if (!IsExistingFile(options.file)) return OpenFailed(options.file);
  std::string reason;
  Connection db(XB_SQLiteDB::NewAuto(options.file.c_str(), &reason));
  if (!db) return ReportOpenFailure(options.file, reason);
  if (options.IsRowCommand()) return RunRowDialog(std::move(db), options);
  int code = options.command == RC_QUERY_ONE ? RunQueryOne(*db, options) : RunQuery(*db, options);
  if (code == RX_OK) WarnIfDamaged(*db, options.file);
  return code;
}
