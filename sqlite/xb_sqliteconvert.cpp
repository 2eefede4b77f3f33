/*
** Converting into a new generation-3 file: the loader that takes the dump's
** tables and rows into SQLite 3 through prepared statements and watches what
** SQLite 3 makes of each value, and the steps around it (temporary file,
** checks, the rename).
*/
#include "xb_sqliteconvert.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <cstring>
#include <utility>

#include "xb_sqlitedb.h"
#include "xb_sqlitesqltext.h"

namespace {

/* Returns true for engine results that mean the new file cannot be written
** at all, as against a statement or row that SQLite 3 refuses. */
bool IsFatal(int code) {
  switch (code & 0xff) {
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_NOMEM:
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_PERM:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return true;
    default:
      return false;
  }
}

/* Returns the value of column C of STMT's current row as the dump knows
** values (its text points into the statement until the next step). */
XB_DumpValue ColumnValue(sqlite3_stmt* stmt, int c) {
  XB_DumpValue value;
  switch (sqlite3_column_type(stmt, c)) {
    case SQLITE_NULL:
      return value;
    case SQLITE_INTEGER:
      value.kind = XB_DumpValue::kInteger;
      value.integer = sqlite3_column_int64(stmt, c);
      break;
    case SQLITE_FLOAT:
      value.kind = XB_DumpValue::kReal;
      value.real = sqlite3_column_double(stmt, c);
      break;
    case SQLITE_BLOB: {
      value.kind = XB_DumpValue::kBlob;
      const void* bytes = sqlite3_column_blob(stmt, c);
      value.text = std::string_view(static_cast<const char*>(bytes),
                                    bytes ? static_cast<size_t>(sqlite3_column_bytes(stmt, c)) : 0);
      return value;
    }
    default:
      value.kind = XB_DumpValue::kText;
  }
  const unsigned char* text = sqlite3_column_text(stmt, c);
  value.text = std::string_view(reinterpret_cast<const char*>(text),
                                text ? static_cast<size_t>(sqlite3_column_bytes(stmt, c)) : 0);
  return value;
}

/* Returns true when SQLite 3 stored SOURCE as STORED without a change the
** user would see: the same text (a number counts by its text), or the same
** bytes of a BLOB, or NULL for NULL. */
bool StoredUnchanged(const XB_DumpValue& source, const XB_DumpValue& stored) {
  if (source.kind == XB_DumpValue::kNull || stored.kind == XB_DumpValue::kNull)
    return source.kind == stored.kind;
  if ((source.kind == XB_DumpValue::kBlob) != (stored.kind == XB_DumpValue::kBlob)) return false;
  return source.text == stored.text;
}

/* Returns "rowid N" or, for a table without one, "row N". */
std::string RowName(const XB_DumpTable& table, int64_t rowid, int64_t index) {
  if (table.rowidName.empty()) return "row " + std::to_string(index + 1);
  return "rowid " + std::to_string(rowid);
}

/* Returns VALUE as an SQL literal, for the report. */
std::string Literal(const XB_DumpValue& value) {
  std::string text;
  XB_AppendSqlValue(&text, value);
  return text;
}

/* Returns the process's file creation mask without changing it (so other
** threads never see it changed); 022 when the system does not tell. */
mode_t ProcessUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0)
      return static_cast<mode_t>(std::strtol(line.c_str() + 6, nullptr, 8));
  }
  return 022;
}

/* Returns "1 row" or "N rows". */
std::string Rows(int64_t count) {
  return std::to_string(count) + (count == 1 ? " row" : " rows");
}

/* Returns the type of a schema entry with a capital first letter. */
std::string Capitalized(std::string word) {
  if (!word.empty() && word[0] >= 'a' && word[0] <= 'z') word[0] = char(word[0] - 'a' + 'A');
  return word;
}

}  // namespace

/* Takes the dump into the new file.  Statements SQLite 3 refuses and rows
** it refuses are recorded and skipped; a failure to write the file stops
** the dump. */
class XB_SQLiteConvert::Loader : public XB_DumpWriter {
 public:
  Loader(sqlite3* db, std::vector<XB_ConvertTable>* tables, std::vector<XB_ConvertObject>* objects)
      : m_db(db), m_tables(tables), m_objects(objects) {}

  ~Loader() override { sqlite3_finalize(m_insert); }

  /* Returns why the new file could not be written. */
  const std::string& Error() const { return m_error; }

  bool Begin() override { return Exec("BEGIN", nullptr); }

  bool BeginTable(const XB_DumpTable& table) override {
    m_tables->push_back(XB_ConvertTable{});
    m_table = &m_tables->back();
    m_table->name = table.name;
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    const char* create = table.sql.c_str();
    if (table.kind == XB_DUMP_SEQUENCE) create = "DELETE FROM sqlite_sequence";
    if (table.kind == XB_DUMP_STAT1) create = "ANALYZE sqlite_master";
    if (!Exec(create, &m_table->schemaError)) return false;
    if (!m_table->schemaError.empty()) return true;
    return Prepare(table);
  }

  bool Row(const XB_DumpTable& table, int64_t rowid,
           const std::vector<XB_DumpValue>& values) override {
    if (!m_insert) return true;
    int index = 1;
    if (!table.rowidName.empty()) sqlite3_bind_int64(m_insert, index++, rowid);
    for (const XB_DumpValue& value : values) Bind(index++, value);
    int stepped = sqlite3_step(m_insert);
    bool stored = stepped == SQLITE_ROW || (!m_returning && stepped == SQLITE_DONE);
    if (stepped == SQLITE_ROW) Compare(table, rowid, values);
    while (stepped == SQLITE_ROW) stepped = sqlite3_step(m_insert);
    if (stepped != SQLITE_DONE) {
      std::string message = sqlite3_errmsg(m_db);
      int code = sqlite3_reset(m_insert);
      if (IsFatal(code)) {
        m_error = message;
        return false;
      }
      stored = false;
      Refused(table, rowid, message);
    } else if (!stored) {
      // The row vanished without an error: an ON CONFLICT IGNORE rule.
      Refused(table, rowid, "ignored by the table's ON CONFLICT rule");
    }
    sqlite3_reset(m_insert);
    ++m_index;
    return true;
  }

  bool EndTable(const XB_DumpTable& table) override {
    m_table->oldRows = table.rows;
    m_index = 0;
    return true;
  }

  bool Object(const XB_DumpObject& object) override {
    std::string error;
    if (!Exec(object.sql.c_str(), &error)) return false;
    if (!error.empty()) m_objects->push_back({object.type, object.name, error});
    return true;
  }

  bool Finish(bool complete) override {
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    if (!complete) {
      sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
      return false;
    }
    return Exec("COMMIT", nullptr);
  }

 private:
  /* Runs SQL.  Returns false only when the file cannot be written; a
  ** statement SQLite 3 refuses leaves its message in *REFUSED (which must
  ** then be given). */
  bool Exec(const char* sql, std::string* refused) {
    char* message = nullptr;
    int code = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    std::string text = message ? message : (code == SQLITE_OK ? "" : sqlite3_errstr(code));
    sqlite3_free(message);
    if (code == SQLITE_OK) return true;
    if (IsFatal(sqlite3_extended_errcode(m_db)) || !refused) {
      m_error = text;
      return false;
    }
    *refused = text;
    return true;
  }

  /* Prepares the INSERT for TABLE's rows.  An ordinary table returns what
  ** it stored, so each change of a value is seen.  Returns false only when
  ** the file cannot be written. */
  bool Prepare(const XB_DumpTable& table) {
    std::string columns;
    std::string values;
    std::string returning;
    auto add = [&](const std::string& name, bool returned) {
      if (!columns.empty()) {
        columns += ',';
        values += ',';
      }
      columns += name;
      values += '?';
      if (!returned) return;
      if (!returning.empty()) returning += ',';
      returning += name;
    };
    if (!table.rowidName.empty()) add(table.rowidName, false);
    for (const std::string& column : table.columns) add(XB_SqlName(column), true);
    // Virtual tables return nothing; the engine's own tables need no watch.
    m_returning = table.kind == XB_DUMP_TABLE && !returning.empty();
    std::string sql =
        "INSERT INTO " + XB_SqlName(table.name) + "(" + columns + ") VALUES(" + values + ")";
    if (m_returning) sql += " RETURNING " + returning;
    if (m_returning) FindRealColumns(table);
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &m_insert, nullptr) == SQLITE_OK) return true;
    std::string message = sqlite3_errmsg(m_db);
    if (IsFatal(sqlite3_extended_errcode(m_db))) {
      m_error = message;
      return false;
    }
    m_table->schemaError = message;
    return true;
  }

  /* Notes which of TABLE's columns have REAL affinity in the new file.
  ** Such a column keeps a whole number as an integer and reads it back as
  ** a real, and RETURNING shows the integer. */
  void FindRealColumns(const XB_DumpTable& table) {
    m_real.assign(table.columns.size(), false);
    std::string sql =
        "SELECT name, upper(type) FROM pragma_table_xinfo(" + XB_SqlString(table.name) + ")";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      sqlite3_finalize(stmt);
      return;
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      const char* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      const char* typeText = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
      std::string type = typeText ? typeText : "";
      // SQLite 3's affinity rules, in their order: INT, then the text
      // words, then BLOB, then the real words.
      bool real =
          type.find("INT") == std::string::npos && type.find("CHAR") == std::string::npos &&
          type.find("CLOB") == std::string::npos && type.find("TEXT") == std::string::npos &&
          type.find("BLOB") == std::string::npos &&
          (type.find("REAL") != std::string::npos || type.find("FLOA") != std::string::npos ||
           type.find("DOUB") != std::string::npos);
      for (size_t c = 0; c < table.columns.size(); ++c) {
        if (name && table.columns[c] == name) m_real[c] = real;
      }
    }
    sqlite3_finalize(stmt);
  }

  /* Binds VALUE to parameter INDEX of the INSERT. */
  void Bind(int index, const XB_DumpValue& value) {
    int size = static_cast<int>(value.text.size());
    switch (value.kind) {
      case XB_DumpValue::kNull:
        sqlite3_bind_null(m_insert, index);
        break;
      case XB_DumpValue::kInteger:
        sqlite3_bind_int64(m_insert, index, value.integer);
        break;
      case XB_DumpValue::kReal:
        sqlite3_bind_double(m_insert, index, value.real);
        break;
      // The engine takes a null pointer for NULL, whatever the size: an
      // empty text or BLOB needs a pointer of its own.
      case XB_DumpValue::kText:
        sqlite3_bind_text(m_insert, index, size ? value.text.data() : "", size, SQLITE_STATIC);
        break;
      case XB_DumpValue::kBlob:
        if (size == 0) {
          sqlite3_bind_zeroblob(m_insert, index, 0);
          break;
        }
        sqlite3_bind_blob(m_insert, index, value.text.data(), size, SQLITE_STATIC);
        break;
    }
  }

  /* Counts the values of the returned row that differ from VALUES. */
  void Compare(const XB_DumpTable& table, int64_t rowid, const std::vector<XB_DumpValue>& values) {
    int columns = sqlite3_column_count(m_insert);
    for (int c = 0; c < columns && size_t(c) < values.size(); ++c) {
      XB_DumpValue stored = ColumnValue(m_insert, c);
      char real[40];
      if (stored.kind == XB_DumpValue::kInteger && m_real[size_t(c)]) {
        stored.kind = XB_DumpValue::kReal;
        stored.real = double(stored.integer);
        sqlite3_snprintf(sizeof real, real, "%!.15g", stored.real);
        stored.text = real;
      }
      if (StoredUnchanged(values[size_t(c)], stored)) continue;
      if (m_table->changed++ == 0)
        m_table->firstChange = RowName(table, rowid, m_index) + ", column " +
                               table.columns[size_t(c)] + ": " + Literal(values[size_t(c)]) +
                               " stored as " + Literal(stored);
    }
  }

  /* Records that the row ROWID was refused with MESSAGE. */
  void Refused(const XB_DumpTable& table, int64_t rowid, const std::string& message) {
    if (m_table->refused++ == 0)
      m_table->firstRefused = RowName(table, rowid, m_index) + ": " + message;
  }

  sqlite3* m_db;
  std::vector<XB_ConvertTable>* m_tables;
  std::vector<XB_ConvertObject>* m_objects;
  XB_ConvertTable* m_table = nullptr;
  sqlite3_stmt* m_insert = nullptr;
  bool m_returning = false;
  std::vector<bool> m_real; /* per column: REAL affinity in the new file */
  int64_t m_index = 0;
  std::string m_error;
};

XB_SQLiteConvert::XB_SQLiteConvert(const XB_SQLiteDB& source, std::string target)
    : m_source(source), m_target(std::move(target)) {}

XB_ConvertOutcome XB_SQLiteConvert::Abandon(XB_ConvertOutcome outcome, const std::string& message) {
  if (!m_temporary.empty()) {
    ::unlink(m_temporary.c_str());
    m_temporary.clear();
  }
  m_error = message;
  return outcome;
}

XB_ConvertOutcome XB_SQLiteConvert::Run(const XB_DumpProgress* progress) {
  struct stat info;
  if (m_target.empty()) return Abandon(XB_CONVERT_TARGET_FAILED, "no file name given");
  if (::lstat(m_target.c_str(), &info) == 0)
    return Abandon(XB_CONVERT_TARGET_FAILED, m_target + " exists already");
  // A name of our own beside the target: the rename at the end stays on
  // one file system, and no half-loaded file ever carries the target's name.
  std::string pattern = m_target + ".~bwXXXXXX";
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) return Abandon(XB_CONVERT_TARGET_FAILED, m_target + ": " + std::strerror(errno));
  // The temporary file is private; the new database gets the permissions
  // any new file of the user gets.
  ::fchmod(fd, 0666 & ~ProcessUmask());
  ::close(fd);
  m_temporary = pattern;

  sqlite3* db = nullptr;
  std::string path = m_temporary[0] == '/' ? m_temporary : "./" + m_temporary;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK) {
    std::string message = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    return Abandon(XB_CONVERT_TARGET_FAILED, message);
  }
  // A file that only becomes the target once complete needs no journal;
  // it is synced as a whole before the rename.
  sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);

  Loader loader(db, &m_tables, &m_objects);
  XB_SQLiteDump dump(m_source);
  XB_DumpOutcome read = dump.Run(loader, progress);
  XB_ConvertOutcome failed = XB_CONVERT_DONE;
  std::string message = dump.Error();
  switch (read) {
    case XB_DUMP_DONE:
      break;
    case XB_DUMP_OPEN_FAILED:
      failed = XB_CONVERT_OPEN_FAILED;
      break;
    case XB_DUMP_READ_FAILED:
      failed = XB_CONVERT_READ_FAILED;
      break;
    case XB_DUMP_WRITE_FAILED:
      failed = XB_CONVERT_TARGET_FAILED;
      message = loader.Error();
      break;
    case XB_DUMP_CANCELLED:
      failed = XB_CONVERT_CANCELLED;
      break;
  }
  if (failed == XB_CONVERT_DONE && !Verify()) {
    failed = XB_CONVERT_TARGET_FAILED;
    message = m_error;
  }
  if (failed == XB_CONVERT_DONE &&
      sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) != SQLITE_OK) {
    failed = XB_CONVERT_TARGET_FAILED;
    message = sqlite3_errmsg(db);
  }
  if (sqlite3_close(db) != SQLITE_OK && failed == XB_CONVERT_DONE) {
    failed = XB_CONVERT_TARGET_FAILED;
    message = "the new file could not be closed";
  }
  if (failed != XB_CONVERT_DONE) return Abandon(failed, message);
  if (!Publish()) return Abandon(XB_CONVERT_TARGET_FAILED, m_error);

  bool clean = m_objects.empty() && m_integrity.empty();
  for (const XB_ConvertTable& table : m_tables) {
    if (!table.schemaError.empty() || table.refused || table.changed ||
        table.newRows != table.oldRows)
      clean = false;
  }
  return clean ? XB_CONVERT_DONE : XB_CONVERT_INCOMPLETE;
}

bool XB_SQLiteConvert::Verify() {
  sqlite3* db = nullptr;
  std::string path = m_temporary[0] == '/' ? m_temporary : "./" + m_temporary;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK) {
    m_error = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    return false;
  }
  sqlite3_stmt* stmt = nullptr;
  bool ok = sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK;
  std::string answer;
  while (ok && sqlite3_step(stmt) == SQLITE_ROW) {
    if (!answer.empty()) answer += "; ";
    const unsigned char* text = sqlite3_column_text(stmt, 0);
    answer += text ? reinterpret_cast<const char*>(text) : "";
  }
  sqlite3_finalize(stmt);
  if (answer != "ok") m_integrity = answer.empty() ? sqlite3_errmsg(db) : answer;
  for (XB_ConvertTable& table : m_tables) {
    if (!table.schemaError.empty()) continue;
    std::string count = "SELECT count(*) FROM " + XB_SqlName(table.name);
    stmt = nullptr;
    if (sqlite3_prepare_v2(db, count.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
      table.newRows = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return true;
}

bool XB_SQLiteConvert::Publish() {
  int fd = ::open(m_temporary.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ::fsync(fd) != 0) {
    m_error = m_temporary + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  ::close(fd);
  // The target must not be replaced, should it have appeared meanwhile.
  if (::renameat2(AT_FDCWD, m_temporary.c_str(), AT_FDCWD, m_target.c_str(), RENAME_NOREPLACE) !=
      0) {
    if (errno != EINVAL && errno != ENOSYS) {
      m_error = m_target + ": " + std::strerror(errno);
      return false;
    }
    // A file system without the no-replace rename: a hard link refuses an
    // existing name just as well.
    if (::link(m_temporary.c_str(), m_target.c_str()) != 0) {
      m_error = m_target + ": " + std::strerror(errno);
      return false;
    }
    ::unlink(m_temporary.c_str());
  }
  m_temporary.clear();
  std::string folder = m_target;
  size_t slash = folder.rfind('/');
  folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : folder.substr(0, slash));
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

std::vector<std::string> XB_SQLiteConvert::ReportLines() const {
  std::vector<std::string> lines;
  int64_t rows = 0;
  size_t copied = 0;
  for (const XB_ConvertTable& table : m_tables) {
    rows += table.newRows;
    if (!table.schemaError.empty()) {
      lines.push_back("Table " + table.name + ": SQLite 3 refused its definition (" +
                      table.schemaError + "); " + Rows(table.oldRows) + " not copied.");
      continue;
    }
    ++copied;
    if (table.newRows != table.oldRows || table.refused) {
      std::string line = "Table " + table.name + ": " + std::to_string(table.newRows) + " of " +
                         Rows(table.oldRows) + " copied";
      if (table.refused)
        line += ", " + std::to_string(table.refused) + " refused, the first " + table.firstRefused;
      lines.push_back(line + ".");
    }
    if (table.changed)
      lines.push_back("Table " + table.name + ": " + std::to_string(table.changed) +
                      (table.changed == 1 ? " value" : " values") +
                      " stored differently by SQLite 3, the first " + table.firstChange + ".");
  }
  for (const XB_ConvertObject& object : m_objects)
    lines.push_back(Capitalized(object.type) + " " + object.name + ": SQLite 3 refused it (" +
                    object.error + ").");
  if (!m_integrity.empty())
    lines.push_back("Integrity check of " + m_target + " failed: " + m_integrity);
  lines.push_back("Copied " + std::to_string(copied) +
                  (copied == 1 ? " table with " : " tables with ") + Rows(rows) + " into " +
                  m_target + ".");
  return lines;
}
