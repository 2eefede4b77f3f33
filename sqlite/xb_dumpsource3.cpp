/*
** The dump's source for generation-3 files, through libsqlite3: values by
** storage class, hidden and generated columns left out, virtual tables and
** the engine's own tables told apart.
*/
#include <sqlite3.h>
#include <strings.h>

#include "xb_dumpsource.h"
#include "xb_sqlitedb.h"
#include "xb_sqlitesqltext.h"

namespace {

/* A generation-3 file, through libsqlite3. */
class DumpSource3 : public XB_DumpSource {
 public:
  explicit DumpSource3(const XB_SQLiteDB& db) : m_db(db) {}

  ~DumpSource3() override {
    if (!m_handle) return;
    sqlite3_exec(m_handle, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close_v2(m_handle);
  }

  bool Open(std::string* error) override {
    std::string path = EnginePath(m_db.FilePath());
    int flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &m_handle, flags, nullptr) != SQLITE_OK) {
      *error = m_handle ? sqlite3_errmsg(m_handle) : "out of memory";
      return false;
    }
    sqlite3_busy_timeout(m_handle, XB_SQLiteDB::kBusyTimeoutMs);
    // One read transaction over the whole dump: the file holds still.
    if (sqlite3_exec(m_handle, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
      *error = sqlite3_errmsg(m_handle);
      return false;
    }
    return true;
  }

  bool Query(const std::string& sql, const RowFn& onRow, std::string* error) override {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_handle, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK || !stmt) {
      *error = sqlite3_errmsg(m_handle);
      sqlite3_finalize(stmt);
      return false;
    }
    int stepped;
    bool stopped = false;
    while (!stopped && (stepped = sqlite3_step(stmt)) == SQLITE_ROW) {
      Classify(stmt);
      stopped = !onRow(m_values);
    }
    if (!stopped && stepped != SQLITE_DONE) {
      *error = sqlite3_errmsg(m_handle);
      sqlite3_finalize(stmt);
      return false;
    }
    sqlite3_finalize(stmt);
    return true;
  }

  bool Describe(XB_DumpTable* table, std::string* error) override {
    table->columns.clear();
    std::vector<std::string> all;
    bool read = Query(
        "PRAGMA table_xinfo(" + XB_SqlName(table->name) + ")",
        [table, &all](const std::vector<XB_DumpValue>& row) {
          if (row.size() < 7) return true;
          all.emplace_back(row[1].text);
          // Hidden columns of virtual tables and generated
          // columns take no value of their own.
          if (row[6].integer == 0) table->columns.emplace_back(row[1].text);
          return true;
        },
        error);
    if (!read) return false;
    if (table->name == "sqlite_sequence") {
      table->kind = XB_DUMP_SEQUENCE;
    } else if (table->name == "sqlite_stat1") {
      table->kind = XB_DUMP_STAT1;
    } else if (strncasecmp(table->sql.c_str(), "CREATE VIRTUAL TABLE", 20) == 0) {
      table->kind = XB_DUMP_VIRTUAL;
    } else {
      table->kind = XB_DUMP_TABLE;
    }
    bool withoutRowid = false;
    Query(
        "SELECT wr FROM pragma_table_list WHERE schema='main' AND name=" +
            XB_SqlString(table->name),
        [&withoutRowid](const std::vector<XB_DumpValue>& row) {
          withoutRowid = !row.empty() && row[0].integer != 0;
          return false;
        },
        error);
    error->clear();
    if (withoutRowid || table->kind == XB_DUMP_SEQUENCE || table->kind == XB_DUMP_STAT1) {
      table->rowidName.clear();
    } else {
      ChooseRowidName(table, all);
    }
    return true;
  }

  std::vector<std::string> ShadowTables() override {
    std::vector<std::string> shadows;
    std::string ignored;
    // The table list knows shadow tables from SQLite 3.37 on; an older
    // library has no such list and no virtual tables that need it.
    Query(
        "SELECT name FROM pragma_table_list WHERE schema='main' AND type='shadow'",
        [&shadows](const std::vector<XB_DumpValue>& row) {
          shadows.emplace_back(row[0].text);
          return true;
        },
        &ignored);
    return shadows;
  }

 private:
  /* Reads the current row of STMT by storage class. */
  void Classify(sqlite3_stmt* stmt) {
    int n = sqlite3_column_count(stmt);
    m_values.assign(static_cast<size_t>(n), XB_DumpValue());
    for (int c = 0; c < n; ++c) {
      XB_DumpValue& value = m_values[static_cast<size_t>(c)];
      int type = sqlite3_column_type(stmt, c);
      if (type == SQLITE_NULL) continue;
      if (type == SQLITE_INTEGER) {
        value.kind = XB_DumpValue::kInteger;
        value.integer = sqlite3_column_int64(stmt, c);
      } else if (type == SQLITE_FLOAT) {
        value.kind = XB_DumpValue::kReal;
        value.real = sqlite3_column_double(stmt, c);
      } else if (type == SQLITE_BLOB) {
        value.kind = XB_DumpValue::kBlob;
        const void* bytes = sqlite3_column_blob(stmt, c);
        value.text =
            std::string_view(static_cast<const char*>(bytes),
                             bytes ? static_cast<size_t>(sqlite3_column_bytes(stmt, c)) : 0);
        continue;
      } else {
        value.kind = XB_DumpValue::kText;
      }
      // The text form after the number: asking for text converts the
      // engine's copy, which must not happen before the number is read.
      const unsigned char* text = sqlite3_column_text(stmt, c);
      value.text = std::string_view(reinterpret_cast<const char*>(text),
                                    text ? static_cast<size_t>(sqlite3_column_bytes(stmt, c)) : 0);
    }
  }

  const XB_SQLiteDB& m_db;
  sqlite3* m_handle = nullptr;
  std::vector<XB_DumpValue> m_values;
};

}  // namespace

std::unique_ptr<XB_DumpSource> XB_NewDumpSource3(const XB_SQLiteDB& db) {
  return std::make_unique<DumpSource3>(db);
}
