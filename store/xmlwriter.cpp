/*
** The XML writer.  Layout rules: a start tag stays open for attributes until
** content or a child follows; a value written right after its start tag
** closes it inline ("<name> value</name>"), a child closes it with a line
** end; every line starts with three spaces per open element.  The column is
** tracked from the bytes actually written, which drives the wrapping.
*/
#include "xmlwriter.h"

#include <cinttypes>
#include <cstring>

static const char XmlDeclaration[] = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n";

/* Longest element name remembered as the last one begun. */
static const size_t MaxLastName = 255;

/* Returns TEXT with "&", "<" and ">" escaped, and the double quote too when
** QUOTES is set.  Other bytes are kept as they are. */
static XB_String Escaped(const char* text, bool quotes) {
  XB_String out;
  if (!text) return out;
  for (const char* p = text; *p; ++p) {
    switch (*p) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        if (quotes) {
          out += "&quot;";
          break;
        }
        out += '"';
        break;
      default:
        out += *p;
    }
  }
  return out;
}

/* Returns true for the bytes the dialect treats as blank: space and 0-13. */
static bool IsBlank(unsigned char c) {
  return c == ' ' || c <= 13;
}

/* Returns true when two names are equal ignoring ASCII letter case. */
static bool SameNameNoCase(const XB_String& a, const char* b) {
  return a.CompareNoCase(b ? b : "") == 0;
}

XmlWriter::XmlWriter() = default;

XmlWriter::~XmlWriter() {
  if (IsOpen()) XmlWriter::Close();
}

bool XmlWriter::Open() {
  m_column = 0;
  m_open.clear();
  m_lastName.Clear();
  m_startTagOpen = false;
  m_itemWritten = false;
  if (!SafeFileWriter::Open()) return false;
  Put(XmlDeclaration);
  return !Failed();
}

bool XmlWriter::Close() {
  if (!IsOpen()) return false;
  EndStartTag();
  while (!m_open.empty() && !Failed()) EndElement(nullptr);
  m_open.clear();
  Put("\n");
  return SafeFileWriter::Close();
}

void XmlWriter::Put(const char* text, size_t length) {
  if (!WriteBytes(text, length)) return;
  for (size_t i = 0; i < length; ++i) m_column = text[i] == '\n' ? 0 : m_column + 1;
}

void XmlWriter::Put(const char* text) {
  Put(text, strlen(text));
}

void XmlWriter::Indent(size_t depth) {
  if (!m_indent) return;
  long spaces = 3 * static_cast<long>(depth) - m_column;
  for (long i = 0; i < spaces; ++i) Put(" ", 1);
}

int XmlWriter::WrapWidth() const {
  return m_lineWidth < 40 ? 40 : m_lineWidth;
}

bool XmlWriter::BeginElement(const char* name, bool hasContent) {
  if (!IsOpen() || Failed()) return false;
  EndStartTag();
  XB_String tag = !name ? "filler" : (*name ? name : "blank");
  if (m_column != 0) Put("\n", 1);
  Indent(m_open.size());
  Put("<", 1);
  Put(tag);
  m_lastName = tag.Left(MaxLastName);
  m_startTagOpen = true;
  m_startTagHasContent = hasContent;
  m_itemWritten = false;
  if (hasContent) m_open.push_back({tag, false});
  return !Failed();
}

void XmlWriter::EndStartTag() {
  if (!m_startTagOpen) return;
  m_startTagOpen = false;
  Put(m_startTagHasContent ? ">\n" : "/>\n");
}

void XmlWriter::CloseStartTagInline() {
  m_startTagOpen = false;
  Put(m_startTagHasContent ? "> " : "/> ");
  if (m_startTagHasContent && !m_open.empty()) m_open.back().inlineContent = true;
}

void XmlWriter::BeginItem() {
  if (m_startTagOpen)
    CloseStartTagInline();
  else if (m_itemWritten && m_column > 0)
    Put(" ", 1);
}

void XmlWriter::EndElement(const char* name) {
  if (!IsOpen() || Failed()) return;
  size_t target = m_open.size();
  if (name && *name) {
    while (target > 0 && !SameNameNoCase(m_open[target - 1].name, name)) --target;
  }
  if (target == 0) {
    EndStartTag();
    return;
  }
  if (m_startTagOpen)
    EndStartTag();
  else if (m_itemWritten && m_column > WrapWidth() - 10)
    Put("\n", 1);
  while (m_open.size() >= target) {
    OpenElement element = m_open.back();
    m_open.pop_back();
    if (!element.inlineContent || m_column < 2) Indent(m_open.size());
    Put("</", 2);
    Put(element.name);
    Put(">\n", 2);
  }
  m_itemWritten = false;
}

void XmlWriter::WriteAttrRaw(const char* name, const XB_String& value) {
  if (!m_startTagOpen || Failed()) return;
  Put(" ", 1);
  Put(name ? name : "");
  Put("=\"", 2);
  Put(value);
  Put("\"", 1);
}

void XmlWriter::WriteAttr(const char* name, const char* text) {
  WriteAttrRaw(name, Escaped(text, true));
}

void XmlWriter::WriteAttrInt(const char* name, int32_t value) {
  WriteAttrRaw(name, XB_String::Formatted("%d", value));
}

void XmlWriter::WriteAttrHex8(const char* name, uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
  WriteAttrRaw(name, text);
}

void XmlWriter::WriteAttrHex4(const char* name, uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
  WriteAttrRaw(name, text);
}

void XmlWriter::WriteAttrHex(const char* name, uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
  WriteAttrRaw(name, text);
}

void XmlWriter::WriteAttrDouble(const char* name, double value) {
  char text[400];
  snprintf(text, sizeof text, "%f", value);
  WriteAttrRaw(name, text);
}

void XmlWriter::WriteAttrInt64Hex(const char* name, uint64_t value) {
  char text[24];
  snprintf(text, sizeof text, "%" PRIX64, value);
  WriteAttr(name, text);
}

void XmlWriter::WriteAttrDate(const char* name, time_t date) {
  char text[32];
  struct tm fields;
  if (!localtime_r(&date, &fields) || !strftime(text, sizeof text, "%d.%m.%Y", &fields))
    text[0] = 0;
  WriteAttr(name, text);
}

void XmlWriter::WriteText(const char* text) {
  if (!IsOpen() || Failed()) return;
  XB_String escaped = Escaped(text, false);
  int width = WrapWidth();
  size_t depth = m_open.size();
  BeginItem();
  if (m_column > width - 10)
    Put("\n", 1);
  else if (escaped.BeginsWith("\"") &&
           m_column + static_cast<long>(escaped.Length()) + 3 * static_cast<long>(depth) >
               width - 20)
    Put("\n", 1);
  Indent(depth);
  const char* rest = escaped.Data();
  size_t remaining = escaped.Length();
  while (m_column + static_cast<long>(remaining) > width && remaining > 10) {
    long room = width - m_column;
    long space = room < static_cast<long>(remaining) ? room : static_cast<long>(remaining) - 1;
    while (space > 0 && rest[space] != ' ') --space;
    if (space <= 0) break;
    Put(rest, space);
    Put("\n", 1);
    Indent(depth);
    rest += space + 1;
    remaining -= space + 1;
  }
  Put(rest, remaining);
  m_itemWritten = true;
}

void XmlWriter::WriteQuotedText(const char* text) {
  if (!IsOpen() || Failed()) return;
  BeginItem();
  Indent(m_open.size());
  Put("\"", 1);
  Put(Escaped(text, true));
  Put("\"", 1);
  m_itemWritten = true;
}

void XmlWriter::WriteInt(int32_t value) {
  WriteText(XB_String::Formatted("%d", value).c_str());
}

void XmlWriter::WriteHex(uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
  WriteText(text);
}

void XmlWriter::WriteColour(uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(value));
  WriteText(text);
}

void XmlWriter::WriteDouble(double value) {
  char text[400];
  snprintf(text, sizeof text, "%f", value);
  WriteText(text);
}

void XmlWriter::WriteCommentLine(const XB_String& line, size_t depth) {
  int width = WrapWidth();
  bool first = true;
  size_t pos = 0;
  while (pos < line.Length()) {
    while (pos < line.Length() && line[pos] == ' ') ++pos;
    size_t end = pos;
    while (end < line.Length() && line[end] != ' ') ++end;
    if (end == pos) break;
    long length = static_cast<long>(end - pos);
    if (!first && m_column + 1 + length > width) {
      Put("\n", 1);
      Indent(depth);
      Put(" ", 1);
    } else if (!first) {
      Put(" ", 1);
    }
    Put(line.Data() + pos, end - pos);
    first = false;
    pos = end;
  }
}

void XmlWriter::WriteComment(const char* text) {
  if (!IsOpen() || Failed()) return;
  size_t depth = m_open.size();
  if (m_column == 0) {
    Indent(depth);
  } else {
    BeginItem();
    m_itemWritten = true;
  }
  const char* p = text ? text : "";
  while (*p && IsBlank(static_cast<unsigned char>(*p))) ++p;
  XB_String body = Escaped(p, false);
  while (body.ReplaceAll("--", "- -") > 0) {
  }
  Put("<!-- ");
  bool hadLineFeed = false;
  size_t start = 0;
  for (;;) {
    ptrdiff_t lf = body.Find('\n', start);
    size_t end = lf < 0 ? body.Length() : static_cast<size_t>(lf);
    XB_String line;
    for (size_t i = start; i < end; ++i)
      line += IsBlank(static_cast<unsigned char>(body[i])) ? ' ' : body[i];
    WriteCommentLine(line, depth);
    if (lf < 0) break;
    hadLineFeed = true;
    Put("\n", 1);
    Indent(depth);
    Put(" ", 1);
    start = end + 1;
  }
  Put(" -->");
  if (m_column > WrapWidth() || hadLineFeed) Put("\n", 1);
}

void XmlWriter::WriteLine(const char* text) {
  if (!IsOpen() || Failed()) return;
  EndStartTag();
  Put(text ? text : "");
  Put("\n", 1);
  Indent(m_open.size());
}

void XmlWriter::NewLine() {
  if (!IsOpen() || Failed()) return;
  Put("\n", 1);
}
