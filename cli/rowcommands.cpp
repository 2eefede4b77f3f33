/*
** The row commands of Rimbal: insert one row, edit one row, or step
** through a table row by row, each in a generated dialog.  The toolkit is
** started here and nowhere else, so that commands 1 to 7 never touch a
** display.  The caller has already checked that the name is a table.
*/
#include "rowcommands.h"

#include "paramsdialog.h"
#include "rimbal.h"
#include "sqliterowdialog.h"
#include "sqliterowio.h"
#include "sqliterowstatements.h"
#include "xb_tabledef.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

/* Returns the value of the environment variable name, or "" when unset. */
static const char *EnvText(const char *name)
{
  const char *value = std::getenv(name);
  return value ? value : "";
}

/*
** Returns true when a windowing system is there for the row dialogs: a
** platform named through QT_QPA_PLATFORM (an X11 or Wayland one only
** together with its display), or else an X11 or Wayland display.  Without
** one the toolkit would end the process instead of reporting.
*/
bool RowDialogsHaveDisplay()
{
  const char *platform = EnvText("QT_QPA_PLATFORM");
  bool x11 = EnvText("DISPLAY")[0]!=0;
  bool wayland = EnvText("WAYLAND_DISPLAY")[0]!=0;
  if( platform[0]==0 ) return x11 || wayland;
  if( std::strncmp(platform, "xcb", 3)==0 ) return x11;
  if( std::strncmp(platform, "wayland", 7)==0 ) return wayland;
  return true;
}

/* Writes "Error: <what> failed." and the engine's message. */
static void ReportWriteFailure(const char *what, const SQLiteRowIO &rowIO,
                               const XB_SQLiteDB &db)
{
  const char *message = rowIO.LastError(db);
  std::fprintf(stderr, "Error: %s failed.\n", what);
  std::fprintf(stderr, "SQLITE: %s\n", message ? message : "");
}

/*
** Insert: an empty row with each column's default in the dialog; OK adds
** it, the engine assigning the key columns.
*/
static int InsertRowCommand(XB_SQLiteDB &db, SQLiteRowIO &rowIO,
                            const RimbalOptions &options)
{
  SQLiteParameters row = rowIO.InitRow(db, options.table, TD_ALL);
  ParamsDialog dialog(row, XB_String());
  if( dialog.DoModal()!=1 ) return RX_OK;
  if( !rowIO.InsertRow(db, row, 0) ) ReportWriteFailure("INSERT", rowIO, db);
  return RX_OK;
}

/*
** Edit one row: the row the where-part selects (the first row without
** one) in the dialog; OK writes it back, the key columns picking it out.
*/
static int EditRowCommand(XB_SQLiteDB &db, SQLiteRowIO &rowIO,
                          const RimbalOptions &options)
{
  SQLiteParameters row = rowIO.LoadRow(db, options.table, options.statement);
  ParamsDialog dialog(row, XB_String());
  if( dialog.DoModal()!=1 ) return RX_OK;
  if( !rowIO.UpdateRow(db, row, 0) ) ReportWriteFailure("UPDATE", rowIO, db);
  return RX_OK;
}

/*
** Edit row-wise: the row-wise editor over the whole table.  A table whose
** rows cannot be told apart (no rowid and not exactly one key column) is
** refused before any dialog opens.
*/
static int EditRowsCommand(XB_SQLiteDB &db, SQLiteRowIO &rowIO,
                           const RimbalOptions &options)
{
  SQLiteParameters row = rowIO.LoadRow(db, options.table, options.statement);
  XB_String table(options.table);
  SQLiteRowDialog dialog(db, row, table, XB_String(), XB_String());
  if( !dialog.IsReady() ){
    std::fprintf(stderr, "Error: %s\n", dialog.ErrorText().c_str());
    return RX_NO_TABLE;
  }
  dialog.DoModal();
  return RX_OK;
}

/*
** Starts the toolkit and runs the row command.  The toolkit sees only the
** program name, so that no argument of the command is taken for one of
** its options.  Returns the exit code.
*/
int RunRowCommand(const RimbalOptions &options, XB_SQLiteDB &db, int &argc,
                  char **argv)
{
  int toolkitArgc = 1;
  char *toolkitArgv[] = {argc>0 ? argv[0] : const_cast<char *>("Rimbal"), nullptr};
  QApplication application(toolkitArgc, toolkitArgv);
  SQLiteRowIO rowIO;
  switch( options.command ){
    case RC_INSERT_ROW: return InsertRowCommand(db, rowIO, options);
    case RC_EDIT_ROW: return EditRowCommand(db, rowIO, options);
    case RC_EDIT_ROWS: return EditRowsCommand(db, rowIO, options);
    default: return RX_OK;
  }
}
