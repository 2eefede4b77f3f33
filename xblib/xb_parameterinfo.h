/*
** Column descriptors and table definitions.
**
** XB_ParameterInfo describes one column or parameter: its key (the
** normalized name it is found by), the label shown to users, a comment and
** the parameter type code that decides how it is edited and written.
** XB_ParameterInfoGroup is a table definition: the descriptors in column
** order plus a map from key to descriptor, compared ignoring ASCII case.
** The group owns its descriptors; parameters only point at them.
*/
#ifndef XB_PARAMETERINFO_H
#define XB_PARAMETERINFO_H

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "xb_string.h"

/* Parameter type codes. */
enum : uint32_t {
  PT_INT = 1,
  PT_BOOL = 2,
  PT_TEXT = 3,
  PT_REAL = 4,
  PT_DATE = 12,
  PT_TIME = 13,
  PT_DATETIME = 14,
  PT_GROUP = 128,
  PT_KEY = 255
};

class XB_ParameterInfo {
 public:
  /* Makes a descriptor whose key is NAME normalized; LABEL defaults to NAME. */
  XB_ParameterInfo(std::string_view name, const char* label = nullptr,
                   const char* comment = nullptr, uint32_t type = PT_TEXT);
  virtual ~XB_ParameterInfo() = default;
  XB_ParameterInfo(const XB_ParameterInfo&) = default;
  XB_ParameterInfo& operator=(const XB_ParameterInfo&) = default;

  /* Returns the parameter type code. */
  virtual uint32_t GetType() const { return m_type; }
  /* Replaces the parameter type code. */
  virtual void SetType(uint32_t type) { m_type = type; }

  /* Returns the key, the label and the comment. */
  const XB_String& Key() const { return m_key; }
  const XB_String& Label() const { return m_label; }
  const XB_String& Comment() const { return m_comment; }

 protected:
  /* Used by the group, whose key follows the table-name rule. */
  XB_ParameterInfo(const XB_String& key, const XB_String& label, const char* comment,
                   uint32_t type);

  XB_String m_key;
  XB_String m_label;
  XB_String m_comment;
  uint32_t m_type;
};

class XB_ParameterInfoGroup : public XB_ParameterInfo {
 public:
  /* Makes an empty definition of the table TABLENAME (as written). */
  explicit XB_ParameterInfoGroup(std::string_view tableName);
  ~XB_ParameterInfoGroup() override = default;
  XB_ParameterInfoGroup(const XB_ParameterInfoGroup&) = delete;
  XB_ParameterInfoGroup& operator=(const XB_ParameterInfoGroup&) = delete;

  /* Returns the number of descriptors. */
  int Count() const { return static_cast<int>(m_items.size()); }
  /* Returns descriptor INDEX in column order, or null outside the list. */
  XB_ParameterInfo* At(int index) const;
  /* Returns the key of descriptor INDEX, or the empty string outside the list. */
  const XB_String& KeyAt(int index) const;
  /* Returns the descriptor with KEY (ASCII case ignored), or null. */
  XB_ParameterInfo* Find(std::string_view key) const;
  /* Makes a descriptor from NAME, LABEL, COMMENT and TYPE, appends it and
  ** returns it.  When the key is already present the list holds both and the
  ** map keeps the earlier one. */
  XB_ParameterInfo* Add(std::string_view name, const char* label, const char* comment,
                        uint32_t type);
  /* Appends INFO (a derived descriptor made by the caller) the same way and
  ** returns it. */
  XB_ParameterInfo* Add(std::unique_ptr<XB_ParameterInfo> info);
  /* Deletes the descriptor found by KEY; returns false when there is none. */
  bool Remove(std::string_view key);

 private:
  /* Returns the position in the map where KEY is or would be. */
  size_t MapPosition(std::string_view key) const;
  /* Enters INFO in the map unless its key is already there. */
  void EnterInMap(XB_ParameterInfo* info);

  std::vector<std::unique_ptr<XB_ParameterInfo>> m_items;
  std::vector<XB_ParameterInfo*> m_map; /* sorted by key, ASCII case ignored */
};

#endif /* XB_PARAMETERINFO_H */
