/*
** The row commands of Rimbal: insert one row, edit one row, or step
** through a table row by row, each in a generated dialog.  They run in
** RimbalRows with the toolkit started; the caller has already checked
** that the name is a table.
*/
#include "rowcommands.h"

#include <cstdio>

#include "rimbalexit.h"
#include "sqliterowdialog.h"
#include "sqliterowform.h"
#include "sqliterowio.h"
#include "xb_tabledef.h"

/* Writes "Error: <what> failed." and then the engine's message. */
static void ReportWriteFailure(const char* what, const char* message) {
  std::fprintf(stderr, "Error: %s failed.\n", what);
  std::fprintf(stderr, "SQLITE: %s\n", message ? message : "");
  std::fflush(stderr);
}

/*
** Insert or edit one row: a table or row that cannot be found, or a
** where-part the engine rejects, ends with its message before any dialog
** opens.  Every failed write is written to the error stream while the
** dialog stays open.  Returns the exit code.
*/
static int RowFormCommand(XB_SQLiteDB& db, const RimbalOptions& options, SQLiteRowForm::Mode mode) {
  SQLiteRowForm form(db, options.table, mode, options.statement);
  if (!form.Prepare()) {
    std::fprintf(stderr, "Error: %s\n", form.ErrorText().c_str());
    return RX_NO_TABLE;
  }
  form.SetFailureReporter(ReportWriteFailure);
  form.Run();
  return RX_OK;
}

/*
** Edit row-wise: the row-wise editor over the rows the where-part selects.
** A table whose rows cannot be told apart (no rowid and not exactly one
** key column), or a where-part the engine rejects, is refused before any
** dialog opens.  Returns the exit code.
*/
static int EditRowsCommand(XB_SQLiteDB& db, SQLiteRowIO& rowIO, const RimbalOptions& options) {
  SQLiteParameters row = rowIO.LoadRow(db, options.table, "");
  SQLiteRowDialog dialog(db, row, XB_String(options.table), XB_String(options.statement),
                         XB_String());
  if (!dialog.IsReady()) {
    std::fprintf(stderr, "Error: %s\n", dialog.ErrorText().c_str());
    return RX_NO_TABLE;
  }
  dialog.DoModal();
  return RX_OK;
}

int RunRowCommand(const RimbalOptions& options, XB_SQLiteDB& db) {
  SQLiteRowIO rowIO;
  switch (options.command) {
    case RC_INSERT_ROW:
      return RowFormCommand(db, options, SQLiteRowForm::MODE_INSERT);
    case RC_EDIT_ROW:
      return RowFormCommand(db, options, SQLiteRowForm::MODE_EDIT);
    case RC_EDIT_ROWS:
      return EditRowsCommand(db, rowIO, options);
    default:
      return RX_OK;
  }
}
