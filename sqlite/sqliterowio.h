/*
** SQLiteRowIO: the row service that binds one table row to a parameter set.
**
** It reads a table's stored CREATE TABLE text, parses it into a definition
** and keeps that definition in its cache (keyed by database file, table and
** selection flags) for as long as the service lives; row sets point at the
** descriptors in the cache, so every row set must go before the service.
** On top of the cache it builds an empty row set, reads a row into it,
** writes an edited row back with UPDATE and adds a new one with INSERT, on
** connections of either engine generation.
*/
#ifndef SQLITEROWIO_H
#define SQLITEROWIO_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "sqliteparameters.h"
#include "xb_parameterinfo.h"
#include "xb_sqlitedb.h"

class SQLiteRowIO {
 public:
  SQLiteRowIO() = default;
  ~SQLiteRowIO() = default;
  SQLiteRowIO(const SQLiteRowIO&) = delete;
  SQLiteRowIO& operator=(const SQLiteRowIO&) = delete;

  /* Returns the stored statement text of TABLE, or the empty string when the
  ** query fails or there is no such object. */
  XB_String GetTableSql(XB_SQLiteDB& db, std::string_view table);

  /* Returns the cached definition of TABLE for FLAGS, parsing it on first
  ** use; null when TABLE has no CREATE TABLE text.  The cache owns it. */
  XB_ParameterInfoGroup* GetTableDefinition(XB_SQLiteDB& db, std::string_view table, uint8_t flags);

  /* Returns a row set for TABLE with one member per column of the
  ** definition for FLAGS, each holding its type's default; an unnamed empty
  ** set when TABLE has no definition. */
  SQLiteParameters InitRow(XB_SQLiteDB& db, std::string_view table, uint8_t flags);

  /* Reads into SET the first row of TABLE that WHEREPART (an SQL condition
  ** written by the user; empty for the first row of the table) selects.
  ** Columns are read as text; NULL cells are marked.  When no row matches,
  ** every column gets the empty text.  Returns false, SET unchanged, when
  ** the query fails. */
  bool ReadRow(SQLiteParameters& set, XB_SQLiteDB& db, std::string_view table,
               std::string_view wherePart);

  /* InitRow with all columns and key marking, then ReadRow; a failed read
  ** leaves the defaults. */
  SQLiteParameters LoadRow(XB_SQLiteDB& db, std::string_view table, std::string_view wherePart);

  /* Writes SET back to its row with UPDATE.  Returns false when the
  ** statement fails or the row cannot be picked out (no key column or rowid
  ** to identify it); LastError tells why.  A set with nothing to assign
  ** writes nothing and returns true. */
  bool UpdateRow(XB_SQLiteDB& db, const SQLiteParameters& set, uint8_t flags);

  /* Adds SET as a new row with INSERT (key columns only with
  ** XB_INSERT_KEYS in FLAGS).  Returns false when the statement fails. */
  bool InsertRow(XB_SQLiteDB& db, const SQLiteParameters& set, uint8_t flags);

  /* Returns the message of the last failed row operation: this service's own
  ** when it refused the operation, otherwise the connection's last error
  ** (null when there is none). */
  const char* LastError(const XB_SQLiteDB& db) const;

 private:
  /* What the cache keeps per table and flags. */
  struct CachedDefinition {
    std::unique_ptr<XB_ParameterInfoGroup> definition; /* null: no CREATE TABLE */
    bool hasRowid = false;                             /* not WITHOUT ROWID */
  };

  /* Returns the cache entry of TABLE for FLAGS, filling it on first use. */
  const CachedDefinition& CacheEntry(XB_SQLiteDB& db, std::string_view table, uint8_t flags);
  /* Returns the name under which the rowid of DEFINITION's rows can be read,
  ** or null when every name is taken by a column. */
  static const char* RowIdName(const XB_ParameterInfoGroup& definition);
  /* Runs SQL with Exec, noting its failure. */
  bool Execute(XB_SQLiteDB& db, const XB_String& sql);

  std::map<std::string, CachedDefinition> m_cache;
  XB_String m_refusal;
  bool m_refused = false;
};

#endif /* SQLITEROWIO_H */
