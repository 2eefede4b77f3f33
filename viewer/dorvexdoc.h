/*
** CDorvexDoc: one open database file of the viewer, window-free.  It owns
** the connection (either generation), knows the file's tables and their
** parsed definitions, runs the queries of its views, keeps or closes the
** file between queries (Lock File), carries the window title, re-opens the
** file, and turns dropped files into runs for the view.  The Qt document
** and view wrap it; tests drive it directly.
**
** Protocol:
**   - OnOpenDocument (a database or a view-state file) once; then queries,
**     Re-Open, locking, drops; CanClose and Close at the end.
**   - One query at a time.  Run may be called from a worker thread (the
**     query runner); while it runs, IsBusy is true, Interrupt may be called
**     from any thread, and every other operation that needs the connection
**     fails with "a query is still running".  The getters may be called
**     from any thread at any time.  A QueryRunner of the document must be
**     destroyed before the document.
**   - Text: the caller's SQL and every text handed out are UTF-8; what the
**     file holds is converted by the file's text rule (ToFileText,
**     FromFileText).  Result tables stay in the file's encoding; views show
**     their cells through FromFileText.
**   - Paths are made absolute at open; the process's current directory is
**     never changed.
**   - Unlocked, the file is opened for each query and closed after it,
**     except while a transaction the user began is open: then it stays
**     open (TransactionOpen, shown in the title) until it ends, and closing
**     the document asks whether to commit it or roll it back.
**   - A connection is never made to a file that is gone: queries and
**     Re-Open fail with "file no longer exists" and the document keeps what
**     it had; a failed Re-Open leaves the old connection in place.
**
** Errors: every operation that fails returns false and leaves a message in
** LastError: "not an SQLite 2.x or 3.x database", "file does not exist",
** "file no longer exists", "a query is still running", the view-state
** loader's messages, or the engine's message.
*/
#ifndef DORVEXDOC_H
#define DORVEXDOC_H

#include <atomic>
#include <functional>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dorvexdochost.h"
#include "dorvexstate.h"
#include "rowsource.h"
#include "sqliterowio.h"
#include "xb_settingsaccess.h"
#include "xb_sqlitedb.h"
#include "xb_sqliteresult.h"

/* How a text is run (CDorvexDoc::Run). */
enum class QueryRunKind {
  Query, /* the view's query: run as it is; the outcome tells whether it reads only */
  Rerun, /* a rewrite or repeat: runs only when it is one read-only statement */
  Script /* statements one by one; the result is that of the last one with rows */
};

/* What one run produced. */
struct QueryOutcome {
  QueryRunKind kind = QueryRunKind::Query;
  std::string sql;          /* the text that was asked for (UTF-8) */
  bool ok = false;          /* every statement ran */
  bool cancelled = false;   /* stopped by Interrupt or the runner's Cancel */
  bool refused = false;     /* Rerun of a text that is not one read-only statement */
  std::string error;        /* why not, when not ok */
  bool readOnly = false;    /* the text is one read-only statement */
  bool hasResult = false;   /* result holds a result to show */
  bool limited = false;     /* a bound of the progress ended the run early */
  bool rowIdColumn = false; /* result column 0 is the rowid fetched alongside */
  XB_SQLiteResult result;   /* in the file's encoding */
  int64_t rows = 0;         /* rows gathered */
  int64_t elapsedMs = 0;    /* from start to end of the run */
};

/* What a view does with one dropped file (CDorvexDoc::DropFiles). */
struct DropAction {
  enum Kind {
    ApplyState, /* a view state was opened in this document: show it (StateToApply) */
    RunQuery,   /* sql is one read-only statement: it becomes the view's query */
    RunScript   /* sql runs once as a script; the view's query stays */
  };
  Kind kind = RunQuery;
  std::string path;
  std::string sql;
};

/* What a view shows first when the document was opened from a view state. */
struct StateToApply {
  std::string query;    /* the state's query (UTF-8) */
  int32_t interval = 0; /* its repeat interval in seconds; 0 for none */
  bool runOnce = false; /* the query writes and the user agreed to run it once */
  std::string path;     /* the state file */
};

class CDorvexDoc {
 public:
  /* HOST answers questions and takes window layouts; SETTINGS gives the
  ** preferences (view/limit, dropfiles/...).  Either may be null: then no
  ** question is asked (the default answer holds) and defaults are used. */
  CDorvexDoc(DorvexDocHost* host, XB_SettingsAccess* settings);
  ~CDorvexDoc();
  CDorvexDoc(const CDorvexDoc&) = delete;
  CDorvexDoc& operator=(const CDorvexDoc&) = delete;

  /* Opens PATH: a view-state file (extension "dvxs", any case) opens the
  ** database it names and keeps its query to apply; anything else is opened
  ** as a database.  PATH becomes the document's path name. */
  bool OnOpenDocument(const std::string& path);

  /* Connects to the database at PATH (must exist as a regular file; it is
  ** never created or changed) and reads its table list and definitions.
  ** On failure the document keeps what it had. */
  bool OpenDatabase(const std::string& path);

  /* Returns the absolute path the document was opened with. */
  std::string PathName() const;
  /* Returns the absolute path of the database file (differs from PathName
  ** when the document was opened from a view state). */
  std::string DatabasePath() const;
  /* Returns 2.0 or 3.0, or 0 without a connection. */
  double Version() const;
  /* Returns true while the document has a connection. */
  bool HasConnection() const;

  /* Returns the number of listed tables. */
  int TableCount() const;
  /* Returns the name of table INDEX (UTF-8), or none outside the list. */
  std::optional<std::string> TableName(int index) const;
  /* Returns the cached definition of table NAME (letter case ignored), or
  ** null; also null while a query runs.  Valid until the next OpenDatabase,
  ** Re-Open or Close. */
  XB_ParameterInfoGroup* FindTableDefinition(std::string_view name);

  /* Returns, for each column of RESULT from FIRST on, whether table TABLE
  ** (UTF-8, letter case ignored) declares a column of that name INTEGER;
  ** all false when the table has no definition, and while a query runs. */
  std::vector<bool> IntegerColumns(std::string_view table, const XB_SQLiteResult& result,
                                   int first);

  /* Runs SQL (UTF-8) into RESULT on the calling thread and sets the title.
  ** Returns false with LastError when it fails. */
  bool Query(XB_SQLiteResult& result, const std::string& sql);

  /* Runs SQL as KIND (see QueryRunKind), counting rows into PROGRESS (may
  ** be null), sets the title, and returns what happened.  May run on a
  ** worker thread (see the protocol).  WITHROWID: when SQL is one
  ** read-only plain SELECT of one table that has a rowid, the rowid is
  ** fetched alongside as the result's first column (rowIdColumn). */
  QueryOutcome Run(const std::string& sql, QueryRunKind kind, XB_QueryProgress* progress,
                   bool withRowId = false);

  /* Marks the document busy now for the RunReserved that a worker thread
  ** is about to make, so nothing else reaches the connection in between.
  ** Returns false when the document is busy. */
  bool ReserveRun();
  /* Run after a successful ReserveRun; ends the mark. */
  QueryOutcome RunReserved(const std::string& sql, QueryRunKind kind, XB_QueryProgress* progress,
                           bool withRowId = false);

  /* Returns how the rows of RESULT, which SQL produced (ROWIDCOLUMN: with
  ** the rowid fetched alongside), are picked out again for Edit Row: by
  ** the key columns of SQL's one table when RESULT holds them, else by the
  ** rowid.  Unusable for anything but a plain SELECT of one table of the
  ** document (a view is no table), and while a query runs. */
  RowIdentity IdentifyRows(const std::string& sql, const XB_SQLiteResult& result, bool rowIdColumn);

  /* Calls USE on the calling thread with the connection open and the
  ** document busy meanwhile, so no query runs during it (the row dialogs
  ** write through it).  Returns USE's answer, or false with LastError when
  ** the document is busy or the file cannot be opened. */
  bool WithConnection(const std::function<bool(XB_SQLiteDB&)>& use);

  /* Stops the running query from any thread; it ends with "interrupted". */
  void Interrupt();
  /* Returns true while a query runs. */
  bool IsBusy() const { return m_busy; }

  /* Returns the message of the last failure. */
  std::string LastError() const;
  /* Returns the window title. */
  std::string Title() const;

  /* Returns whether the file stays open between queries. */
  bool Locked() const { return m_locked; }
  /* Sets it; unlocking closes the handle at once unless a transaction is
  ** open. */
  void SetLocked(bool locked);
  /* Returns true while a transaction the user began is open. */
  bool TransactionOpen() const { return m_transactionOpen; }

  /* Connects to the document's database afresh (the other generation if
  ** the file was replaced) and reads its tables again.  The new connection
  ** is made first and replaces the old only on success; a file that is gone
  ** fails with "file no longer exists".  The views then run their queries
  ** again. */
  bool ReOpen();

  /* Returns true when the document may close: no transaction is open, or
  ** the user chose to commit it (and the commit worked) or to roll it back.
  ** False keeps the document open. */
  bool CanClose();
  /* Closes the handle and drops the connection. */
  void Close();

  /* The file's text rule (see xb_sqlitedb.h); UTF-8 without a connection. */
  XB_TextEncoding TextEncoding() const;
  void SetTextEncoding(XB_TextEncoding encoding);
  bool ToFileText(std::string_view utf8, std::string* stored, std::string* error) const;
  std::string FromFileText(std::string_view stored) const;

  /* Returns the state a view should show first, or null. */
  const StateToApply* PendingState() const { return m_pendingState ? &*m_pendingState : nullptr; }
  /* Forgets it once a view has shown it. */
  void ClearPendingState() { m_pendingState.reset(); }

  /* Handles files dropped on a view, in order: the first view state that
  ** loads is opened in this document (the document's path name stays) and
  ** ends the handling; a ".sql" file becomes a query when it is one
  ** read-only statement and a script otherwise (the preference
  ** dropfiles/sql/ask asks first); other files are passed over.  Files that
  ** cannot be read are passed over with a message in LastError.  Returns
  ** what the view is to run, in order. */
  std::vector<DropAction> DropFiles(const std::vector<std::string>& paths);

 private:
  struct Busy;

  bool OpenStateFile(const std::string& path);
  bool Connect(const std::string& path, std::unique_ptr<XB_SQLiteDB>* db,
               std::vector<std::string>* tables, std::unique_ptr<SQLiteRowIO>* rowIO);
  bool EnsureOpen();
  void CloseUnlessKept();
  QueryOutcome RunHeld(const std::string& sql, QueryRunKind kind, XB_QueryProgress* progress,
                       bool withRowId);
  /* The definition of table NAME (letter case ignored) with the document
  ** already marked busy; STOREDNAME receives the name in the file's text. */
  XB_TableDefinition* DefinitionHeld(std::string_view name, std::string* storedName);
  /* SQL with the rowid of its one table in front, or "" (see Run). */
  std::string RowIdQueryHeld(const std::string& sql);
  void SetTitleFor(const std::string& sql, bool ok);
  void Fail(const std::string& message);
  bool SettingBool(const char* path, bool defaultValue);

  DorvexDocHost* m_host;
  XB_SettingsAccess* m_settings;
  mutable std::mutex m_mutex;            /* guards the texts the getters hand out */
  std::vector<std::string> m_tableNames; /* in the file's text */
  std::string m_lastError;
  std::string m_title;
  std::unique_ptr<SQLiteRowIO> m_rowIO;
  std::atomic<bool> m_locked{false};
  std::atomic<bool> m_transactionOpen{false};
  std::unique_ptr<XB_SQLiteDB> m_db;
  std::string m_pathName;
  std::string m_databasePath;
  std::string m_stateName; /* caption of the state this document was opened from */
  std::optional<XB_TextEncoding> m_chosenEncoding; /* the user's switch, kept over Re-Open */
  std::optional<StateToApply> m_pendingState;
  std::atomic<bool> m_busy{false};
};

#endif
