/*
** The row commands of Rimbal: insert one row, edit one row, or step
** through a table row by row, each in a generated dialog.  They run in
** RimbalRows with the toolkit started; the caller has already checked
** that the name is a table.
*/
#include "rowcommands.h"

#include "paramsdialog.h"
#include "sqliterowdialog.h"
#include "sqliterowio.h"
#include "xb_tabledef.h"

#include <cstdio>

#include "rimbalexit.h"

/* Writes "Error: <what> failed." and then the engine's message. */
static void ReportWriteFailure(const char* what, const SQLiteRowIO& rowIO, const XB_SQLiteDB& db) {
  const char* message = rowIO.LastError(db);
  std::fprintf(stderr, "Error: %s failed.\n", what);
  std::fprintf(stderr, "SQLITE: %s\n", message ? message : "");
}

/*
** Insert: an empty row with each column's default in the dialog; OK adds
** it, the engine assigning the key columns.  Returns the exit code.
*/
static int InsertRowCommand(XB_SQLiteDB& db, SQLiteRowIO& rowIO, const RimbalOptions& options) {
  SQLiteParameters row = rowIO.InitRow(db, options.table, TD_ALL);
  ParamsDialog dialog(row, XB_String());
  if (dialog.DoModal() != 1) return RX_OK;
  if (!rowIO.InsertRow(db, row, 0)) ReportWriteFailure("INSERT", rowIO, db);
  return RX_OK;
}

/*
** Edit one row: the row the where-part selects (the first row without
** one) in the dialog; OK writes it back, picked out by its key columns or
** its rowid.  Returns the exit code.
*/
static int EditRowCommand(XB_SQLiteDB& db, SQLiteRowIO& rowIO, const RimbalOptions& options) {
  SQLiteParameters row = rowIO.LoadRow(db, options.table, options.statement);
  ParamsDialog dialog(row, XB_String());
  if (dialog.DoModal() != 1) return RX_OK;
  if (!rowIO.UpdateRow(db, row, 0)) ReportWriteFailure("UPDATE", rowIO, db);
  return RX_OK;
}

/*
** Edit row-wise: the row-wise editor over the whole table.  A table whose
** rows cannot be told apart (no rowid and not exactly one key column) is
** refused before any dialog opens.  Returns the exit code.
*/
static int EditRowsCommand(XB_SQLiteDB& db, SQLiteRowIO& rowIO, const RimbalOptions& options) {
  SQLiteParameters row = rowIO.LoadRow(db, options.table, options.statement);
  SQLiteRowDialog dialog(db, row, XB_String(options.table), XB_String(), XB_String());
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
      return InsertRowCommand(db, rowIO, options);
    case RC_EDIT_ROW:
      return EditRowCommand(db, rowIO, options);
    case RC_EDIT_ROWS:
      return EditRowsCommand(db, rowIO, options);
    default:
      return RX_OK;
  }
}
