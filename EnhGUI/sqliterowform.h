/*
** SQLiteRowForm: the dialog that adds one row to a table, or edits the one
** row a where-part picks out, and writes it when the user confirms.  Both
** the console program's row commands and the viewer's Edit Row use it.
**
** Protocol: construct, Prepare (reads the table's definition and, when
** editing, the row), then Run.  Prepare fails, and no dialog may be shown,
** when the table has no definition, the where-part matches no row, or the
** engine rejects the where-part; ErrorText() then holds the message.  Run
** shows the row; OK writes only the columns the user changed (an insert
** leaves the others to the engine's DEFAULT or NULL).  A write that fails
** keeps the dialog open with the engine's message shown in it, so the user
** can correct the values or cancel; each failure is also handed to the
** failure reporter.  Texts follow the connection's text encoding, and a
** character the file cannot hold is refused in the dialog.
*/
#ifndef SQLITEROWFORM_H
#define SQLITEROWFORM_H

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "sqliteparameters.h"
#include "sqliterowio.h"
#include "sqlitetextcodec.h"
#include "xb_sqlitedb.h"

class ParamsDialog;
class QWidget;

class SQLiteRowForm {
 public:
  enum Mode {
    MODE_INSERT, /* a new row */
    MODE_EDIT    /* the row the where-part picks out */
  };
  /* Receives "INSERT" or "UPDATE" and the engine's message of a failed write. */
  using FailureReporter = std::function<void(const char* what, const char* message)>;
  /* Called with the dialog once it is up (tests drive it from here). */
  using ShownHook = std::function<void(ParamsDialog& dialog)>;

  /* A form for TABLE on DB (which outlives it); WHEREPART picks the row to
  ** edit (empty: the table's first row) and is ignored for an insert. */
  SQLiteRowForm(XB_SQLiteDB& db, std::string_view table, Mode mode,
                std::string_view wherePart = {});
  ~SQLiteRowForm();
  SQLiteRowForm(const SQLiteRowForm&) = delete;
  SQLiteRowForm& operator=(const SQLiteRowForm&) = delete;

  /*
  ** Reads the definition and, for an edit, the row.  Returns false with
  ** ErrorText() set: "Failed to read table definiton for TABLE.", "No row
  ** of TABLE matches WHERE-PART." (or "TABLE has no row." without a
  ** where-part), or the engine's message for a where-part it rejects.
  */
  bool Prepare();
  /* Why Prepare failed. */
  const XB_String& ErrorText() const { return m_error; }

  /* Sets who hears of failed writes (the console program's error lines). */
  void SetFailureReporter(FailureReporter reporter) { m_reporter = std::move(reporter); }

  /*
  ** Shows the dialog (owned by PARENT's window when given) until the user
  ** ends it.  Returns true when a row was written: inserted, or updated in
  ** at least one column.  Requires a successful Prepare.
  */
  bool Run(QWidget* parent = nullptr, const ShownHook& shown = {});

  /* The row as the dialog left it (after Run). */
  const SQLiteParameters& Row() const { return m_row; }

 private:
  /* Writes the row; on failure reports it and returns false with the
  ** message for the dialog. */
  bool Write(QString* message);

  XB_SQLiteDB& m_db;
  XB_String m_table;
  XB_String m_wherePart;
  Mode m_mode;
  SQLiteRowIO m_rowIo;
  SQLiteParameters m_row;
  SQLiteTextCodec m_codec;
  FailureReporter m_reporter;
  XB_String m_error;
  bool m_prepared = false;
  bool m_written = false;
};

/* Shows the insert dialog for TABLE on DB.  Returns true when a row was
** added; ERROR (when given) receives why no dialog could be shown. */
bool InsertTableRow(XB_SQLiteDB* db, std::string_view table, QWidget* parent,
                    std::string* error = nullptr);

/* Shows the edit dialog for the row of TABLE that WHEREPART picks out.
** Returns true when the row was changed; ERROR (when given) receives why no
** dialog could be shown. */
bool EditTableRow(XB_SQLiteDB* db, std::string_view table, std::string_view wherePart,
                  QWidget* parent, std::string* error = nullptr);

#endif
