/*
** Writing a dump as SQL text, collected in a large block before it goes
** to the output.
*/
#include "xb_dumpsqltext.h"

#include <utility>

#include "xb_sqlitesqltext.h"

namespace {

/* Text is handed on in blocks of about this size. */
const size_t kBlock = 1 << 18;

}  // namespace

XB_DumpSqlText::XB_DumpSqlText(Output output) : m_output(std::move(output)) {
  m_text.reserve(kBlock + 4096);
}

bool XB_DumpSqlText::Drain(bool all) {
  if (m_failed) return false;
  if (m_text.empty() || (!all && m_text.size() < kBlock)) return true;
  m_failed = !m_output(m_text.data(), m_text.size());
  m_text.clear();
  return !m_failed;
}

bool XB_DumpSqlText::Begin() {
  m_begun = true;
  m_text.append("BEGIN TRANSACTION;\n");
  return Drain(false);
}

bool XB_DumpSqlText::BeginTable(const XB_DumpTable& table) {
  std::string name = XB_SqlName(table.name);
  switch (table.kind) {
    case XB_DUMP_SEQUENCE:
      // The engine makes this table with the first AUTOINCREMENT table and
      // has filled it while the rows above were inserted.
      m_text.append("DELETE FROM sqlite_sequence;\n");
      break;
    case XB_DUMP_STAT1:
      // Made by ANALYZE only; analysing the schema table adds no rows.
      m_text.append("ANALYZE sqlite_master;\n");
      break;
    default:
      m_text.append(table.sql).append(";\n");
  }
  m_insert = "INSERT INTO " + name + "(";
  bool first = true;
  if (!table.rowidName.empty()) {
    m_insert += table.rowidName;
    first = false;
  }
  for (const std::string& column : table.columns) {
    if (!first) m_insert += ',';
    m_insert += XB_SqlName(column);
    first = false;
  }
  m_insert += ") VALUES(";
  return Drain(false);
}

bool XB_DumpSqlText::Row(const XB_DumpTable& table, int64_t rowid,
                         const std::vector<XB_DumpValue>& values) {
  m_text.append(m_insert);
  bool first = true;
  if (!table.rowidName.empty()) {
    XB_DumpValue id;
    id.kind = XB_DumpValue::kInteger;
    id.integer = rowid;
    XB_AppendSqlValue(&m_text, id);
    first = false;
  }
  for (const XB_DumpValue& value : values) {
    if (!first) m_text.push_back(',');
    XB_AppendSqlValue(&m_text, value);
    first = false;
  }
  m_text.append(");\n");
  return Drain(false);
}

bool XB_DumpSqlText::EndTable(const XB_DumpTable&) {
  return Drain(false);
}

bool XB_DumpSqlText::Object(const XB_DumpObject& object) {
  m_text.append(object.sql).append(";\n");
  return Drain(false);
}

bool XB_DumpSqlText::Finish(bool complete) {
  if (m_begun) m_text.append(complete ? "COMMIT;\n" : "ROLLBACK;\n");
  return Drain(true);
}
