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
#include "xb_tabledef.h"

class SQLiteRowIO {
 public:
  SQLiteRowIO() = default;
  ~SQLiteRowIO() = default;
  SQLiteRowIO(const SQLiteRowIO&) = delete;
  SQLiteRowIO& operator=(const SQLiteRowIO&) = delete;

  /* Returns the stored statement text of TABLE, or the empty string when the
  ** query fails or there is no such object.  The name is looked up as the
  ** engines look names up: an exact match first, else one that differs in
  ** ASCII letter case only.  STOREDNAME, when given, receives the name as
  ** sqlite_master keeps it. */
  static XB_String GetTableSql(XB_SQLiteDB& db, std::string_view table,
                               XB_String* storedName = nullptr);

  /* Returns the cached definition of TABLE for FLAGS, parsing it on first
  ** use; null when TABLE has no CREATE TABLE text.  The cache owns it. */
  XB_TableDefinition* GetTableDefinition(XB_SQLiteDB& db, std::string_view table, uint8_t flags);

  /* Returns a row set for TABLE with one member per column of the
  ** definition for FLAGS, each holding the column's literal DEFAULT, or no
  ** value (NULL) when it has none; these count as unchanged, so an INSERT
  ** leaves the columns the user did not touch to the engine.  An unnamed
  ** empty set when TABLE has no definition. */
  SQLiteParameters InitRow(XB_SQLiteDB& db, std::string_view table, uint8_t flags);

  /* Reads into SET the first row of TABLE that WHEREPART (an SQL condition
  ** written by the user; empty for the first row of the table) selects.
  ** Columns are read as text; a NULL cell gives no value; a BLOB (on
  ** generation 3) gives the note "<BLOB, n bytes>" and is marked.  When no
  ** row matches, SET.RowFound() is false and every column gets the empty
  ** text.  Returns false, SET unchanged, when the query fails (LastError
  ** tells why). */
  bool ReadRow(SQLiteParameters& set, XB_SQLiteDB& db, std::string_view table,
               std::string_view wherePart);

  /* InitRow with all columns and key marking, then ReadRow; a failed read
  ** leaves the defaults. */
  SQLiteParameters LoadRow(XB_SQLiteDB& db, std::string_view table, std::string_view wherePart);

  /* Writes the changed columns of SET back to its row with UPDATE.
  ** Returns false when the statement fails or the row cannot be picked out
  ** (its read found no row, or no key column or rowid identifies it);
  ** LastError tells why.  A set with nothing changed writes nothing and
  ** returns true. */
  bool UpdateRow(XB_SQLiteDB& db, const SQLiteParameters& set, uint8_t flags);

  /* Adds SET as a new row with INSERT: the changed columns (key columns
  ** only with XB_INSERT_KEYS in FLAGS); the engine gives the others their
  ** DEFAULT or NULL.  Returns false when the statement fails. */
  bool InsertRow(XB_SQLiteDB& db, const SQLiteParameters& set, uint8_t flags);

  /* Returns the name under which the rowid of DEFINITION's rows can be read,
  ** or null when every name is taken by a column. */
  static const char* RowIdName(const XB_TableDefinition& definition);

  /* Returns the message of the last failed row operation: this service's own
  ** when it refused the operation, otherwise the connection's last error
  ** (null when there is none). */
  const char* LastError(const XB_SQLiteDB& db) const;

 private:
  /* What the cache keeps per table and flags. */
  struct CachedDefinition {
    std::unique_ptr<XB_TableDefinition> definition; /* null: no CREATE TABLE */
    XB_String storedName;                           /* as sqlite_master has it */
  };

  /* Returns the cache entry of TABLE for FLAGS, filling it on first use. */
  const CachedDefinition& CacheEntry(XB_SQLiteDB& db, std::string_view table, uint8_t flags);
  /* Runs SQL with Exec, noting its failure. */
  bool Execute(XB_SQLiteDB& db, const XB_String& sql);

  std::map<std::string, CachedDefinition> m_cache;
  XB_String m_refusal;
  bool m_refused = false;
};

#endif /* SQLITEROWIO_H */
