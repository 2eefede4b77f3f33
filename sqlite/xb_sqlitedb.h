/*
** The connection to one database file, over either engine generation.
**
** XB_SQLiteDB is the abstract connection every database access goes through;
** XB_SQLite2DB drives the generation-2 engine (sqlite.h), XB_SQLite3DB the
** generation-3 engine (sqlite3.h).  The generation of a file is settled when
** the connection is made and never changes.  Failures are reported by a
** false or null result; the engine's message stays available through
** LastError() and diagnostics go to the log sink.
**
** The formatting operations of the original interface took a format and a
** variable argument list.  Here ExecF, QueryValue and GetTable are type-safe
** templates that build the statement with XB_String::Format and then call a
** virtual operation with the finished text (Exec, QueryValueText,
** GetTableText), so every implementation sees complete statements only.  The
** virtual operations keep the order of the original slots: Version, Exec,
** QueryValueText (for QueryValue), GetTableText (for the three GetTable
** overloads: the result variants all derive from XB_SQLiteResult, so one
** operation on the base reference serves them), LastInsertRowId, Open,
** OnCreated, IsOpen, Close, OpenOrCreate, TableExists; LastInsertRowId64,
** GetTableWatched, Interrupt and IsOneReadOnlyStatement are new and come
** last.
**
** Every handle a connection opens waits up to kBusyTimeoutMs for a file
** that another connection or program has locked before it reports
** "database is locked".
**
** Text: a generation-3 file holds UTF-8.  A generation-2 file holds bytes
** that are either UTF-8 or Latin-1; which one is decided when the
** connection first opens the file (its schema and the first rows of each
** table hold multi-byte UTF-8 and no byte sequence that is invalid UTF-8:
** UTF-8; otherwise Latin-1) and the user may switch it.  Callers keep their
** own text in UTF-8 and pass it through ToFileText before it goes into SQL,
** and show what the file holds through FromFileText.  A character the
** file's encoding cannot hold is refused, never replaced by "?".
**
** Threads: a connection is used by one thread at a time, except that
** Interrupt may be called from any thread while another one runs a query.
*/
#ifndef XB_SQLITEDB_H
#define XB_SQLITEDB_H

#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "xb_log.h"
#include "xb_sqliteresult.h"
#include "xb_string.h"

/* How the text of a database file is encoded. */
enum XB_TextEncoding { XB_TEXT_UTF8 = 0, XB_TEXT_LATIN1 = 1 };

/* The progress of one watched query (GetTableWatched), shared between the
** thread that runs it and threads that watch or cancel it. */
struct XB_QueryProgress {
  std::atomic<int64_t> rows{0};    /* result rows gathered so far */
  std::atomic<bool> cancel{false}; /* set to stop the query */
  /* Bounds of the result, set before the run (0: none).  Reaching one ends
  ** the run early with the rows gathered so far, as a success, and sets
  ** limited.  Bytes count each cell's text and 5 bytes of bookkeeping. */
  int64_t maxRows = 0;
  int64_t maxBytes = 0;
  std::atomic<bool> limited{false};
};

class XB_SQLiteDB {
 public:
  /* How long a handle waits for a locked file, in milliseconds. */
  static constexpr int kBusyTimeoutMs = 2000;

  /* Size of the path buffer, terminating NUL included: the system's own
  ** limit, so every path the system takes fits.  A longer path is refused,
  ** never cut: a cut path names a different file. */
  static constexpr size_t kPathCapacity = PATH_MAX;

  XB_SQLiteDB(const XB_SQLiteDB&) = delete;
  XB_SQLiteDB& operator=(const XB_SQLiteDB&) = delete;
  virtual ~XB_SQLiteDB() = default;

  /* Returns 2.0 or 3.0, the engine generation of this connection. */
  virtual double Version() const = 0;

  /* Runs a statement that returns no rows.  Returns true on success; on
  ** failure the engine's message becomes the last error. */
  virtual bool Exec(const char* sql) = 0;

  /* Runs STATEMENT and copies the first column of its first row into OUT
  ** (SQL NULL gives the empty string).  Returns false, OUT unchanged, when
  ** the statement fails, yields no row or no database is open. */
  virtual bool QueryValueText(XB_String& out, const char* statement) = 0;

  /* Runs STATEMENT into RESULT: column names first, then the rows.  Returns
  ** true on success; on failure RESULT is empty and the engine's message is
  ** the last error. */
  virtual bool GetTableText(XB_SQLiteResult& result, const char* statement) = 0;

  /* Returns the row id of the most recent INSERT, reduced to its low 32 bits. */
  virtual int32_t LastInsertRowId() = 0;

  /* Opens the engine handle on the stored path.  Returns true when a handle
  ** is present afterwards. */
  virtual bool Open() = 0;

  /* Called once after a new database file was made. */
  virtual void OnCreated() = 0;

  /* Returns true while an engine handle is present. */
  virtual bool IsOpen() const = 0;

  /* Closes the engine handle if there is one.  Returns true. */
  virtual bool Close();

  /* Opens the stored path, making a new database when no file is there.
  ** Returns true when the connection is open afterwards. */
  virtual bool OpenOrCreate();

  /* Returns true when sqlite_master has an entry named NAME, ASCII letter
  ** case ignored.  The name travels as a string literal, so a table called
  ** "name" or "sql" is not mistaken for the column of that name. */
  virtual bool TableExists(const char* name);

  /* Returns the full 64-bit row id of the most recent INSERT, for callers
  ** that must find that row again. */
  virtual int64_t LastInsertRowId64() = 0;

  /* Runs STATEMENT (one or more statements) into RESULT as GetTableText
  ** does, adding each row gathered to PROGRESS->rows.  When PROGRESS->cancel
  ** is set, or Interrupt is called, the statement running stops, RESULT is
  ** empty, "interrupted" is the last error and false is returned; what the
  ** statements before it did stays done.  PROGRESS may be null.  With
  ** PROGRESS given, a query without rows still gives its column names, and
  ** the bounds of PROGRESS apply. */
  virtual bool GetTableWatched(XB_SQLiteResult& result, const char* statement,
                               XB_QueryProgress* progress) = 0;

  /* Asks, from any thread, that the watched query running on this
  ** connection stop (see GetTableWatched).  Does nothing while the
  ** connection is closed or no watched query runs. */
  virtual void Interrupt() = 0;

  /* Sets *READONLY to true when SQL holds exactly one statement (blanks and
  ** comments aside) and that statement cannot change the file: a query or
  ** a reading pragma, never a change, a schema statement or transaction
  ** control.  Nothing is run.  Returns false, *READONLY false, when the
  ** connection is closed or the first statement does not compile (the
  ** engine's message is the last error). */
  virtual bool IsOneReadOnlyStatement(const char* sql, bool* readOnly) = 0;

  /* Returns true while a transaction begun with BEGIN is open on the
  ** handle; closing the handle would roll it back. */
  virtual bool InTransaction() = 0;

  /* Returns the encoding of the file's text: always UTF-8 for generation 3;
  ** for generation 2 what was detected at the first open or set since. */
  XB_TextEncoding TextEncoding() const { return m_textEncoding; }

  /* Sets the encoding of a generation-2 file's text (the user's switch).
  ** Generation 3 stays UTF-8. */
  void SetTextEncoding(XB_TextEncoding enc);

  /* Converts UTF8 (the caller's text) into the file's encoding in *STORED.
  ** Returns false, with a message naming the character in *ERROR, when the
  ** encoding cannot hold one of its characters (or UTF8 is not valid
  ** UTF-8); *STORED is then unspecified. */
  bool ToFileText(std::string_view utf8, std::string* stored, std::string* error) const;

  /* Returns STORED (text as the file holds it) as UTF-8 for display.  In a
  ** UTF-8 file a byte that is not part of valid UTF-8 is shown as the
  ** Latin-1 character of that byte, so nothing is lost or replaced. */
  std::string FromFileText(std::string_view stored) const;

  /* Returns true when TEXT is valid UTF-8 (no overlong forms, surrogates or
  ** code points above U+10FFFF). */
  static bool IsValidUtf8(std::string_view text);

  /* Formats a statement and runs it with Exec.  Returns Exec's answer. */
  template <class... A>
  bool ExecF(const char* format, const A&... args) {
    XB_String sql;
    sql.Format(format, args...);
    if (!StatementIsSound(sql)) return false;
    return Exec(sql.c_str());
  }

  /* Formats a statement and runs it with QueryValueText. */
  template <class... A>
  bool QueryValue(XB_String& out, const char* format, const A&... args) {
    XB_String sql;
    sql.Format(format, args...);
    if (!StatementIsSound(sql)) return false;
    return QueryValueText(out, sql.c_str());
  }

  /* Formats a statement and runs it with GetTableText. */
  template <class... A>
  bool GetTable(XB_SQLiteResult& result, const char* format, const A&... args) {
    XB_String sql;
    sql.Format(format, args...);
    if (!StatementIsSound(sql)) {
      result.Reset();
      return false;
    }
    return GetTableText(result, sql.c_str());
  }

  /* Returns the message of the most recent failing engine call, or null. */
  const char* LastError() const { return m_hasLastError ? m_lastError.c_str() : nullptr; }

  /* Returns the engine's message for the first damaged page of the file
  ** this connection met (its text names the page), or null when it met
  ** none.  A generation-2 file stays readable where its pages are sound;
  ** opening it looks at the schema and the first rows of every table. */
  const char* DamageSeen() const { return m_damage.empty() ? nullptr : m_damage.c_str(); }

  /* Returns the path this connection was made for ("" when it was refused). */
  const char* FilePath() const { return m_filePath; }

  /* Returns TEXT as an SQL string literal: in single quotes, with every
  ** single quote doubled.  Names compared in SQL go this way, never between
  ** double quotes, which the engine may take for a column name. */
  static XB_String SqlLiteral(std::string_view text);

  /* Returns true when the file at PATH begins with the generation-2 header. */
  static bool IsGeneration2File(const char* path);

  /* Returns a connection to PATH in the generation the file has: a file with
  ** the generation-2 header gets generation 2; anything else is tried with
  ** generation 3 (so a new or empty file becomes a generation-3 database)
  ** and, when that fails and the file is missing or empty, with generation
  ** 2.  Returns null when no engine reads the file.  The caller owns and
  ** deletes the connection. */
  static XB_SQLiteDB* NewAuto(const char* path);

  /* NewAuto that also tells why no engine reads the file: when it returns
  ** null, *REASON holds the message of the last engine that tried ("" when
  ** none gave one), e.g. "database is locked" for a file another program
  ** kept locked for the whole busy timeout. */
  static XB_SQLiteDB* NewAuto(const char* path, std::string* reason);

  /* Returns a connection of generation 2 when VERSION is 2 and of generation
  ** 3 otherwise, without probing it (it may be closed).  Owned by the caller. */
  static XB_SQLiteDB* NewByVersion(const char* path, int version);

 protected:
  /* Stores PATH (or refuses it when it does not fit); the handle is closed. */
  explicit XB_SQLiteDB(const char* path);
  /* An unnamed connection; used by nothing but derived classes. */
  XB_SQLiteDB();

  /* Makes TEXT (null for none) the last error. */
  void SetLastError(const char* text);
  /* Forgets the last error. */
  void ClearLastError();
  /* Keeps MESSAGE as the damage seen, unless some was seen before. */
  void NoteDamage(const char* message);

  /* Returns true when the stored path may go to an engine; otherwise sets
  ** the last error and logs the reason.  An empty name would give a private
  ** temporary database that vanishes on close, so it is refused too. */
  bool PathIsUsable();

  /* Returns the stored path as handed to an engine.  The engines read names
  ** beginning with "file:" as URIs and ":memory:" as a database in memory;
  ** "./" in front keeps such names what the user meant: files. */
  std::string EnginePath() const;

  /* Returns false, and logs why, for a statement that could not be formatted. */
  static bool StatementIsSound(const XB_String& sql);

  /* Keeps HANDLE (null for none) as the engine handle.  Interrupt reads the
  ** handle under the same lock, so it never reaches a closed one. */
  void SetEngineHandle(void* handle);

  /* Runs FN with the engine handle (null while closed) under the lock that
  ** SetEngineHandle takes. */
  template <class F>
  void WithEngineHandle(F fn) {
    std::lock_guard<std::mutex> lock(m_handleMutex);
    fn(m_engineHandle);
  }

  char m_filePath[kPathCapacity] = {};
  void* m_engineHandle = nullptr;
  XB_TextEncoding m_textEncoding = XB_TEXT_UTF8;
  bool m_encodingDecided = false;

 private:
  bool m_pathRefused = false;
  bool m_hasLastError = false;
  std::string m_lastError;
  std::string m_damage;
  std::mutex m_handleMutex;
};

#endif
