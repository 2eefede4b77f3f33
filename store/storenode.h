/*
** StoreNode: one node of the settings tree.  A node has named children, kept
** sorted by name ignoring ASCII letter case, an ordered list of typed values
** and a comment.  Settings are addressed by "/"-separated paths; reading a
** setting that was never stored creates its node and stores the default, so
** the next save writes it.  Nodes read from and write to the XML dialect of
** XmlReader / XmlWriter.
*/
#ifndef STORENODE_H
#define STORENODE_H

#include "xb_arrayobval.h"
#include "xb_settingsaccess.h"
#include "xb_string.h"
#include "xb_value.h"

#include <cstdint>
#include <memory>
#include <vector>

class XmlReader;
class XmlWriter;

class StoreNode : public XB_SettingsAccess {
 public:
  /* Deepest nesting read from a file; deeper elements are passed over. */
  static constexpr size_t MaxNesting = 256;

  StoreNode();
  ~StoreNode() override;

  StoreNode(const StoreNode&) = delete;
  StoreNode& operator=(const StoreNode&) = delete;

  StoreNode* Child(const char* name);
  StoreNode* FindChild(const char* name) const;
  StoreNode* Path(const char* path);

  bool GetBool(bool defaultValue);
  int32_t GetInt(int32_t defaultValue);
  int32_t GetInt(int32_t defaultValue, int32_t minimum, int32_t maximum);
  void SetInt(int32_t value);
  void SetBool(bool value);
  void SetText(const char* text);

  XB_Value* FirstValue();
  int ValueCount() const { return m_values.Count(); }
  XB_Value& Value(int i) { return m_values[i]; }
  const XB_Value& Value(int i) const { return m_values[i]; }
  void AddValue(const XB_Value& value) { m_values.Add(value); }
  void ClearValues() { m_values.Clear(); }

  int ChildCount() const { return static_cast<int>(m_children.size()); }
  const XB_String& ChildName(int i) const;
  StoreNode* ChildAt(int i) const;
  bool RemoveChild(const char* name);

  bool IsEmpty() const { return m_children.empty() && m_values.IsEmpty(); }
  bool HoldsValues() const;
  void Clear();
  const XB_String& Comment() const { return m_comment; }
  void SetComment(const char* text) { m_comment = text; }

  bool ReadElement(XmlReader& reader, const char* elementName);
  static bool WriteNode(XmlWriter& writer, const StoreNode& node, const char* name);

  /* Returns the text a settings file keeps for a value that is no text:
  ** the value's stored text (XB_Value::StoredText), except that a double
  ** keeps every digit (the shortest text that reads back as the same
  ** double, always with a ".") and a date-time is its number.  Values are
  ** read back with XB_Value::FromText, the one grammar of value texts. */
  static XB_String ValueText(const XB_Value& value);

  bool ReadBool(const char* path, bool defaultValue) override;
  int32_t ReadInt(const char* path, int32_t defaultValue) override;
  void WriteBool(const char* path, bool value) override;
  void WriteInt(const char* path, int32_t value) override;

 private:
  struct Entry {
    XB_String name;
    std::unique_ptr<StoreNode> node;
  };

  size_t LowerBound(const char* name, bool* found) const;
  XB_Value& EnsureFirstValue();

  std::vector<Entry> m_children;
  XB_ArrayObVal<XB_Value> m_values;
  XB_String m_comment;
};

#endif
