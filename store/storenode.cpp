/*
** The settings tree: child lookup and insertion in case-insensitive name
** order, path resolution, typed getters that store their defaults, the text
** rules that turn an element's text items into typed values and back, and
** reading and writing a subtree with the XML reader and writer.
*/
#include "storenode.h"

#include "xmlreader.h"
#include "xmlwriter.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

/* Returns the integer reading of a setting's VALUE: the parameter
** library's AsInt (which may turn a "true" or "#" text into its kind), but
** a range gives 0, as a range is no single number to a setting. */
static int32_t IntegerOf(XB_Value& value) {
  if (value.Kind() == VK_RANGE) return 0;
  return value.AsInt();
}

/* Compares names ignoring ASCII letter case; an absent name is empty. */
static int CompareNames(const XB_String& a, const char* b) {
  return a.CompareNoCase(b ? b : "");
}

/* Returns the shortest decimal text that reads back as VALUE; it always
** holds a "." so that the text rules read it as a double again. */
static XB_String DoubleText(double value) {
  if (!std::isfinite(value))
    return XB_String(value != value ? "0.0" : (value > 0 ? "1.0e308" : "-1.0e308"));
  char text[64];
  for (int precision = 1; precision <= 17; ++precision) {
    snprintf(text, sizeof text, "%.*g", precision, value);
    if (strtod(text, nullptr) == value) break;
  }
  XB_String result(text);
  if (result.Find('.') >= 0) return result;
  ptrdiff_t exponent = result.Find('e');
  if (exponent < 0) return result.Append(".0");
  result.Insert(static_cast<size_t>(exponent), ".0");
  return result;
}

StoreNode::StoreNode() = default;

StoreNode::~StoreNode() = default;

size_t StoreNode::LowerBound(const char* name, bool* found) const {
  *found = false;
  size_t count = m_children.size();
  if (count == 0) return 0;
  int last = CompareNames(m_children[count - 1].name, name);
  if (last < 0) return count;
  if (last == 0) {
    *found = true;
    return count - 1;
  }
  int first = CompareNames(m_children[0].name, name);
  if (first >= 0) {
    *found = first == 0;
    return 0;
  }
  size_t low = 1, high = count - 1;
  while (low < high) {
    size_t mid = low + (high - low) / 2;
    if (CompareNames(m_children[mid].name, name) < 0)
      low = mid + 1;
    else
      high = mid;
  }
  *found = CompareNames(m_children[low].name, name) == 0;
  return low;
}

StoreNode* StoreNode::Child(const char* name) {
  bool found = false;
  size_t at = LowerBound(name, &found);
  if (found) return m_children[at].node.get();
  Entry entry{XB_String(name), std::make_unique<StoreNode>()};
  StoreNode* child = entry.node.get();
  m_children.insert(m_children.begin() + static_cast<ptrdiff_t>(at), std::move(entry));
  return child;
}

StoreNode* StoreNode::FindChild(const char* name) const {
  bool found = false;
  size_t at = LowerBound(name, &found);
  return found ? m_children[at].node.get() : nullptr;
}

bool StoreNode::RemoveChild(const char* name) {
  bool found = false;
  size_t at = LowerBound(name, &found);
  if (!found) return false;
  m_children.erase(m_children.begin() + static_cast<ptrdiff_t>(at));
  return true;
}

StoreNode* StoreNode::Path(const char* path) {
  StoreNode* node = this;
  const char* p = path ? path : "";
  while (*p) {
    const char* slash = strchr(p, '/');
    size_t length = slash ? static_cast<size_t>(slash - p) : strlen(p);
    if (length > 0) node = node->Child(XB_String(p, length).c_str());
    if (!slash) break;
    p = slash + 1;
  }
  return node;
}

const XB_String& StoreNode::ChildName(int i) const {
  static const XB_String none;
  if (m_children.empty()) return none;
  size_t at = i < 0 ? 0
                    : (static_cast<size_t>(i) >= m_children.size() ? m_children.size() - 1
                                                                   : static_cast<size_t>(i));
  return m_children[at].name;
}

StoreNode* StoreNode::ChildAt(int i) const {
  if (i < 0 || static_cast<size_t>(i) >= m_children.size()) return nullptr;
  return m_children[static_cast<size_t>(i)].node.get();
}

bool StoreNode::HoldsValues() const {
  std::vector<const StoreNode*> pending{this};
  while (!pending.empty()) {
    const StoreNode* node = pending.back();
    pending.pop_back();
    if (!node->m_values.IsEmpty()) return true;
    for (const Entry& entry : node->m_children) pending.push_back(entry.node.get());
  }
  return false;
}

void StoreNode::Clear() {
  m_children.clear();
  m_values.Clear();
  m_comment.Clear();
}

XB_Value* StoreNode::FirstValue() {
  return m_values.IsEmpty() ? nullptr : &m_values[0];
}

XB_Value& StoreNode::EnsureFirstValue() {
  if (m_values.IsEmpty()) m_values.Add(XB_Value());
  return m_values[0];
}

bool StoreNode::GetBool(bool defaultValue) {
  if (m_values.IsEmpty()) m_values.Add(XB_Value(defaultValue));
  return IntegerOf(m_values[0]) > 0;
}

int32_t StoreNode::GetInt(int32_t defaultValue) {
  if (m_values.IsEmpty()) {
    m_values.Add(XB_Value(defaultValue));
    return defaultValue;
  }
  return IntegerOf(m_values[0]);
}

int32_t StoreNode::GetInt(int32_t defaultValue, int32_t minimum, int32_t maximum) {
  if (m_values.IsEmpty()) return GetInt(defaultValue);
  int32_t value = IntegerOf(m_values[0]);
  if (value < minimum) return minimum;
  return value > maximum ? maximum : value;
}

void StoreNode::SetInt(int32_t value) {
  EnsureFirstValue() = XB_Value(value);
}

void StoreNode::SetBool(bool value) {
  EnsureFirstValue() = XB_Value(value);
}

void StoreNode::SetText(const char* text) {
  EnsureFirstValue() = XB_Value::FromText(text ? text : "");
}

XB_String StoreNode::ValueText(const XB_Value& value) {
  switch (value.Kind()) {
    case VK_REAL:
      // The stored text of the parameter library keeps three decimals, as
      // dialogs show them; a settings file keeps the whole double.
      return DoubleText(value.Real());
    case VK_DATETIME:
      // The local date form does not read back; the number does.
      return XB_String::Formatted("%d", value.Number());
    default:
      return value.StoredText();
  }
}

bool StoreNode::ReadElement(XmlReader& reader, const char* elementName) {
  struct Frame {
    StoreNode* node;
    XB_String name;
    bool valuesStarted;
    bool commentStarted;
  };
  if (reader.IsStartTag() && reader.TagNameIs(elementName) && !reader.HasContent()) return true;
  std::vector<Frame> open;
  open.push_back({this, XB_String(elementName), false, false});
  XB_String item;
  while (!open.empty()) {
    Frame& frame = open.back();
    switch (reader.NextItem()) {
      case XmlReader::ItemEndOfInput:
        return true;
      case XmlReader::ItemComment:
        if (!frame.commentStarted) frame.node->m_comment.Clear();
        frame.commentStarted = true;
        frame.node->m_comment += reader.CommentText();
        break;
      case XmlReader::ItemText:
        while (reader.NextTextItem(item)) {
          if (!frame.valuesStarted) frame.node->m_values.Clear();
          frame.valuesStarted = true;
          frame.node->m_values.Add(XB_Value::FromText(item.View()));
        }
        break;
      case XmlReader::ItemStartTag: {
        /* An empty-element tag names a child without content.  Nesting
            ** is bounded so that writing and freeing the tree stay shallow;
            ** the text of deeper elements goes to the deepest node kept. */
        if (open.size() > MaxNesting) break;
        StoreNode* child = frame.node->Child(reader.TagName().c_str());
        if (reader.HasContent()) open.push_back({child, reader.TagName(), false, false});
        break;
      }
      case XmlReader::ItemEndTag:
        if (reader.IsEndTag(frame.name.c_str())) open.pop_back();
        break;
      default:
        break;
    }
  }
  return true;
}

/* Writes NODE's values: texts quoted, everything else in its text form. */
static void WriteValues(XmlWriter& writer, const StoreNode& node) {
  for (int i = 0; i < node.ValueCount(); ++i) {
    const XB_Value& value = node.Value(i);
    if (value.IsNone()) continue;
    if (value.IsText())
      writer.WriteQuotedText(value.AsText().c_str());
    else
      writer.WriteText(StoreNode::ValueText(value).c_str());
  }
}

bool StoreNode::WriteNode(XmlWriter& writer, const StoreNode& node, const char* name) {
  if (!node.HoldsValues()) return true;
  XB_String tag(name ? name : "null");
  XB_String comment = node.m_comment;
  comment.Trim();
  if (!node.m_children.empty()) {
    if (tag.IsEmpty()) tag = "xbstore";
    writer.BeginElement(tag.c_str(), true);
    writer.EndStartTag();
    if (!comment.IsEmpty()) writer.WriteComment(comment.c_str());
    WriteValues(writer, node);
    for (const Entry& entry : node.m_children) WriteNode(writer, *entry.node, entry.name.c_str());
    writer.EndElement(tag.c_str());
    return true;
  }
  if (!tag.IsEmpty()) writer.BeginElement(tag.c_str(), true);
  if (!comment.IsEmpty()) writer.WriteComment(comment.c_str());
  WriteValues(writer, node);
  if (!tag.IsEmpty()) writer.EndElement(tag.c_str());
  return true;
}

bool StoreNode::ReadBool(const char* path, bool defaultValue) {
  return Path(path)->GetBool(defaultValue);
}

int32_t StoreNode::ReadInt(const char* path, int32_t defaultValue) {
  return Path(path)->GetInt(defaultValue);
}

void StoreNode::WriteBool(const char* path, bool value) {
  Path(path)->SetBool(value);
}

void StoreNode::WriteInt(const char* path, int32_t value) {
  Path(path)->SetInt(value);
}
