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

  /* Makes an empty node; destroying a node destroys its subtree. */
  StoreNode();
  ~StoreNode() override;

  StoreNode(const StoreNode&) = delete;
  StoreNode& operator=(const StoreNode&) = delete;

  /* Returns the child named NAME (ignoring case), creating an empty one in
  ** its sorted place when there is none.  The first spelling used is kept. */
  StoreNode* Child(const char* name);
  /* Returns the child named NAME (ignoring case), or null. */
  StoreNode* FindChild(const char* name) const;
  /* Resolves a "/"-separated PATH from this node, creating every missing node
  ** on the way.  An absent or empty path gives this node.  Empty segments (a
  ** leading, doubled or trailing "/") are passed over, so that no nameless
  ** node is created, which could not be written to a file. */
  StoreNode* Path(const char* path);

  /* Returns whether the first value reads as an integer above 0; a node
  ** without value stores DEFAULTVALUE as a boolean first. */
  bool GetBool(bool defaultValue);
  /* As GetInt(DEFAULTVALUE), but a stored value is clamped to
  ** MINIMUM..MAXIMUM; a newly stored default is returned as it is. */
  /* Returns the integer reading of the first value; a node without value
  ** stores DEFAULTVALUE as an integer and returns it. */
  int32_t GetInt(int32_t defaultValue);
  int32_t GetInt(int32_t defaultValue, int32_t minimum, int32_t maximum);
  /* Makes the first value the integer VALUE. */
  void SetInt(int32_t value);
  /* Makes the first value the boolean VALUE. */
  void SetBool(bool value);
  /* Makes the first value the one TEXT describes (see XB_Value::FromText). */
  void SetText(const char* text);

  /* Returns the first value, or null when the node has none. */
  XB_Value* FirstValue();
  int ValueCount() const { return m_values.Count(); }
  XB_Value& Value(int i) { return m_values[i]; }
  const XB_Value& Value(int i) const { return m_values[i]; }
  void AddValue(const XB_Value& value) { m_values.Add(value); }
  void ClearValues() { m_values.Clear(); }

  int ChildCount() const { return static_cast<int>(m_children.size()); }
  /* Returns the name of child I in sorted order (the last one when I is out
  ** of range, the empty text when there are none). */
  const XB_String& ChildName(int i) const;
  /* Returns child I in sorted order, or null when I is out of range. */
  StoreNode* ChildAt(int i) const;
  /* Removes the child named NAME with its subtree.  Returns false when there
  ** is none. */
  bool RemoveChild(const char* name);

  bool IsEmpty() const { return m_children.empty() && m_values.IsEmpty(); }
  /* Returns true when this node or any node below it has a value, that is,
  ** when writing it would write anything. */
  bool HoldsValues() const;
  /* Removes every child, value and the comment. */
  void Clear();
  const XB_String& Comment() const { return m_comment; }
  void SetComment(const char* text) { m_comment = text; }

  /* Reads the content of the element ELEMENTNAME, whose start tag the reader
  ** has just delivered (an empty-element tag has none), into this node:
  ** comments, text items as values,
  ** child elements as child nodes (merged into existing ones).  Ends at the
  ** element's end tag or at the end of input; end tags of other names are
  ** passed over.  Nesting is followed with an explicit stack and bounded by
  ** MaxNesting, so a deeply nested file cannot exhaust the call stack.
  ** Returns true. */
  bool ReadElement(XmlReader& reader, const char* elementName);
  /* Writes NODE as an element named NAME ("null" when absent; a node with
  ** children and an empty name is the document element "xbstore", a node with
  ** values only and an empty name writes just its values).  A node without
  ** any value in its subtree writes nothing.  Returns true. */
  static bool WriteNode(XmlWriter& writer, const StoreNode& node, const char* name);

  /* Returns the text a settings file keeps for a value that is no text:
  ** the value's stored text (XB_Value::StoredText), except that a double
  ** keeps every digit (the shortest text that reads back as the same
  ** double, always with a ".") and a date-time is its number.  Values are
  ** read back with XB_Value::FromText, the one grammar of value texts. */
  static XB_String ValueText(const XB_Value& value);

  /* Returns the boolean at PATH below this node (see GetBool). */
  bool ReadBool(const char* path, bool defaultValue) override;
  /* Returns the integer at PATH below this node (see GetInt). */
  int32_t ReadInt(const char* path, int32_t defaultValue) override;
  /* Stores the boolean VALUE at PATH below this node. */
  void WriteBool(const char* path, bool value) override;
  /* Stores the integer VALUE at PATH below this node. */
  void WriteInt(const char* path, int32_t value) override;

 private:
  struct Entry {
    XB_String name;
    std::unique_ptr<StoreNode> node;
  };

  /* Returns the index where NAME is or would be inserted; *FOUND tells which.
  ** New names usually come in order, so the last entry is tried first. */
  size_t LowerBound(const char* name, bool* found) const;
  /* Returns the first value, adding an empty one when there is none. */
  XB_Value& EnsureFirstValue();

  std::vector<Entry> m_children;
  XB_ArrayObVal<XB_Value> m_values;
  XB_String m_comment;
};

#endif
