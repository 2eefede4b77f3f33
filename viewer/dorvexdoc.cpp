/*
** The database document: opening database and view-state files, the table
** list, running queries and scripts, the title, locking, Re-Open, closing
** with an open transaction, and dropped files.
*/
#include "dorvexdoc.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "sqltext.h"
#include "xb_string.h"
#include "xb_tabledef.h"

namespace {

/* Definition flags of the cache: every column, keys marked. */
const uint8_t kAllColumns = 0xFF;

/* Longest title before it is cut, in characters. */
const size_t kTitleLength = 100;

/* Largest dropped script read, in bytes. */
const std::streamsize kMaxScriptSize = 64 << 20;

const char kNotADatabase[] = "not an SQLite 2.x or 3.x database";
const char kBusy[] = "a query is still running";

/* True when the names A and B are equal with ASCII letter case ignored. */
bool SameAsciiName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x < 128 && y < 128 ? std::tolower(x) != std::tolower(y) : x != y) return false;
  }
  return true;
}

/* Returns PATH made absolute and normal, without touching the file system
** beyond the current directory. */
std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec) return path;
  return absolute.lexically_normal().string();
}

/* Returns the text after the last "." of PATH's file name, lower case. */
std::string Extension(const std::string& path) {
  std::string name = std::filesystem::path(path).filename().string();
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return "";
  std::string ext = name.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

/* Returns the number of UTF-8 characters' bytes in TEXT that make up its
** first COUNT characters. */
size_t Utf8Prefix(const std::string& text, size_t count) {
  size_t pos = 0;
  for (size_t chars = 0; pos < text.size() && chars < count; ++chars) {
    ++pos;
    while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) ++pos;
  }
  return pos;
}

/* Returns the number of characters of the UTF-8 TEXT. */
size_t Utf8Length(const std::string& text) {
  size_t chars = 0;
  for (char c : text) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return chars;
}

/* Returns TEXT as UTF-8: kept when it is valid UTF-8, otherwise read as
** Latin-1. */
std::string AsUtf8(std::string_view text) {
  if (XB_SQLiteDB::IsValidUtf8(text)) return std::string(text);
  std::string utf8;
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xC0 | (u >> 6));
      utf8 += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return utf8;
}

/* Returns why PATH cannot be opened as a database file, or "" when it is a
** regular file. */
std::string RefusalOf(const std::string& path, const char* missing) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return missing;
  if (!S_ISREG(info.st_mode)) return kNotADatabase;
  return "";
}

/* Returns the column of DEFINITION that names the rowid (an INTEGER
** PRIMARY KEY), or null. */
XB_ParameterInfo* RowIdAliasOf(const XB_TableDefinition& definition) {
  for (int i = 0; i < definition.Count(); ++i) {
    const XB_ColumnInfo* column = XB_ColumnOf(definition.At(i));
    if (column && column->IsRowidAlias()) return definition.At(i);
  }
  return nullptr;
}

}  // namespace

/* Marks the document busy for the life of one operation on the connection;
** Held() is false when another operation already runs. */
struct CDorvexDoc::Busy {
  explicit Busy(std::atomic<bool>& flag) : m_flag(flag), m_held(!flag.exchange(true)) {}
  /* Takes over the mark a successful ReserveRun made. */
  Busy(std::atomic<bool>& flag, bool reserved) : m_flag(flag), m_held(reserved) {}
  ~Busy() {
    if (m_held) m_flag = false;
  }
  bool Held() const { return m_held; }
  std::atomic<bool>& m_flag;
  bool m_held;
};

CDorvexDoc::CDorvexDoc(DorvexDocHost* host, XB_SettingsAccess* settings)
    : m_host(host), m_settings(settings) {}

CDorvexDoc::~CDorvexDoc() {
  Close();
}

bool CDorvexDoc::SettingBool(const char* path, bool defaultValue) {
  return m_settings ? m_settings->ReadBool(path, defaultValue) : defaultValue;
}

void CDorvexDoc::Fail(const std::string& message) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_lastError = message;
}

std::string CDorvexDoc::LastError() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_lastError;
}

std::string CDorvexDoc::Title() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_title;
}

std::string CDorvexDoc::PathName() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_pathName;
}

std::string CDorvexDoc::DatabasePath() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_databasePath;
}

double CDorvexDoc::Version() const {
  return m_db ? m_db->Version() : 0.0;
}

bool CDorvexDoc::HasConnection() const {
  return m_db != nullptr;
}

int CDorvexDoc::TableCount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return static_cast<int>(m_tableNames.size());
}

std::optional<std::string> CDorvexDoc::TableName(int index) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (index < 0 || static_cast<size_t>(index) >= m_tableNames.size()) return std::nullopt;
  // Decoded by the rule in force now, which the user may have switched.
  return FromFileText(m_tableNames[static_cast<size_t>(index)]);
}

XB_ParameterInfoGroup* CDorvexDoc::FindTableDefinition(std::string_view name) {
  Busy busy(m_busy);
  if (!busy.Held()) return nullptr;
  return DefinitionHeld(name, nullptr);
}

XB_TableDefinition* CDorvexDoc::DefinitionHeld(std::string_view name, std::string* storedName) {
  if (!m_db || !m_rowIO || name.empty()) return nullptr;
  // The cache holds every table under the name the file gives it, in the
  // file's text; the name asked for is UTF-8 and may differ in letter case.
  std::vector<std::string> stored;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    stored = m_tableNames;
  }
  for (const std::string& table : stored) {
    if (!SameAsciiName(FromFileText(table), name)) continue;
    if (storedName) *storedName = table;
    return m_rowIO->GetTableDefinition(*m_db, table, kAllColumns);
  }
  return nullptr;
}

std::vector<bool> CDorvexDoc::IntegerColumns(std::string_view table, const XB_SQLiteResult& result,
                                             int first) {
  std::vector<bool> columns(static_cast<size_t>(std::max(result.Cols() - first, 0)), false);
  XB_ParameterInfoGroup* definition = FindTableDefinition(table);
  if (!definition) return columns;
  for (size_t c = 0; c < columns.size(); ++c) {
    // The definition and the result both name the columns in the file's
    // text.  A name that is no plain identifier has a key made from it, so
    // the column's own name is looked at too.
    const char* name = result.Cell(static_cast<int>(c) + first);
    if (!name) continue;
    XB_ParameterInfo* info = definition->Find(name);
    for (int i = 0; !info && i < definition->Count(); ++i)
      if (SameAsciiName(XB_ColumnName(definition->At(i)).View(), name)) info = definition->At(i);
    columns[c] = info && info->GetType() == PT_INT;
  }
  return columns;
}

std::string CDorvexDoc::RowIdQueryHeld(const std::string& sql) {
  XB_TableDefinition* definition = DefinitionHeld(SingleTableOf(sql), nullptr);
  if (!definition || !definition->HasRowid()) return std::string();
  // Every column includes the rowid under its own name: no second copy.
  if (RowIdAliasOf(*definition) && SelectsEveryColumn(sql)) return std::string();
  const char* name = SQLiteRowIO::RowIdName(*definition);
  return name ? WithRowIdColumn(sql, name) : std::string();
}

RowIdentity CDorvexDoc::IdentifyRows(const std::string& sql, const XB_SQLiteResult& result,
                                     bool rowIdColumn) {
  RowIdentity identity;
  Busy busy(m_busy);
  if (!busy.Held()) return identity;
  std::string stored;
  XB_TableDefinition* definition = DefinitionHeld(SingleTableOf(sql), &stored);
  if (!definition) return identity;
  int first = rowIdColumn ? 1 : 0;
  // The rowid under its own column name is key enough, and never NULL.
  XB_ParameterInfo* alias = RowIdAliasOf(*definition);
  for (int i = 0; i < definition->Count(); ++i) {
    XB_ParameterInfo* info = definition->At(i);
    if (info->GetType() != PT_KEY || (alias && info != alias)) continue;
    const XB_String& key = XB_ColumnName(info);
    int found = -1;
    for (int c = first; c < result.Cols() && found < 0; ++c)
      if (result.Cell(c) && SameAsciiName(result.Cell(c), key.View())) found = c;
    identity.keys.push_back(key.Std());
    identity.keyColumns.push_back(found);
  }
  // The key picks rows out only when the result holds all of it.
  for (int column : identity.keyColumns)
    if (column < 0) identity.keyColumns.clear();
  if (identity.keyColumns.empty()) identity.keys.clear();
  if (rowIdColumn && definition->HasRowid()) {
    const char* name = SQLiteRowIO::RowIdName(*definition);
    identity.rowIdName = name ? name : "";
    identity.rowIdColumn = name ? 0 : -1;
  }
  identity.table = stored;
  return identity;
}

bool CDorvexDoc::WithConnection(const std::function<bool(XB_SQLiteDB&)>& use) {
  Busy busy(m_busy);
  if (!busy.Held()) {
    Fail(kBusy);
    return false;
  }
  if (!EnsureOpen()) return false;
  bool ok = use(*m_db);
  CloseUnlessKept();
  return ok;
}

bool CDorvexDoc::OnOpenDocument(const std::string& path) {
  std::string absolute = AbsolutePath(path);
  if (Extension(absolute) == "dvxs") {
    if (!OpenStateFile(absolute)) return false;
  } else {
    if (!OpenDatabase(absolute)) return false;
    m_stateName.clear();
    m_pendingState.reset();
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  m_pathName = absolute;
  return true;
}

bool CDorvexDoc::OpenStateFile(const std::string& path) {
  DorvexState state;
  std::string error;
  if (!state.Load(path, &error)) {
    Fail(error);
    return false;
  }
  std::string database = state.DatabasePath();
  if (Extension(database) == "dvxs") {
    Fail("the view state names another view state: " + database);
    return false;
  }
  if (!OpenDatabase(database)) return false;
  StateToApply pending;
  pending.query = state.m_query;
  pending.interval = state.m_interval;
  pending.path = state.m_path;
  // Only a read-only query runs unasked: a state file may come from anywhere.
  bool readOnly = false;
  {
    Busy busy(m_busy);
    std::string stored;
    if (busy.Held() && EnsureOpen() && ToFileText(pending.query, &stored, nullptr) &&
        !m_db->IsOneReadOnlyStatement(stored.c_str(), &readOnly)) {
      readOnly = true;  // it does not compile, so it cannot write; running it shows why
    }
    if (busy.Held()) CloseUnlessKept();
  }
  bool keep = true;
  if (!readOnly) {
    std::string question = "The view state " + state.m_path +
                           " runs SQL that can change the database:\n\n" + pending.query +
                           "\n\nRun it once?";
    keep = m_host && m_host->AskYesNo(question, false);
    pending.runOnce = true;
    pending.interval = 0;
  }
  if (keep)
    m_pendingState = pending;
  else
    m_pendingState.reset();
  m_stateName = state.m_name;
  if (m_host && SettingBool("dropfiles/dvxs/movewindow", true)) m_host->ApplyStateLayout(state);
  return true;
}

bool CDorvexDoc::Connect(const std::string& path, std::unique_ptr<XB_SQLiteDB>* db,
                         std::vector<std::string>* tables, std::unique_ptr<SQLiteRowIO>* rowIO) {
  std::string refusal = RefusalOf(path, "file does not exist");
  if (!refusal.empty()) {
    Fail(refusal + ": " + path);
    return false;
  }
  db->reset(XB_SQLiteDB::NewAuto(path.c_str()));
  if (!*db) {
    Fail(std::string(kNotADatabase) + ": " + path);
    return false;
  }
  XB_SQLiteResult names;
  if (!(*db)->GetTable(names, "%s", "SELECT name FROM sqlite_master WHERE type='table'")) {
    Fail((*db)->FromFileText((*db)->LastError() ? (*db)->LastError() : kNotADatabase));
    db->reset();
    return false;
  }
  *rowIO = std::make_unique<SQLiteRowIO>();
  tables->clear();
  for (int row = 0; row < names.Rows(); ++row) {
    const char* name = names.Get(0, row);
    if (!name) continue;
    if (name[0] != '(') tables->push_back(name);
    (*rowIO)->GetTableDefinition(**db, name, kAllColumns);
  }
  (*db)->Close();
  return true;
}

bool CDorvexDoc::OpenDatabase(const std::string& path) {
  Busy busy(m_busy);
  if (!busy.Held()) {
    Fail(kBusy);
    return false;
  }
  std::string absolute = AbsolutePath(path);
  std::unique_ptr<XB_SQLiteDB> db;
  std::vector<std::string> tables;
  std::unique_ptr<SQLiteRowIO> rowIO;
  if (!Connect(absolute, &db, &tables, &rowIO)) return false;
  if (m_db && m_transactionOpen) m_db->Exec("ROLLBACK");
  m_db = std::move(db);
  m_rowIO = std::move(rowIO);
  m_transactionOpen = false;
  m_chosenEncoding.reset();
  if (m_locked) m_db->Open();
  std::lock_guard<std::mutex> lock(m_mutex);
  m_tableNames = std::move(tables);
  m_databasePath = absolute;
  return true;
}

bool CDorvexDoc::EnsureOpen() {
  if (!m_db) return false;
  if (m_db->IsOpen()) return true;
  // Opening a path whose file is gone would make a new, empty database.
  std::string refusal = RefusalOf(m_databasePath, "file no longer exists");
  if (!refusal.empty()) {
    Fail(refusal + ": " + m_databasePath);
    return false;
  }
  if (m_db->Open()) return true;
  Fail(m_db->LastError() ? m_db->FromFileText(m_db->LastError()) : "cannot open the database");
  return false;
}

void CDorvexDoc::CloseUnlessKept() {
  if (!m_db || !m_db->IsOpen()) return;
  m_transactionOpen = m_db->InTransaction();
  if (!m_locked && !m_transactionOpen) m_db->Close();
}

bool CDorvexDoc::Query(XB_SQLiteResult& result, const std::string& sql) {
  QueryOutcome outcome = Run(sql, QueryRunKind::Query, nullptr);
  if (outcome.ok) result = std::move(outcome.result);
  return outcome.ok;
}

QueryOutcome CDorvexDoc::Run(const std::string& sql, QueryRunKind kind, XB_QueryProgress* progress,
                             bool withRowId) {
  Busy busy(m_busy);
  if (!busy.Held()) {
    QueryOutcome outcome;
    outcome.kind = kind;
    outcome.sql = sql;
    outcome.error = kBusy;
    Fail(kBusy);
    return outcome;
  }
  return RunHeld(sql, kind, progress, withRowId);
}

QueryOutcome CDorvexDoc::RunReserved(const std::string& sql, QueryRunKind kind,
                                     XB_QueryProgress* progress, bool withRowId) {
  Busy busy(m_busy, true);
  return RunHeld(sql, kind, progress, withRowId);
}

/* Run, with the document marked busy by the caller. */
QueryOutcome CDorvexDoc::RunHeld(const std::string& sql, QueryRunKind kind,
                                 XB_QueryProgress* progress, bool withRowId) {
  QueryOutcome outcome;
  outcome.kind = kind;
  outcome.sql = sql;
  auto started = std::chrono::steady_clock::now();
  if (!m_db) {
    // A document without a connection fails without a message.
    Fail("");
    return outcome;
  }
  std::string stored;
  if (!EnsureOpen()) {
    outcome.error = LastError();
  } else if (!m_db->ToFileText(sql, &stored, &outcome.error)) {
    Fail(outcome.error);
  } else if (kind == QueryRunKind::Script) {
    std::vector<std::string> statements = SplitSqlStatements(stored);
    outcome.ok = true;
    for (size_t i = 0; i < statements.size() && outcome.ok; ++i) {
      XB_SQLiteResult result;
      if (progress && progress->limited) break;
      outcome.ok = !(progress && progress->cancel) &&
                   m_db->GetTableWatched(result, statements[i].c_str(), progress);
      if (!outcome.ok) {
        outcome.error =
            progress && progress->cancel
                ? "interrupted"
                : m_db->FromFileText(m_db->LastError() ? m_db->LastError() : "SQL error");
        if (statements.size() > 1)
          outcome.error = "statement " + std::to_string(i + 1) + " of " +
                          std::to_string(statements.size()) + ": " + outcome.error;
      } else if (result.Cols() > 0) {
        outcome.result = std::move(result);
        outcome.hasResult = true;
      }
    }
  } else {
    bool readOnly = false;
    m_db->IsOneReadOnlyStatement(stored.c_str(), &readOnly);
    outcome.readOnly = readOnly;
    if (kind == QueryRunKind::Rerun && !readOnly) {
      outcome.refused = true;
      outcome.error =
          "not run again: only a single read-only statement is re-run or rewritten without asking";
    } else {
      std::string withRowIdSql, storedWithRowId;
      if (withRowId && readOnly) withRowIdSql = RowIdQueryHeld(sql);
      if (!withRowIdSql.empty() && m_db->ToFileText(withRowIdSql, &storedWithRowId, nullptr)) {
        // The rowid comes along so that Edit Row can pick out each row; the
        // query as the user wrote it runs when the engine refuses that.
        outcome.rowIdColumn =
            m_db->GetTableWatched(outcome.result, storedWithRowId.c_str(), progress);
        if (!outcome.rowIdColumn && progress) progress->rows = 0;
      }
      outcome.ok =
          outcome.rowIdColumn || (!(progress && progress->cancel) &&
                                  m_db->GetTableWatched(outcome.result, stored.c_str(), progress));
      outcome.hasResult = outcome.ok;
      if (!outcome.ok)
        outcome.error = m_db->FromFileText(m_db->LastError() ? m_db->LastError() : "SQL error");
    }
  }
  if (!outcome.ok) {
    outcome.cancelled =
        (progress && progress->cancel) || outcome.error.find("interrupted") != std::string::npos;
    Fail(outcome.error);
  }
  outcome.limited = progress && progress->limited;
  if (progress)
    outcome.rows = progress->rows;
  else if (outcome.hasResult)
    outcome.rows = outcome.result.Rows();
  CloseUnlessKept();
  SetTitleFor(sql, outcome.ok);
  outcome.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - started)
                          .count();
  return outcome;
}

void CDorvexDoc::SetTitleFor(const std::string& sql, bool ok) {
  std::string title;
  if (!m_stateName.empty()) {
    title = m_stateName;
  } else {
    std::filesystem::path file(m_databasePath);
    char version[32];
    std::snprintf(version, sizeof version, ":%.1f:", Version());
    title = file.stem().string() + version + sql;
    if (!ok) title += " !" + LastError();
  }
  // A line break or tab in a title would break the window's caption.
  for (char& c : title) {
    if ((static_cast<unsigned char>(c) < 32) || c == 127) c = ' ';
  }
  if (Utf8Length(title) > kTitleLength)
    title = title.substr(0, Utf8Prefix(title, kTitleLength)) + "..";
  if (m_transactionOpen) title += " [transaction open]";
  std::lock_guard<std::mutex> lock(m_mutex);
  m_title = title;
}

bool CDorvexDoc::ReserveRun() {
  return !m_busy.exchange(true);
}

void CDorvexDoc::Interrupt() {
  if (m_db && m_busy) m_db->Interrupt();
}

void CDorvexDoc::SetLocked(bool locked) {
  m_locked = locked;
  if (locked) return;
  Busy busy(m_busy);
  if (busy.Held()) CloseUnlessKept();
}

bool CDorvexDoc::ReOpen() {
  Busy busy(m_busy);
  if (!busy.Held()) {
    Fail(kBusy);
    return false;
  }
  std::string path = m_databasePath.empty() ? m_pathName : m_databasePath;
  std::string refusal = RefusalOf(path, "file no longer exists");
  if (!refusal.empty()) {
    Fail(refusal + ": " + path);
    return false;
  }
  std::unique_ptr<XB_SQLiteDB> db;
  std::vector<std::string> tables;
  std::unique_ptr<SQLiteRowIO> rowIO;
  if (!Connect(path, &db, &tables, &rowIO)) return false;
  if (m_transactionOpen) {
    // The new connection cannot see what the open transaction changed.
    Fail("a transaction is open: commit or roll it back before Re-Open");
    return false;
  }
  // The user's choice of text encoding holds for the same file read afresh.
  if (m_chosenEncoding && db->Version() == m_db->Version()) db->SetTextEncoding(*m_chosenEncoding);
  m_db = std::move(db);
  m_rowIO = std::move(rowIO);
  if (m_locked) m_db->Open();
  std::lock_guard<std::mutex> lock(m_mutex);
  m_tableNames = std::move(tables);
  return true;
}

bool CDorvexDoc::CanClose() {
  if (!m_transactionOpen || !m_db) return true;
  Busy busy(m_busy);
  if (!busy.Held()) {
    Fail(kBusy);
    return false;
  }
  DorvexDocHost::TransactionEnd answer =
      m_host ? m_host->AskTransactionEnd("The database " + m_databasePath +
                                         " has an open transaction. Commit its changes?")
             : DorvexDocHost::TransactionEnd::KeepOpen;
  if (answer == DorvexDocHost::TransactionEnd::KeepOpen) return false;
  bool ended = m_db->Exec(answer == DorvexDocHost::TransactionEnd::Commit ? "COMMIT" : "ROLLBACK");
  if (!ended) {
    Fail(m_db->LastError() ? m_db->FromFileText(m_db->LastError()) : "the transaction did not end");
    return false;
  }
  m_transactionOpen = m_db->InTransaction();
  return !m_transactionOpen;
}

void CDorvexDoc::Close() {
  m_db.reset();
  m_rowIO.reset();
  m_transactionOpen = false;
}

XB_TextEncoding CDorvexDoc::TextEncoding() const {
  return m_db ? m_db->TextEncoding() : XB_TEXT_UTF8;
}

void CDorvexDoc::SetTextEncoding(XB_TextEncoding encoding) {
  m_chosenEncoding = encoding;
  if (m_db) m_db->SetTextEncoding(encoding);
}

bool CDorvexDoc::ToFileText(std::string_view utf8, std::string* stored, std::string* error) const {
  if (m_db) return m_db->ToFileText(utf8, stored, error);
  if (!XB_SQLiteDB::IsValidUtf8(utf8)) {
    if (error) *error = "the text is not valid UTF-8";
    return false;
  }
  stored->assign(utf8);
  return true;
}

std::string CDorvexDoc::FromFileText(std::string_view stored) const {
  return m_db ? m_db->FromFileText(stored) : AsUtf8(stored);
}

std::vector<DropAction> CDorvexDoc::DropFiles(const std::vector<std::string>& paths) {
  std::vector<DropAction> actions;
  for (const std::string& dropped : paths) {
    std::string path = AbsolutePath(dropped);
    std::string ext = Extension(path);
    if (ext == "dvxs") {
      if (!OpenStateFile(path)) continue;
      actions.push_back({DropAction::ApplyState, path, ""});
      break;
    }
    if (ext != "sql") continue;
    if (SettingBool("dropfiles/sql/ask", false) &&
        !(m_host && m_host->AskYesNo("Do you want to execute '" + path + "'", true)))
      continue;
    struct stat info;
    std::ifstream in;
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxScriptSize)
      in.open(path, std::ios::binary);
    if (!in) {
      Fail("cannot read " + path);
      continue;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    text = AsUtf8(text);
    std::vector<std::string> statements = SplitSqlStatements(text);
    if (statements.empty()) continue;
    bool readOnly = false;
    if (statements.size() == 1) {
      Busy busy(m_busy);
      std::string stored;
      if (busy.Held() && EnsureOpen() && ToFileText(statements[0], &stored, nullptr))
        m_db->IsOneReadOnlyStatement(stored.c_str(), &readOnly);
      if (busy.Held()) CloseUnlessKept();
    }
    if (readOnly)
      actions.push_back({DropAction::RunQuery, path, statements[0]});
    else
      actions.push_back({DropAction::RunScript, path, text});
  }
  return actions;
}
