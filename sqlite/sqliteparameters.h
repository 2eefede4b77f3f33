/*
** SQLiteParameters: the parameter set that stands for one table row.
**
** Its name is the table's key, its descriptor the table definition, and each
** member is an XB_ParameterPlain whose key and descriptor are those of one
** column.  A member's value is its column's text; SQL NULL is the empty
** value (VK_NONE).  Beyond the values the set remembers what a written row
** needs to stay true to the stored one: the table's name as the engine
** knows it, each column's value as it was read or given as the default of a
** new row (so that only the columns the user changed are written, and a key
** picks out its row by the exact stored text), which columns hold a BLOB
** (shown as a note, never written), whether a row was found, and the row's
** rowid when one was read with it (so a row of a table without key columns
** can still be picked out on its own).
** Copying a row set copies its members (a deep copy), unlike the shared
** copy of a plain parameter set.
*/
#ifndef SQLITEPARAMETERS_H
#define SQLITEPARAMETERS_H

#include <string_view>
#include <utility>
#include <vector>

#include "xb_parameterinfo.h"
#include "xb_parametersetauto.h"
#include "xb_value.h"

class SQLiteParameters : public XB_ParameterSetAuto {
 public:
  /* Makes an empty row set for the table TABLE; the set's name is TABLE
  ** normalized, TableName() keeps it as given. */
  explicit SQLiteParameters(std::string_view table = {});
  /* Copies name, descriptor, members (as new members), NULL marks, the
  ** values as read and the rowid. */
  SQLiteParameters(const SQLiteParameters& other);
  SQLiteParameters& operator=(const SQLiteParameters& other);
  SQLiteParameters(SQLiteParameters&& other) noexcept = default;
  SQLiteParameters& operator=(SQLiteParameters&& other) noexcept = default;
  ~SQLiteParameters() override = default;

  /* Returns a deep copy owned by the caller. */
  XB_Parameter* Clone() const override;
  /* Releases the members and forgets the NULL marks, the values as read
  ** and the rowid. */
  void Clear() override;

  /* Returns the table's name as statements use it. */
  const XB_String& TableName() const { return m_tableName; }

  /* Returns the table definition the set was built from, or null. */
  XB_ParameterInfoGroup* Definition() const { return m_definition; }
  /* Attaches DEFINITION as the set's descriptor. */
  void SetDefinition(XB_ParameterInfoGroup* definition);

  /* Records that the column KEY held SQL NULL when the row was read (or
  ** starts as NULL in a new row); false forgets the mark. */
  void SetStoredNull(std::string_view key, bool isNull);
  /* Returns true when the column KEY held SQL NULL when the row was read. */
  bool WasStoredNull(std::string_view key) const;
  /* Returns true when member INDEX stands for SQL NULL: it has no value. */
  bool IsNullAt(int index) const;
  /* Forgets every NULL mark. */
  void ClearStoredNulls() { m_nullKeys.clear(); }

  /* Records TEXT as the value the column KEY held when the row was read (or
  ** starts with in a new row). */
  void SetReadText(std::string_view key, std::string_view text);
  /* Returns the value the column KEY held when the row was read, or null
  ** when it was NULL, the row was not read or has no such column. */
  const XB_String* ReadText(std::string_view key) const;
  /* Forgets the values as read. */
  void ClearReadTexts() { m_readTexts.clear(); }

  /* Records VALUE (the empty value for NULL) as what the column KEY held
  ** when the row was read or made. */
  void SetBaseline(std::string_view key, const XB_Value& value);
  /* True when member INDEX differs from what its column held when the row
  ** was read or made: NULL against a text, or another text.  A member
  ** whose column has no such record counts as changed. */
  bool IsChangedAt(int index) const;

  /* Marks the column KEY as holding a BLOB of BYTES bytes (its value is a
  ** note for the user, never written); a negative BYTES clears the mark. */
  void SetBlob(std::string_view key, long long bytes);
  /* True when member INDEX holds a BLOB. */
  bool IsBlobAt(int index) const;
  /* True when the column KEY holds a BLOB. */
  bool IsBlob(std::string_view key) const;
  /* Forgets every BLOB mark. */
  void ClearBlobs() { m_blobKeys.clear(); }

  /* Records whether the last read found a row. */
  void SetRowFound(bool found) { m_readState = found ? kRowFound : kNoRow; }
  /* True when the last read found a row. */
  bool RowFound() const { return m_readState == kRowFound; }
  /* True when a read was made and found no row (a set never read is
  ** neither). */
  bool NoRowFound() const { return m_readState == kNoRow; }

  /* Records the rowid read with the row and the name it was read under
  ** (rowid, _rowid_ or oid); an empty ID forgets it. */
  void SetRowId(std::string_view id, std::string_view name);
  /* Returns true when a rowid was read with the row. */
  bool HasRowId() const { return !m_rowId.IsEmpty(); }
  const XB_String& RowId() const { return m_rowId; }
  const XB_String& RowIdName() const { return m_rowIdName; }

 private:
  /* Replaces this set's members by copies of OTHER's. */
  void CopyFrom(const SQLiteParameters& other);

  XB_ParameterInfoGroup* m_definition = nullptr;
  XB_String m_tableName;
  std::vector<XB_String> m_nullKeys;
  std::vector<XB_String> m_blobKeys;
  enum ReadState { kNotRead, kRowFound, kNoRow };
  ReadState m_readState = kNotRead;
  std::vector<std::pair<XB_String, XB_String>> m_readTexts; /* key, value as read */
  XB_String m_rowId;
  XB_String m_rowIdName;
};

#endif /* SQLITEPARAMETERS_H */
