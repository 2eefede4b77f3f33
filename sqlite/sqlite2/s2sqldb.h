/*
** The working copy of one generation-2 connection: a private in-memory
** SQLite 3 database with the 2.x schema rows kept apart, in one of two
** forms.  In the lazy form every 2.x table is a virtual table that reads
** its b-tree through a page cache (s2vtab.h); queries run this way and
** cost the pages they read, and so do UPDATE and DELETE statements that
** the virtual tables can carry out in place.  In the full form the working copy holds
** every table, index, view and trigger of the file; other writes and
** schema changes run this way, and a statement that changes it is
** followed, once no transaction is open, by writing the changed rows into
** the file's b-trees, and the changed schema rows with the trees of new
** and dropped tables and indices (or, in files of another format or byte
** order, by building an Image of the working copy that the file layer
** writes whole).  An explicit transaction
** runs in the lazy form while its statements can, and moves into the full
** form, with its changes so far, at the first that cannot.  A full form
** is partial where it can be (s2sqlpartial.cpp): a row change or a schema
** change loads only the tables it involves, the others stay virtual
** tables, and its changes go into the file in place.  Before a
** statement runs, a file that another program changed is read again.
*/
#ifndef S2SQLDB_H
#define S2SQLDB_H

#include "s2file.h"
#include "s2lazy.h"
#include "s2rowedit.h"
#include "s2schema.h"
#include "s2sqlrewrite.h"
#include "s2sqlvalue.h"

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace s2 {

/* What the working copy knows about one of its tables. */
struct TableInfo {
  TableDef def;
  std::string rowidName; /* expression naming the rowid in SQL */
  bool inFile = true;    /* a table of the file (not TEMP) */
};

/* The rows of one table changed since the file was last written, by
** rowid, or "whole" when too many changed to keep count. */
struct RowChanges {
  std::set<int64_t> rowids;
  bool whole = false;
};

/* One compiled statement and its progress. */
struct Program {
  enum class State { Ready, Running, Done, Failed };

  Statement statement;
  std::string translated;            /* the text SQLite 3 runs */
  std::vector<Replacement> replaced; /* what the translation replaced */
  sqlite3_stmt* stmt = nullptr;      /* for queries and row changes */
  int generation = 0;                /* working-copy generation stmt was made for */
  bool writes = false;               /* may change the file's content */
  State state = State::Ready;
  bool holdsLock = false;
  bool ownTransaction = false; /* wrapped in a transaction of its own */
  Status result;

  std::vector<std::string> names;
  std::vector<Cell> types;
  std::vector<std::vector<Cell>> rows; /* rows made by the engine itself */
  size_t nextRow = 0;
  std::vector<Cell> current; /* the row just stepped to */
};

/* The outcome of one step of a Program. */
enum class StepResult { Row, Done, Busy, Error };

class Database {
 public:
  Database();
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  /* Opens PATH (":memory:" or "" for a private database without a file)
  ** and loads it.  A file locked by another program opens; it is loaded
  ** at the first statement.  Returns the 2.x code and message. */
  Status open(const std::string& path);

  /* Rolls back an open transaction and releases the file. */
  void close();

  /* Compiles the first statement of SQL into PROGRAM; *CONSUMED gets the
  ** length of the statement.  PROGRAM is null when SQL holds no statement. */
  Status compile(std::string_view sql, size_t* consumed, std::unique_ptr<Program>& program);

  /* Runs PROGRAM to its next row (in program->current) or to its end. */
  StepResult step(Program& program);

  /* Ends PROGRAM early if it is still running and releases it.  Returns
  ** the program's result. */
  Status finalize(Program& program);

  int lastInsertRowid() const { return m_lastInsertRowid; }
  int changes() const { return m_changes; }
  bool emptyResultCallbacks() const { return m_emptyResultCallbacks; }
  void setBusyTimeout(int ms) { m_busyTimeoutMs = ms; }
  bool inTransaction() const { return m_inTransaction; }

  /* Asks, from any thread, that the statement being stepped stop with
  ** kInterrupt "interrupted".  The request stays pending until a step
  ** honours it or clearInterrupt() drops it, so one made just before a
  ** step begins is not lost.  Only the stepping of a statement is stopped,
  ** never the loading or writing back of the file. */
  void interrupt() { m_interruptRequested = true; }
  void clearInterrupt() { m_interruptRequested = false; }

 private:
  /* loading and writing back */
  Status ensureLoaded();
  Status ensureCurrent();
  Status loadWorkingCopy(const Image& image);
  Status clearWorkingCopy();
  Status createTableInCopy(const TableDef& def, const std::string& schema, std::string_view sql);
  Status fillTable(const TableInfo& info, const std::vector<Row>& rows);
  Status guardRowids(const TableInfo& info);
  Status readTable(const TableInfo& info, std::vector<Row>& rows);
  Status patchTable(const TableInfo& info, const RowChanges& changes, std::vector<Row>& rows);
  std::string selectRowsSql(const TableInfo& info) const;
  Status rowFromStatement(sqlite3_stmt* stmt, const TableDef& def, Row& row) const;
  Status readMaster(std::vector<MasterEntry>& master);
  Status writeBack();
  Status updateRootPages();
  Status loadMasterRows(const std::vector<MasterEntry>& master);
  /* Starts (ON) or stops noting the rows SQLite 3 changes in
  ** m_rowChanges. */
  void watchRowChanges(bool on);

  /* the lazy form (s2sqllazy.cpp) */
  /* True when STATEMENT needs the full form. */
  bool needsFullCopy(const Statement& statement) const;
  /* True when STATEMENT changes rows that the lazy form can change in
  ** place: an INSERT, an UPDATE keeping the rowids or a DELETE, outside a
  ** transaction or in one the lazy form runs, while no other statement runs, of a table without
  ** triggers and conflict clauses in a file the b-tree editor may change,
  ** while the connection has no TEMP trigger. */
  bool changesLazily(const Statement& statement) const;
  /* True when the INSERT of TOKENS into the file's table NAME is one the
  ** lazy form runs: a plain INSERT INTO ... VALUES or SELECT whose column
  ** list does not name the rowid; a SELECT must give every column that
  ** has a default. */
  bool insertsLazily(const std::vector<Token>& tokens, const std::string& name) const;
  /* Returns the text of the INSERT STATEMENT with the defaults of the
  ** columns its list leaves out added to the list and to each VALUES
  ** row, as the lazy form needs them; otherwise its text unchanged. */
  std::string withDefaults(const Statement& statement) const;
  /* True when the working copy holds a TEMP trigger (or cannot tell). */
  bool hasTempTriggers() const;
  /* Reads the schema through the page cache and makes the lazy form;
  ** *usable is false (and nothing made) when the file is to be loaded
  ** whole instead (too short, an old format). */
  Status loadLazily(bool* usable);
  /* Makes m_image the header values and schema rows of the file as the
  ** lazy view last read them, without table rows. */
  void takeSchemaImage();
  Status createLazyObjects();
  /* Switches to the full form STATEMENT needs (or checks it is current):
  ** the partial form for a statement that fits it (fitsPartial), else
  ** the whole file; kLocked while a statement of the lazy form runs. */
  Status ensureFull(const Statement* statement = nullptr);
  /* Switches back to the lazy form when nothing holds the full one. */
  Status ensureLazy();
  /* The lazy form's check before a statement: page 1 read again, the
  ** schema only when it changed. */
  Status refreshLazily();

  /* the partial form (s2sqlpartial.cpp) */
  /* True when STATEMENT, which needs a full form, can run in the partial
  ** one: a row change or a change of the file's schema, in a file the
  ** b-tree editor may change, while the connection has no TEMP trigger
  ** and no transaction runs in the whole form. */
  bool fitsPartial(const Statement& statement) const;
  /* Returns the lower-case names of the file's tables and views that
  ** STATEMENT names, closed over the triggers of each: a trigger of a
  ** named table or view adds what its own text names.  A schema change
  ** involves only the table of a new index or trigger. */
  std::set<std::string> involvedTables(const Statement& statement) const;
  /* Makes the partial form that holds the tables STATEMENT involves
  ** (loading more of them into an open transaction's copy). */
  Status ensurePartial(const Statement& statement);
  /* Outside a transaction: makes the partial form hold the file's rows as
  ** they are now when the connection holds its lock, and follows a schema
  ** another program changed. */
  Status refreshPartially();
  /* Builds the partial form anew from the lazy schema: NAMES (lower-case)
  ** as SQLite 3 tables, with their rows when WITHROWS (else empty, to
  ** compile against), every other table as a virtual table. */
  Status buildPartial(const std::set<std::string>& names, bool withRows);
  /* Loads the tables and views NAMES (lower-case, not loaded yet) into
  ** the partial form: each table replaces its virtual table when VTABS,
  ** with its rows when WITHROWS; their indices and the triggers of every
  ** name follow. */
  Status loadPartialTables(const std::set<std::string>& names, bool withRows, bool vtabs);
  /* Writes the rows the partial form's loaded tables changed into the
  ** LazyFile's pending pages (LazyFile::edit), each against the row it
  ** held when loaded.  Errors: writeRows', kCorrupt for an index that
  ** lacks an old row's entry, kMismatch for a rowid outside 32 bits. */
  Status writeBackPartial();
  /* writeBackPartial for a schema change: the difference between the
  ** schema rows loaded and those of the working copy goes into the
  ** LazyFile's pending pages (applySchemaChange), the rows of new tables,
  ** of tables new indices are filled from and the changed rows of loaded
  ** tables with it; the roots given are shown in the working copy.
  ** Errors: applySchemaChange's, kCorrupt where the file's trees cannot
  ** take the change. */
  Status writeSchemaPartial();
  /* Collects the changes of table INFO for writeBackPartial: the rows as
  ** they are now (AFTER) and as they were (BEFORE). */
  Status changedRows(const TableInfo& info, const RowChanges& changes,
                     const std::vector<Row>& loaded, std::vector<Row>& after,
                     std::vector<RowBefore>& before);
  /* Leaves the partial form for the whole one: inside a transaction its
  ** changes join the LazyFile transaction's pages first. */
  Status leavePartial();
  /* Ends a statement of the partial form run in a transaction of its own
  ** with STATUS: on success its rows are written into the file, then
  ** SQLite 3's transaction ends.  Returns STATUS or the write's error. */
  Status endPartialStatement(Status status);
  /* COMMIT of a transaction in the partial form: the loaded tables'
  ** changes go on top of the transaction's pending pages and all are
  ** written at once.  A refused row (a unique key as 2.x compares it)
  ** leaves the transaction open; a failed write ends it rolled back. */
  Status commitPartialTransaction();
  /* Drops a working copy whose changes were never written (the partial
  ** form's, or a whole form loaded with a lazy transaction's pages) after
  ** its transaction ended without them: SQLite 3's and the LazyFile's
  ** transactions end, the copy is cleared to be loaded again. */
  void dropUncommittedCopy();
  /* Creates the SQLite 3 index of the stored CREATE INDEX text SQL when
  ** it resolves (else nothing, as 2.x skips it). */
  Status createIndexInCopy(const std::string& sql);

  /* rows written straight into the file's b-trees (s2sqlinplace.cpp) */
  using RowsBefore = std::map<std::string, std::vector<std::pair<int64_t, std::optional<Row>>>>;
  /* True when the pending changes are rows only, of a file the b-tree
  ** editor may change. */
  bool canWriteInPlace() const;
  /* Collects the rows the pending changes replace, by table name. */
  void rowsBefore(RowsBefore& before) const;
  /* Writes the rows of NEXT that BEFORE names into the file; *done is
  ** false (and nothing written) when the file has to be written whole. */
  Status storeInPlace(const Image& next, const RowsBefore& before, bool* done);
  /* Writes the schema change from the file's rows to those of NEXT, with
  ** the changed rows BEFORE names, into the file's pages; NEXT's schema
  ** rows and cookie, and the working copy's, then show the root pages
  ** given.  *done is false (and nothing written) when the file has to be
  ** written whole. */
  Status storeSchemaInPlace(Image& next, const RowsBefore& before, bool* done);
  /* Makes the working copy's schema rows show the root pages of MASTER. */
  Status showRootPages(const std::vector<MasterEntry>& master);

  /* locks and transactions */
  Status acquireLock(bool write);
  void releaseLock();
  Status beginOwnTransaction(Program& program);
  Status endOwnTransaction(Program& program, Status status);
  Status runTransactionStatement(Program& program);
  /* Moves the lazy form's open transaction into the full form just
  ** loaded with its changes: SQLite 3's transaction begins there. */
  Status continueTransactionInFull();
  void forgetUncommitted();

  /* statements */
  Status checkProgram(Program& program);
  Status prepareProgram(Program& program);
  Status runAction(Program& program);
  StepResult stepStatement(Program& program);
  StepResult finish(Program& program, Status status);
  void describeColumns(Program& program);
  Status mapError(int rc, const Statement& statement) const;

  /* schema (s2sqlschema.cpp) */
  Status checkSchemaStatement(const Statement& statement);
  Status createTable(Program& program);
  Status createIndex(Program& program);
  Status createViewOrTrigger(Program& program);
  Status dropObject(Program& program);
  Status pragma(Program& program);
  Status pragmaEmptyResultCallbacks(Program& program, const std::string& argument);
  Status pragmaTableInfo(Program& program, const std::string& argument);
  Status pragmaIndexList(Program& program, const std::string& argument);
  Status pragmaIndexInfo(Program& program, const std::string& argument);
  Status pragmaIntegrityCheck(Program& program, const std::string& argument);
  Status addMasterRow(const std::string& type, const std::string& name,
                      const std::string& tableName, const Cell& sql);
  bool findMaster(const std::string& name, std::string_view types, MasterEntry& out);
  Status deleteMasterRows(const std::string& column, const std::string& name);
  bool tempObjectExists(const std::string& type, const std::string& name);
  Status createTableText(const Statement& statement, std::string& text, std::string& select);
  const TableInfo* table(const std::string& name);
  void invalidateSchema();
  void markDirty(const std::string& table);

  /* SQLite 3 helpers */
  Status exec(const std::string& sql);
  Status sqliteFailure(int rc) const;
  static int stopRequested(void* self);

  sqlite3* m_db = nullptr;
  File m_file;
  FunctionHooks m_hooks;
  LazyFile m_lazy{m_file, m_hooks};
  bool m_lazyMode = false; /* tables are virtual tables over the file */
  bool m_wantFull = false; /* the next load is a whole one */
  /* The partial form: the tables m_partialTables names (lower-case, views
  ** included) are SQLite 3 tables, every other file table a virtual
  ** table; fresh while their rows are those of the file under the lock
  ** held (a transaction's lock keeps it fresh). */
  bool m_partial = false;
  bool m_partialFresh = false;
  std::set<std::string> m_partialTables;
  bool m_hasFile = false;
  bool m_loaded = false;
  Image m_image; /* the file's content as last loaded or written */
  int m_generation = 0;
  bool m_inTransaction = false;
  bool m_lazyTransaction = false; /* the open transaction runs in the lazy form */
  bool m_copyHasPending = false;  /* the full form holds a lazy transaction's changes */
  int m_activePrograms = 0;
  bool m_schemaChanged = false;
  bool m_rootsKnown = false;                      /* root pages shown are those of our own writer */
  std::set<std::string> m_dirtyTables;            /* tables to read whole (lower-case) */
  std::map<std::string, RowChanges> m_rowChanges; /* changed rows (lower-case) */
  std::map<std::string, TableInfo> m_tables;      /* lower-case name -> table */
  std::map<std::string, TableDef> m_tempTables;   /* lower-case name -> TEMP table */
  bool m_tablesValid = false;
  int m_guardCounter = 0;
  std::set<std::string> m_guardedTables; /* tables with the rowid trigger */
  int64_t m_pendingInsertRowid = 0;      /* of the INSERT just run */
  int64_t m_movedFrom = 0, m_movedTo = 0;
  int m_lastInsertRowid = 0;
  int m_changes = 0;
  bool m_emptyResultCallbacks = false;
  int m_busyTimeoutMs = 0;
  std::atomic<bool> m_interruptRequested{false};
  bool m_inStatementStep = false; /* sqlite3_step of a Program is running */
};

}  // namespace s2

#endif
