/*
** Reading a whole database for a dump.  Two small sources hide the two
** engine interfaces behind one streaming query (values classified as the
** dump writes them); everything else (the schema, the columns, the order of
** things) is shared.
*/
#include "xb_sqlitedump.h"

#include <sqlite3.h>
#include <strings.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <map>

#include "xb_dumpsource.h"
#include "xb_sqlitedb.h"
#include "xb_sqlitesqltext.h"

namespace {

/* How many rows pass between two calls of the progress callback. */
const int64_t kProgressStep = 1000;

/* Returns true when TEXT is digits only (at least one). */
bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

/* Returns true when TEXT is one of NAMES, ASCII letter case ignored. */
bool NamesContain(const std::vector<std::string>& names, const char* text) {
  for (const std::string& name : names) {
    if (strcasecmp(name.c_str(), text) == 0) return true;
  }
  return false;
}

/* One sqlite_master entry as the dump reads it. */
struct MasterEntry {
  std::string type;
  std::string name;
  std::string sql;
};

}  // namespace

XB_SQLiteDump::XB_SQLiteDump(const XB_SQLiteDB& source) : m_source(source) {}

XB_SQLiteDump::~XB_SQLiteDump() = default;

bool XB_SQLiteDump::ClassifyText(std::string_view text, XB_DumpValue* value) {
  value->text = text;
  value->kind = XB_DumpValue::kText;
  std::string_view digits = text.substr(!text.empty() && text[0] == '-' ? 1 : 0);
  size_t point = digits.find('.');
  if (point == std::string_view::npos) {
    // An integer: no leading zero, no "-0", within 64 bits.  The smallest
    // value has no literal of its own in SQL (it is the negation of a
    // number one too big), so it stays text.
    if (!AllDigits(digits) || (digits[0] == '0' && digits.size() > 1)) return false;
    if (digits == "0" && digits.size() != text.size()) return false;
    int64_t number = 0;
    auto parsed = std::from_chars(text.data(), text.data() + text.size(), number);
    if (parsed.ec != std::errc() || number == INT64_MIN) return false;
    value->kind = XB_DumpValue::kInteger;
    value->integer = number;
    return true;
  }
  // A real: digits, a point, digits, maybe an exponent, and exactly the
  // text SQLite 3 prints for the number it reads.
  size_t exponent = digits.find('e');
  if (exponent < point) return false;
  std::string_view mantissa = digits.substr(0, exponent);
  if (!AllDigits(mantissa.substr(0, point)) || !AllDigits(mantissa.substr(point + 1))) return false;
  if (text.size() > 40) return false;
  std::string copy(text);
  char* end = nullptr;
  double number = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !std::isfinite(number)) return false;
  char printed[48];
  sqlite3_snprintf(sizeof printed, printed, "%!.15g", number);
  if (text != printed) return false;
  value->kind = XB_DumpValue::kReal;
  value->real = number;
  return true;
}

XB_DumpOutcome XB_SQLiteDump::Fail(XB_DumpOutcome outcome, const std::string& message) {
  m_error = message;
  return outcome;
}

XB_DumpOutcome XB_SQLiteDump::Run(XB_DumpWriter& writer, const XB_DumpProgress* progress) {
  m_error.clear();
  m_tables.clear();
  std::unique_ptr<XB_DumpSource> source = XB_DumpSource::New(m_source);
  std::string error;
  if (!source->Open(&error)) {
    writer.Finish(false);
    return Fail(XB_DUMP_OPEN_FAILED, error);
  }
  XB_DumpOutcome outcome = ReadAll(*source, writer, progress);
  bool finished = writer.Finish(outcome == XB_DUMP_DONE);
  if (outcome == XB_DUMP_DONE && !finished) return Fail(XB_DUMP_WRITE_FAILED, "");
  return outcome;
}

XB_DumpOutcome XB_SQLiteDump::ReadAll(XB_DumpSource& source, XB_DumpWriter& writer,
                                      const XB_DumpProgress* progress) {
  std::string error;
  std::vector<MasterEntry> entries;
  bool read = source.Query(
      "SELECT type, name, sql FROM sqlite_master ORDER BY rowid",
      [&entries](const std::vector<XB_DumpValue>& row) {
        if (row.size() == 3 && row[2].kind != XB_DumpValue::kNull)
          entries.push_back(
              {std::string(row[0].text), std::string(row[1].text), std::string(row[2].text)});
        return true;
      },
      &error);
  if (!read) return Fail(XB_DUMP_READ_FAILED, "reading the schema failed: " + error);

  // Tables first, the engine's own tables after the others (their rows
  // describe the others' rows); then everything built on tables.
  std::vector<std::string> shadows = source.ShadowTables();
  std::vector<XB_DumpTable> late;
  for (const MasterEntry& entry : entries) {
    if (entry.type != "table" || NamesContain(shadows, entry.name.c_str())) continue;
    XB_DumpTable table;
    table.name = entry.name;
    table.sql = entry.sql;
    bool internal = strncasecmp(entry.name.c_str(), "sqlite_", 7) == 0;
    if (internal && entry.name != "sqlite_sequence" && entry.name != "sqlite_stat1") continue;
    if (!source.Describe(&table, &error))
      return Fail(XB_DUMP_READ_FAILED, "reading table " + table.name + " failed: " + error);
    (internal ? late : m_tables).push_back(std::move(table));
  }
  for (XB_DumpTable& table : late) m_tables.push_back(std::move(table));

  int64_t total = 0;
  if (progress && progress->onRows) {
    for (const XB_DumpTable& table : m_tables) {
      source.Query(
          "SELECT count(*) FROM " + XB_SqlName(table.name),
          [&total](const std::vector<XB_DumpValue>& row) {
            total += row.empty() ? 0 : row[0].integer;
            return true;
          },
          &error);
    }
    progress->onRows(0, total);
  }

  if (!writer.Begin()) return Fail(XB_DUMP_WRITE_FAILED, "");
  int64_t done = 0;
  for (XB_DumpTable& table : m_tables) {
    if (!writer.BeginTable(table)) return Fail(XB_DUMP_WRITE_FAILED, "");
    std::string select = "SELECT ";
    if (!table.rowidName.empty()) select += table.rowidName + ", ";
    for (size_t c = 0; c < table.columns.size(); ++c) {
      if (c) select += ", ";
      select += XB_SqlName(table.columns[c]);
    }
    select += " FROM " + XB_SqlName(table.name);
    if (!table.rowidName.empty()) select += " ORDER BY " + table.rowidName;

    XB_DumpOutcome stop = XB_DUMP_DONE;
    std::vector<XB_DumpValue> values;
    bool rowsRead = source.Query(
        select,
        [&](const std::vector<XB_DumpValue>& row) {
          if (progress && progress->cancel && progress->cancel->load()) {
            stop = XB_DUMP_CANCELLED;
            return false;
          }
          int64_t rowid = 0;
          size_t first = 0;
          if (!table.rowidName.empty()) {
            rowid = row[0].integer;
            first = 1;
          }
          values.assign(row.begin() + static_cast<std::ptrdiff_t>(first), row.end());
          if (!writer.Row(table, rowid, values)) {
            stop = XB_DUMP_WRITE_FAILED;
            return false;
          }
          ++table.rows;
          if (++done % kProgressStep == 0 && progress && progress->onRows)
            progress->onRows(done, total);
          return true;
        },
        &error);
    if (stop == XB_DUMP_CANCELLED) return Fail(stop, "cancelled");
    if (stop != XB_DUMP_DONE) return Fail(stop, "");
    if (!rowsRead)
      return Fail(XB_DUMP_READ_FAILED, "reading table " + table.name + " failed: " + error);
    if (!writer.EndTable(table)) return Fail(XB_DUMP_WRITE_FAILED, "");
  }
  if (progress && progress->onRows) progress->onRows(done, total);

  for (const MasterEntry& entry : entries) {
    if (entry.type == "table") continue;
    if (!writer.Object({entry.type, entry.name, entry.sql})) return Fail(XB_DUMP_WRITE_FAILED, "");
  }
  return XB_DUMP_DONE;
}
