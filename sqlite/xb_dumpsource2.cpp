/*
** The dump's source for generation-2 files, through the 2.x interface of
** our own engine.  Every value is text; it goes through the connection's
** text rule and is classified as the dump writes it.
*/
#include <cstring>

#include "sqlite.h"
#include "xb_dumpsource.h"
#include "xb_sqlitedb.h"
#include "xb_sqlitesqltext.h"

namespace {

/* Returns true when TEXT holds only ASCII characters, which read the same
** in every text rule. */
bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

/* A generation-2 file, through the 2.x interface. */
class DumpSource2 : public XB_DumpSource {
 public:
  explicit DumpSource2(const XB_SQLiteDB& db) : m_db(db) {}

  ~DumpSource2() override {
    if (m_guard) sqlite_finalize(m_guard, nullptr);
    if (m_handle) sqlite_close(m_handle);
  }

  bool Open(std::string* error) override {
    char* message = nullptr;
    m_handle = sqlite_open(EnginePath(m_db.FilePath()).c_str(), 0, &message);
    if (!m_handle) {
      *error = message ? message : "unable to open database file";
      sqlite_freemem(message);
      return false;
    }
    sqlite_freemem(message);
    sqlite_busy_timeout(m_handle, XB_SQLiteDB::kBusyTimeoutMs);
    // A statement that has stepped to its first row keeps the file's read
    // lock until it is finalized, so no other program changes the file
    // while the tables are read one after the other.
    if (sqlite_compile(m_handle, "SELECT name FROM sqlite_master", nullptr, &m_guard, &message) !=
        SQLITE_OK) {
      *error = message ? message : "cannot read the schema";
      sqlite_freemem(message);
      return false;
    }
    int columns = 0;
    const char** values = nullptr;
    const char** names = nullptr;
    int stepped = sqlite_step(m_guard, &columns, &values, &names);
    if (stepped != SQLITE_ROW && stepped != SQLITE_DONE) {
      sqlite_finalize(m_guard, &message);
      m_guard = nullptr;
      *error = message ? message : sqlite_error_string(stepped);
      sqlite_freemem(message);
      return false;
    }
    return true;
  }

  bool Query(const std::string& sql, const RowFn& onRow, std::string* error) override {
    std::string stored;
    if (!m_db.ToFileText(sql, &stored, error)) return false;
    sqlite_vm* vm = nullptr;
    char* message = nullptr;
    if (sqlite_compile(m_handle, stored.c_str(), nullptr, &vm, &message) != SQLITE_OK || !vm) {
      *error = message ? message : "cannot compile " + sql;
      sqlite_freemem(message);
      if (vm) sqlite_finalize(vm, nullptr);
      return false;
    }
    int columns = 0;
    const char** values = nullptr;
    const char** names = nullptr;
    int stepped;
    bool stopped = false;
    while (!stopped && (stepped = sqlite_step(vm, &columns, &values, &names)) == SQLITE_ROW) {
      Classify(columns, values);
      stopped = !onRow(m_values);
    }
    int finished = sqlite_finalize(vm, &message);
    if (!stopped && finished != SQLITE_OK) {
      *error = message ? message : sqlite_error_string(finished);
      sqlite_freemem(message);
      return false;
    }
    sqlite_freemem(message);
    return true;
  }

  bool Describe(XB_DumpTable* table, std::string* error) override {
    table->kind = XB_DUMP_TABLE;
    table->columns.clear();
    bool read = Query(
        "PRAGMA table_info(" + XB_SqlName(table->name) + ")",
        [table](const std::vector<XB_DumpValue>& row) {
          if (row.size() > 1) table->columns.emplace_back(row[1].text);
          return true;
        },
        error);
    if (!read) return false;
    if (table->columns.empty()) {
      *error = "no columns found for table " + table->name;
      return false;
    }
    ChooseRowidName(table, table->columns);
    return true;
  }

 private:
  /* Turns the row's texts into values: each text through the file's text
  ** rule, numbers where the text is a number's canonical form. */
  void Classify(int columns, const char** values) {
    size_t n = columns > 0 ? static_cast<size_t>(columns) : 0;
    m_values.assign(n, XB_DumpValue());
    if (m_texts.size() < n) m_texts.resize(n);
    for (size_t c = 0; c < n; ++c) {
      const char* raw = values ? values[c] : nullptr;
      if (!raw) continue;
      std::string_view text(raw);
      if (!IsAscii(text)) {
        m_texts[c] = m_db.FromFileText(text);
        text = m_texts[c];
      }
      XB_SQLiteDump::ClassifyText(text, &m_values[c]);
    }
  }

  const XB_SQLiteDB& m_db;
  sqlite* m_handle = nullptr;
  sqlite_vm* m_guard = nullptr;
  std::vector<XB_DumpValue> m_values;
  std::vector<std::string> m_texts;
};

}  // namespace

std::unique_ptr<XB_DumpSource> XB_NewDumpSource2(const XB_SQLiteDB& db) {
  return std::make_unique<DumpSource2>(db);
}
