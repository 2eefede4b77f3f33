/*
** The file layer of the generation-2 engine: everything that touches a 2.x
** database file on disk.  It offers
**
**   - the 2.x schema knowledge both layers need: parsing CREATE TABLE and
**     CREATE INDEX texts the way 2.8.17 does (column names, declared types,
**     column classes, the rowid alias, automatic indices);
**   - the 2.x value semantics: the "looks like a number" test, text to
**     number conversion, the sortable text of a number, the 2.x comparison
**     of two values and the index key encoding;
**   - class File: one connection's view of one database file with the 2.x
**     fcntl locks, hot-journal playback, reading the whole file into an
**     Image and writing an Image back in place under a rollback journal.
**
** Errors are returned as a Status carrying a 2.x result code and message.
*/
#ifndef S2FILE_H
#define S2FILE_H

#include "s2image.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace s2 {

/* Result codes, numerically identical to the 2.x interface's codes. */
enum Code : int {
  kOk = 0,
  kError = 1,
  kInternal = 2,
  kPerm = 3,
  kAbort = 4,
  kBusy = 5,
  kLocked = 6,
  kNoMem = 7,
  kReadOnly = 8,
  kInterrupt = 9,
  kIoErr = 10,
  kCorrupt = 11,
  kNotFound = 12,
  kFull = 13,
  kCantOpen = 14,
  kProtocol = 15,
  kEmpty = 16,
  kSchema = 17,
  kTooBig = 18,
  kConstraint = 19,
  kMismatch = 20,
  kMisuse = 21,
  kNoLfs = 22,
  kAuth = 23,
  kFormat = 24,
  kRange = 25,
  kNotADb = 26,
};

/* Outcome of a file-layer call: a 2.x result code and its message.  The
** message is empty for kOk. */
struct Status {
  int code = kOk;
  std::string message;

  bool ok() const { return code == kOk; }
  static Status success() { return {}; }
  static Status failure(int code, std::string message) { return {code, std::move(message)}; }
};

/* ------------------------------------------------------------------------
** Schema knowledge
*/

/* How a column compares and how its values are encoded in index keys. */
enum class ColumnClass { Numeric, Text };

/* One column of a CREATE TABLE. */
struct ColumnDef {
  std::string name;         /* quotes removed */
  std::string declaredType; /* as written, white space removed; empty if none */
  ColumnClass cls = ColumnClass::Numeric;
  bool notNull = false;
  bool hasDefault = false;
  Cell defaultValue; /* text as 2.x inserts it; NULL for DEFAULT NULL */
};

/* One index over a table: its columns as positions in the table's column
** list.  A position equal to TableDef::rowidColumn stands for the rowid. */
struct IndexDef {
  std::string name;
  std::string tableName;
  std::vector<int> columns;
  bool unique = false;
};

/* A parsed CREATE TABLE. */
struct TableDef {
  std::string name;       /* quotes removed */
  bool temporary = false; /* CREATE TEMP TABLE (never stored in a file) */
  std::vector<ColumnDef> columns;
  int rowidColumn = -1;              /* INTEGER PRIMARY KEY column, or -1 */
  std::vector<IndexDef> autoIndices; /* "(t autoindex N)", in 2.x order */
};

/* A parsed CREATE INDEX: column names as written (quotes removed). */
struct IndexStatement {
  std::string name;
  std::string tableName;
  std::vector<std::string> columnNames;
  bool unique = false;
};

/* Parses a CREATE TABLE text as 2.8.17 does.  Returns false and sets *error
** (if given) when the text is no CREATE TABLE 2.8.17 would accept. */
bool parseCreateTable(std::string_view sql, TableDef& out, std::string* error = nullptr);

/* Parses a CREATE [UNIQUE] INDEX text.  Returns false and sets *error (if
** given) when the text is no CREATE INDEX. */
bool parseCreateIndex(std::string_view sql, IndexStatement& out, std::string* error = nullptr);

/* Resolves a parsed CREATE INDEX against its table: fills out.columns with
** column positions (names are matched case-insensitively).  Returns false
** and sets *error when a column does not exist. */
bool resolveIndex(const IndexStatement& stmt, const TableDef& table, IndexDef& out,
                  std::string* error = nullptr);

/* Returns the class 2.8.17 gives a type or collation name: Text if it
** contains blob, clob, char or text (its exact substring test), else Numeric. */
ColumnClass classOfTypeName(std::string_view typeName);

/* Returns true when two object names are equal as 2.x compares them
** (ASCII case-insensitively). */
bool sameName(std::string_view a, std::string_view b);

/* ------------------------------------------------------------------------
** Values
*/

/* Returns true when TEXT "looks like a number" to 2.x: optional sign,
** digits, optional "." and digits, optional exponent.  Nothing else. */
bool looksLikeNumber(std::string_view text);

/* Returns the number 2.x reads from the numeric prefix of TEXT (its own
** conversion with long double intermediates).  Stops at the first byte
** that cannot continue a number; *consumed (if given) receives how many
** bytes were used. */
double textToNumber(std::string_view text, size_t* consumed = nullptr);

/* Returns the sortable text of a number: at most 13 characters whose byte
** order equals numeric order. */
std::string numberToSortableText(double value);

/* Compares two values as 2.x does in a column of class CLS: NULL first;
** Text: byte order; Numeric: number-looking values by value before all other
** texts, which compare in byte order.  Returns <0, 0 or >0. */
int compareValues(const Cell& a, const Cell& b, ColumnClass cls);

/* Same as compareValues for two non-NULL byte strings. */
int compareText(std::string_view a, std::string_view b, ColumnClass cls);

/* Returns the 4-byte key of a rowid: rowid XOR 0x80000000, big-endian. */
std::string rowidKey(int32_t rowid);

/* Appends the index key field of VALUE in a column of class CLS: "a" for
** NULL, "b" + sortable text for a number-looking value in a numeric column,
** otherwise "c" + the bytes; each followed by one 0x00. */
void appendIndexField(std::string& key, const Cell& value, ColumnClass cls);

/* Returns the whole index key of ROW for INDEX over TABLE: one field per
** indexed column (the rowid alias contributes the rowid as a number) and
** the row's rowid key. */
std::string indexKey(const IndexDef& index, const TableDef& table, const Row& row);

/* ------------------------------------------------------------------------
** Files
*/

/* The lock a connection holds on its database file. */
enum class LockLevel { None, Read, Write };

struct SharedFile; /* the one descriptor of a file in this process */

/*
** One connection to one database file.  Several File objects of this
** process that open the same file share one descriptor, because closing
** any descriptor of a file drops all of the process's POSIX locks on it.
**
** Typical use by the SQL layer:
**   open(path)                      once; creates a missing file
**   load(image)                     reads the whole file
**   refresh(image, reloaded)        before each statement: reloads when
**                                   another program changed the file
**   store(image)                    after a change, outside a transaction
** and lockRead()/lockWrite()/unlock() around statements and transactions.
** load, refresh and store take the locks they need for their own duration
** and return to the lock level held before the call.
*/
class File {
 public:
  File();
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  /* Opens PATH read-write (read-only where writing is not permitted),
  ** creating an empty file when it does not exist.  Reads nothing yet.
  ** Returns kCantOpen "unable to open database: PATH" on failure. */
  Status open(const std::string& path);

  /* Releases this connection's locks and its share of the descriptor. */
  void close();

  bool isOpen() const { return m_shared != nullptr; }
  bool readOnly() const;
  const std::string& path() const { return m_path; }
  const std::string& journalPath() const { return m_journalPath; }

  /* Takes the read lock (playing back a hot journal first, as 2.x does).
  ** Returns kBusy "database is locked" when another process or connection
  ** holds the write lock. */
  Status lockRead();

  /* Takes the write lock (the read lock first if needed).  Returns kBusy
  ** when any other process or connection holds a lock, kReadOnly when the
  ** file is open read-only. */
  Status lockWrite();

  /* Releases every lock this connection holds. */
  void unlock();

  LockLevel lockLevel() const { return m_level; }

  /* Reads the whole file into IMAGE and remembers its bytes.  A file
  ** shorter than one page is an empty database.  Errors: kNotADb, kError
  ** ("unsupported file format"), kCorrupt, kBusy, kIoErr. */
  Status load(Image& image);

  /* Checks whether the file still holds exactly what was last loaded or
  ** stored; if not, reloads it into IMAGE and sets *reloaded (else clears
  ** it).  IMAGE is left untouched when nothing changed. */
  Status refresh(Image& image, bool* reloaded);

  /* Returns true (in *changed) when the file no longer holds what was last
  ** loaded or stored.  Takes the read lock for the check if none is held. */
  Status changedSinceLoad(bool* changed);

  /* Writes IMAGE back as a format 4 file in native byte order, in place,
  ** under the write lock and a rollback journal.  Fails without writing
  ** anything when the file changed since it was loaded (kError), when the image
  ** holds something 2.8.17 cannot load (kTooBig, kMismatch, kConstraint,
  ** kError), or when a lock cannot be had (kBusy).  Writing an unchanged
  ** image again leaves the file byte-identical.  The schema cookie is
  ** advanced when the schema rows (root pages included) change. */
  Status store(const Image& image);

  /* The schema cookie of the file as last loaded or stored. */
  uint32_t schemaCookie() const { return m_cookie; }

  /* The sqlite_master rows of the file as last loaded or stored, with the
  ** root pages it holds (store() assigns fresh ones). */
  const std::vector<MasterEntry>& schema() const { return m_loadedSchema.master; }

 private:
  friend Status probeFile(const std::string& path, bool* generation2);

  Status readAll(std::string& bytes);
  Status ensureRead(bool& tookLock);
  void restoreLevel(LockLevel before);
  void remember(std::string&& bytes, const Image& image);
  Status writeInPlace(const std::string& fresh);

  std::shared_ptr<SharedFile> m_shared;
  std::string m_path;
  std::string m_journalPath;
  LockLevel m_level = LockLevel::None;
  std::string m_loadedBytes; /* the file as last loaded or stored */
  Image m_loadedSchema;      /* its schema rows and meta values (no rows) */
  bool m_loaded = false;
  bool m_verifiedUnderLock = false; /* m_loadedBytes checked while the lock held */
  uint32_t m_cookie = 0;
};

/* Finds out whether the existing file PATH is a 2.x database (it begins
** with the 2.x identification text) and, if a 2.x hot journal lies beside
** it, rolls that back first under the 2.x locks.  Another engine opening
** the file first would delete such a journal unplayed and leave the file
** half-written, so call this before handing a file to anything else.
** Creates nothing; a missing file gives *generation2 = false.  Uses the
** process's shared descriptor, so locks held by other connections stay. */
Status probeFile(const std::string& path, bool* generation2);

/* ------------------------------------------------------------------------
** Whole-file conversions without a file (used by File, tools and tests)
*/

/* Reads database BYTES into IMAGE. */
Status readImage(std::string_view bytes, Image& image);

/* Reads only the header values and the sqlite_master rows of BYTES into
** IMAGE (no table rows, no check of the other trees). */
Status readSchema(std::string_view bytes, Image& image);

/* Builds the bytes of a format 4 file in native byte order holding IMAGE.
** PREVIOUS (may be null) is the image of the file being replaced: its schema
** rows decide whether the schema cookie advances; the meta values other
** than cookie and format are taken from IMAGE. */
Status buildImage(const Image& image, const Image* previous, std::string& bytes);

}  // namespace s2

#endif
