/*
** Reading a whole database of either generation as a stream of schema
** statements and rows, for dumping it as SQL text or loading it into a new
** generation-3 file.
**
** XB_SQLiteDump walks the source: every table (its stored CREATE statement,
** then its rows in rowid order), then the indices, views and triggers in the
** order they were made.  What it reads goes to an XB_DumpWriter, which
** decides what to make of it (XB_DumpSqlText writes SQL text,
** XB_SQLiteConvert loads a new file).
**
** Values: a generation-3 value keeps its storage class.  A generation-2
** value is text; it travels as a number only when that text is exactly the
** canonical form of the number (the form SQLite 3 prints for it), so no
** text is changed by being read back as a number: "7" and "1.5" are
** numbers, "007", "1.50", "1e3" and "-0" stay text.  Text of a generation-2
** file goes through the connection's text rule (FromFileText), so Latin-1
** files arrive as UTF-8.
*/
#ifndef XB_SQLITEDUMP_H
#define XB_SQLITEDUMP_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class XB_SQLiteDB;
class XB_DumpSource;

/* One value of a row. */
struct XB_DumpValue {
  enum Kind { kNull, kInteger, kReal, kText, kBlob };
  Kind kind = kNull;
  int64_t integer = 0;   /* kInteger */
  double real = 0;       /* kReal */
  std::string_view text; /* the value as the source shows it as text; the
                         ** bytes of a kBlob */
};

/* What a table is to the dump. */
enum XB_DumpTableKind {
  XB_DUMP_TABLE,    /* an ordinary table */
  XB_DUMP_VIRTUAL,  /* a virtual table: made by its module, rows inserted */
  XB_DUMP_SEQUENCE, /* sqlite_sequence: made by the engine, rows replaced */
  XB_DUMP_STAT1     /* sqlite_stat1: made by ANALYZE, rows inserted */
};

/* One table as the dump reads it. */
struct XB_DumpTable {
  std::string name;
  std::string sql; /* the stored CREATE statement, UTF-8 */
  XB_DumpTableKind kind = XB_DUMP_TABLE;
  std::vector<std::string> columns; /* the columns a row gives values for */
  std::string rowidName;            /* names the rowid; empty when the
                                    ** table has none that can be named */
  int64_t rows = 0;                 /* rows read so far */
};

/* One index, view or trigger. */
struct XB_DumpObject {
  std::string type; /* "index", "view" or "trigger" */
  std::string name;
  std::string sql; /* the stored CREATE statement, UTF-8 */
};

/*
** The receiving side of a dump.  The reader calls Begin once, then for each
** table BeginTable, Row for each of its rows and EndTable, then Object for
** each index, view and trigger, and finally Finish.  Any call returning false
** stops the dump (the writer failed; its own message says why); Finish is
** still called, with COMPLETE false.
*/
class XB_DumpWriter {
 public:
  virtual ~XB_DumpWriter() = default;
  virtual bool Begin() = 0;
  virtual bool BeginTable(const XB_DumpTable& table) = 0;
  /* VALUES holds one value per entry of the table's columns.  ROWID is
  ** meaningful only when the table's rowidName is not empty. */
  virtual bool Row(const XB_DumpTable& table, int64_t rowid,
                   const std::vector<XB_DumpValue>& values) = 0;
  virtual bool EndTable(const XB_DumpTable& table) = 0;
  virtual bool Object(const XB_DumpObject& object) = 0;
  /* COMPLETE is false when reading or writing stopped midway. */
  virtual bool Finish(bool complete) = 0;
};

/* Progress of a dump, shared with a thread that watches or cancels it. */
struct XB_DumpProgress {
  /* Called now and then with the rows read so far and the rows there are. */
  std::function<void(int64_t done, int64_t total)> onRows;
  /* Set from any thread to stop the dump; it ends as XB_DUMP_CANCELLED. */
  const std::atomic<bool>* cancel = nullptr;
};

/* How a dump ended. */
enum XB_DumpOutcome {
  XB_DUMP_DONE,         /* everything was read and written */
  XB_DUMP_OPEN_FAILED,  /* the source could not be opened */
  XB_DUMP_READ_FAILED,  /* reading stopped midway */
  XB_DUMP_WRITE_FAILED, /* the writer refused to go on */
  XB_DUMP_CANCELLED     /* the cancel flag was set */
};

/*
** Reads one database for a writer.  The source connection tells the path,
** the generation and the text rule; the dump reads through a read-only
** handle of its own, so the connection may be closed and must outlive
** Run.  The whole dump is read under one read lock, so it shows the file
** at one moment even while other programs write to it.  Errors: Run
** returns the outcome, and Error() the message of a failure.
*/
class XB_SQLiteDump {
 public:
  explicit XB_SQLiteDump(const XB_SQLiteDB& source);
  XB_SQLiteDump(const XB_SQLiteDump&) = delete;
  XB_SQLiteDump& operator=(const XB_SQLiteDump&) = delete;
  ~XB_SQLiteDump();

  /* Reads the whole source into WRITER.  PROGRESS may be null. */
  XB_DumpOutcome Run(XB_DumpWriter& writer, const XB_DumpProgress* progress);

  /* Returns the message of the failure Run reported ("" after success). */
  const std::string& Error() const { return m_error; }

  /* Returns the rows of every table read by the last Run, by table. */
  const std::vector<XB_DumpTable>& Tables() const { return m_tables; }

  /* Returns true when a generation-2 TEXT is written as a number: exactly
  ** the canonical form of a 64-bit integer or of a double as SQLite 3 prints
  ** it.  Sets VALUE's kind and number accordingly (kText otherwise). */
  static bool ClassifyText(std::string_view text, XB_DumpValue* value);

 private:
  /* Reads the schema, then every table's rows, into WRITER. */
  XB_DumpOutcome ReadAll(XB_DumpSource& source, XB_DumpWriter& writer,
                         const XB_DumpProgress* progress);

  /* Returns OUTCOME after setting the error message to MESSAGE. */
  XB_DumpOutcome Fail(XB_DumpOutcome outcome, const std::string& message);

  const XB_SQLiteDB& m_source;
  std::string m_error;
  std::vector<XB_DumpTable> m_tables;
};

#endif
