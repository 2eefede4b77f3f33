/*
** The table definition parser: turns the CREATE TABLE text that the engine
** keeps in sqlite_master into a table definition, one descriptor per column
** with the parameter type its declaration suggests.  The parser is shallow
** on purpose: it splits the column list at top-level commas, takes the first
** word of each item as the column name and recognises the type by a few
** words found anywhere in the item.
**
** Names may be written bare or quoted in any of the four ways the engines
** accept ("name", [name], `name`, 'name'); a descriptor's label is the name
** without its quotes, which statements quote again as needed.  Its key is
** the normalized name, made unique within the table, so that "first name"
** and first_name stay two columns.  Beyond the type a column descriptor
** (XB_ColumnInfo) knows its declared DEFAULT when that is a literal and
** whether it is the table's rowid alias (the INTEGER PRIMARY KEY whose
** value the engine assigns).
*/
#ifndef XB_TABLEDEF_H
#define XB_TABLEDEF_H

#include <cstdint>
#include <memory>
#include <string_view>

#include "xb_parameterinfo.h"

/* Selection flags: which columns a definition includes and which are keys. */
enum : uint8_t {
  TD_PLAIN = 0x01,          /* ordinary columns */
  TD_PRIMARY = 0x02,        /* PRIMARY KEY columns */
  TD_UNIQUE = 0x04,         /* UNIQUE columns */
  TD_ROWID_AS_KEY = 0x10,   /* the rowid alias gets type PT_KEY */
  TD_PRIMARY_AS_KEY = 0x20, /* PRIMARY KEY columns get type PT_KEY */
  TD_UNIQUE_AS_KEY = 0x40,  /* UNIQUE columns get type PT_KEY */
  TD_ALL = 0xFF,
  /* A new row: every column editable except the rowid alias, which the
  ** engine assigns. */
  TD_INSERT = TD_PLAIN | TD_PRIMARY | TD_UNIQUE | TD_ROWID_AS_KEY
};

/* The comment every descriptor made by the parser carries. */
constexpr const char* XB_AUTO_COMMENT = "auto generated";

/*
** One column of a parsed table.  Label() is the column name as the engine
** knows it (without quotes); Key() is unique within its table.
*/
class XB_ColumnInfo : public XB_ParameterInfo {
 public:
  XB_ColumnInfo(const XB_String& key, std::string_view name, uint32_t type);

  /* Returns the type the declaration suggests, before any key marking. */
  uint32_t DeclaredType() const { return m_declaredType; }
  void SetDeclaredType(uint32_t type) { m_declaredType = type; }

  /* True when the column has a DEFAULT whose value is a literal: a string,
  ** a number or NULL.  DefaultText() is that value as the engine stores it
  ** (a string without its quotes); DefaultIsNull() tells the NULL apart. */
  bool HasLiteralDefault() const { return m_hasDefault; }
  const XB_String& DefaultText() const { return m_defaultText; }
  bool DefaultIsNull() const { return m_defaultIsNull; }
  void SetLiteralDefault(std::string_view text, bool isNull);

  /* True for the rowid alias: the table's single INTEGER PRIMARY KEY. */
  bool IsRowidAlias() const { return m_rowidAlias; }
  void SetRowidAlias(bool alias) { m_rowidAlias = alias; }

 private:
  uint32_t m_declaredType;
  XB_String m_defaultText;
  bool m_hasDefault = false;
  bool m_defaultIsNull = false;
  bool m_rowidAlias = false;
};

/*
** A parsed table: the descriptors (XB_ColumnInfo, plus whatever a caller
** adds) and what the table as a whole declares.
*/
class XB_TableDefinition : public XB_ParameterInfoGroup {
 public:
  using XB_ParameterInfoGroup::XB_ParameterInfoGroup;

  /* False for a WITHOUT ROWID table. */
  bool HasRowid() const { return m_hasRowid; }
  void SetHasRowid(bool hasRowid) { m_hasRowid = hasRowid; }

  /* Returns the column whose name is NAME (ASCII case ignored), or null. */
  XB_ParameterInfo* FindColumn(std::string_view name) const;

 private:
  bool m_hasRowid = true;
};

/* Returns INFO as a parsed column, or null when it is another descriptor. */
const XB_ColumnInfo* XB_ColumnOf(const XB_ParameterInfo* info);

/* Returns the name statements use for descriptor INFO: its label, or its
** key when the label is empty. */
const XB_String& XB_ColumnName(const XB_ParameterInfo* info);

/* Returns the definition that the statement TEXT describes, selected and
** marked by FLAGS, or null when TEXT does not begin with "CREATE TABLE". */
std::unique_ptr<XB_TableDefinition> ParseCreateTable(std::string_view text, uint8_t flags);

#endif /* XB_TABLEDEF_H */
