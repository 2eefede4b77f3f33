/*
** SQLiteParameters: the parameter set that stands for one table row.
**
** Its name is the table's key, its descriptor the table definition, and each
** member is an XB_ParameterPlain whose key and descriptor are those of one
** column.  Beyond the values the set remembers what a written row needs to
** stay true to the stored one: which columns were SQL NULL when the row was
** read (an unchanged NULL is written back as NULL, not as the empty text),
** the values as read (so that a key picks out its row by the exact stored
** text and an unchanged value is written back exactly as it was), and the
** row's rowid when one was read with it (so a row of a table without key
** columns can still be picked out on its own).
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

class SQLiteParameters : public XB_ParameterSetAuto {
 public:
  /* Makes an empty row set for the table TABLE (its name normalized). */
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

  /* Returns the table definition the set was built from, or null. */
  XB_ParameterInfoGroup* Definition() const { return m_definition; }
  /* Attaches DEFINITION as the set's descriptor. */
  void SetDefinition(XB_ParameterInfoGroup* definition);

  /* Records whether the column KEY held SQL NULL when the row was read. */
  void SetStoredNull(std::string_view key, bool isNull);
  /* Returns true when the column KEY held SQL NULL when the row was read. */
  bool WasStoredNull(std::string_view key) const;
  /* Returns true when member INDEX stands for SQL NULL: it held NULL when
  ** read and still has no text of its own (empty or blanks only), or it has
  ** no value at all. */
  bool IsNullAt(int index) const;
  /* Forgets every NULL mark. */
  void ClearStoredNulls() { m_nullKeys.clear(); }

  /* Records TEXT as the value the column KEY held when the row was read. */
  void SetReadText(std::string_view key, std::string_view text);
  /* Returns the value the column KEY held when the row was read, or null
  ** when the row was not read (or had no such column). */
  const XB_String* ReadText(std::string_view key) const;
  /* Forgets the values as read. */
  void ClearReadTexts() { m_readTexts.clear(); }

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
  std::vector<XB_String> m_nullKeys;
  std::vector<std::pair<XB_String, XB_String>> m_readTexts; /* key, value as read */
  XB_String m_rowId;
  XB_String m_rowIdName;
};

#endif /* SQLITEPARAMETERS_H */
