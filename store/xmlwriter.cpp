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

/* Decodes the UTF-8 text TEXT into code points; a byte that starts no valid
** sequence stands for itself (ISO-8859-1). */
static std::vector<uint32_t> CodePoints(const char* text) {
  std::vector<uint32_t> points;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    unsigned char lead = *p;
    int need = lead >= 0xC2 && lead <= 0xDF   ? 1
               : lead >= 0xE0 && lead <= 0xEF ? 2
               : lead >= 0xF0 && lead <= 0xF4 ? 3
                                              : 0;
    uint32_t cp = need == 1 ? lead & 0x1F : need == 2 ? lead & 0x0F : lead & 0x07;
    int i = 1;
    for (; i <= need && (p[i] & 0xC0) == 0x80; ++i) cp = (cp << 6) | (p[i] & 0x3F);
    bool valid = need > 0 && i == need + 1 && !(need == 2 && cp < 0x800) &&
                 !(need == 3 && (cp < 0x10000 || cp > 0x10FFFF)) && !(cp >= 0xD800 && cp <= 0xDFFF);
    points.push_back(valid ? cp : lead);
    p += valid ? need + 1 : 1;
  }
  return points;
}

/* Returns the UTF-8 text TEXT in ISO-8859-1, escaped so that a reader with
** Unicode text on gives back exactly TEXT: characters beyond ISO-8859-1,
** blanks other than single spaces between two other characters, and bytes
** that would read as a UTF-8 sequence become hexadecimal references. */
static XB_String EscapedUnicode(const char* text) {
  XB_String out;
  if (!text) return out;
  std::vector<uint32_t> points = CodePoints(text);
  for (size_t i = 0; i < points.size(); ++i) {
    uint32_t cp = points[i];
    uint32_t next = i + 1 < points.size() ? points[i + 1] : 0;
    bool reference = false;
    if (cp == ' ' || cp <= 13)
      reference = !(cp == ' ' && i > 0 && !IsBlank(static_cast<unsigned char>(points[i - 1])) &&
                    next != 0 && !IsBlank(static_cast<unsigned char>(next)));
    else if (cp > 0xFF)
      reference = true;
    else if (cp >= 0xC2 && cp <= 0xF4)
      reference = next >= 0x80 && next <= 0xBF;
    if (reference) {
      out += XB_String::Formatted("&#x%X;", cp);
    } else if (cp == '&' || cp == '<' || cp == '>') {
      out += cp == '&' ? "&amp;" : cp == '<' ? "&lt;" : "&gt;";
    } else {
      out += static_cast<char>(cp);
    }
  }
  return out;
}

/* Returns true when two names are equal ignoring ASCII letter case. */
static bool SameNameNoCase(const XB_String& a, const char* b) {
  return a.CompareNoCase(b ? b : "") == 0;
}

XmlWriter::XmlWriter() = default;

/* Closes an open file the way Close() does, so nothing is left unfinished. */
XmlWriter::~XmlWriter() {
  if (IsOpen()) XmlWriter::Close();
}

/* Opens the output and writes the declaration.  Returns false when no name
** is set or the file cannot be created. */
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

/* Ends every open element, writes the final line end and closes the file
** (replacing the target under safe save).  Returns true only when the whole
** document reached its target. */
bool XmlWriter::Close() {
  if (!IsOpen()) return false;
  EndStartTag();
  while (!m_open.empty() && !Failed()) EndElement(nullptr);
  m_open.clear();
  Put("\n");
  return SafeFileWriter::Close();
}

/* Writes LENGTH bytes and advances the column past them. */
void XmlWriter::Put(const char* text, size_t length) {
  if (!WriteBytes(text, length)) return;
  for (size_t i = 0; i < length; ++i) m_column = text[i] == '\n' ? 0 : m_column + 1;
}

/* Writes a terminated text. */
void XmlWriter::Put(const char* text) {
  Put(text, strlen(text));
}

/* Writes the spaces that bring the column to three per level of DEPTH. */
void XmlWriter::Indent(size_t depth) {
  if (!m_indent) return;
  long spaces = 3 * static_cast<long>(depth) - m_column;
  for (long i = 0; i < spaces; ++i) Put(" ", 1);
}

/* Returns the width that wrapping keeps lines within (at least 40). */
int XmlWriter::WrapWidth() const {
  return m_lineWidth < 40 ? 40 : m_lineWidth;
}

/* Starts an element NAME ("filler" when absent, "blank" when empty).  With
** HASCONTENT it stays open until EndElement(); otherwise it is closed by
** "/>".  Returns false once the output has failed. */
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

/* Closes an open start tag and ends the line; does nothing without one. */
void XmlWriter::EndStartTag() {
  if (!m_startTagOpen) return;
  m_startTagOpen = false;
  Put(m_startTagHasContent ? ">\n" : "/>\n");
}

/* Closes an open start tag so that content follows on the same line. */
void XmlWriter::CloseStartTagInline() {
  m_startTagOpen = false;
  Put(m_startTagHasContent ? "> " : "/> ");
  if (m_startTagHasContent && !m_open.empty()) m_open.back().inlineContent = true;
}

/* Prepares for one content item: closes the start tag inline or separates
** the item from the previous one by a space. */
void XmlWriter::BeginItem() {
  if (m_startTagOpen)
    CloseStartTagInline();
  else if (m_itemWritten && m_column > 0)
    Put(" ", 1);
}

/* Ends open elements from the innermost down to and including the one named
** NAME (ignoring case), or only the innermost when NAME is absent or empty.
** A NAME that is not open ends nothing. */
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

/* Writes ' NAME="VALUE"' into the open start tag; VALUE is already escaped. */
void XmlWriter::WriteAttrRaw(const char* name, const XB_String& value) {
  if (!m_startTagOpen || Failed()) return;
  Put(" ", 1);
  Put(name ? name : "");
  Put("=\"", 2);
  Put(value);
  Put("\"", 1);
}

/* Writes a text attribute, escaped for a double-quoted value. */
void XmlWriter::WriteAttr(const char* name, const char* text) {
  WriteAttrRaw(name, Escaped(text, true));
}

/* Writes an attribute in decimal. */
void XmlWriter::WriteAttrInt(const char* name, int32_t value) {
  WriteAttrRaw(name, XB_String::Formatted("%d", value));
}

/* Writes an attribute as eight upper-case hex digits. */
void XmlWriter::WriteAttrHex8(const char* name, uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
  WriteAttrRaw(name, text);
}

/* Writes an attribute as (at least) four upper-case hex digits. */
void XmlWriter::WriteAttrHex4(const char* name, uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
  WriteAttrRaw(name, text);
}

/* Writes an attribute in upper-case hex without leading zeros. */
void XmlWriter::WriteAttrHex(const char* name, uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
  WriteAttrRaw(name, text);
}

/* Writes an attribute as a fixed-point number with six decimals. */
void XmlWriter::WriteAttrDouble(const char* name, double value) {
  char text[400];
  snprintf(text, sizeof text, "%f", value);
  WriteAttrRaw(name, text);
}

/* Writes a 64-bit attribute in upper-case hex. */
void XmlWriter::WriteAttrInt64Hex(const char* name, uint64_t value) {
  char text[24];
  snprintf(text, sizeof text, "%" PRIX64, value);
  WriteAttr(name, text);
}

/* Writes a date attribute as day.month.year of local time. */
void XmlWriter::WriteAttrDate(const char* name, time_t date) {
  char text[32];
  struct tm fields;
  if (!localtime_r(&date, &fields) || !strftime(text, sizeof text, "%d.%m.%Y", &fields))
    text[0] = 0;
  WriteAttr(name, text);
}

/* Writes one text item, escaped, wrapped at spaces so that lines stay
** within the line width.  Texts without a usable space are not broken. */
void XmlWriter::WriteText(const char* text) {
  WriteEscapedText(Escaped(text, false));
}

void XmlWriter::WriteUnicodeText(const char* text) {
  WriteEscapedText(EscapedUnicode(text));
}

/* Writes the escaped text ESCAPED as one item, wrapped at its spaces. */
void XmlWriter::WriteEscapedText(const XB_String& escaped) {
  if (!IsOpen() || Failed()) return;
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

/* Writes one text item in double quotes, escaped, never wrapped. */
void XmlWriter::WriteQuotedText(const char* text) {
  if (!IsOpen() || Failed()) return;
  BeginItem();
  Indent(m_open.size());
  Put("\"", 1);
  Put(Escaped(text, true));
  Put("\"", 1);
  m_itemWritten = true;
}

/* Writes a decimal integer item. */
void XmlWriter::WriteInt(int32_t value) {
  WriteText(XB_String::Formatted("%d", value).c_str());
}

/* Writes an upper-case hex item without prefix. */
void XmlWriter::WriteHex(uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
  WriteText(text);
}

/* Writes a colour item: "#" and at least six upper-case hex digits. */
void XmlWriter::WriteColour(uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(value));
  WriteText(text);
}

/* Writes a fixed-point item with six decimals. */
void XmlWriter::WriteDouble(double value) {
  char text[400];
  snprintf(text, sizeof text, "%f", value);
  WriteText(text);
}

/* Writes one line of a comment's words, breaking at spaces so that lines
** stay within the width; continuation lines are indented one space more. */
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

/* Writes a comment.  Leading blanks are skipped, each line feed in TEXT
** starts a new line; "&", "<" and ">" are escaped because the reader decodes
** entities in comments, and "--" is split so the comment cannot end early. */
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

/* Writes TEXT as it is, a line end and the indentation for the next line. */
void XmlWriter::WriteLine(const char* text) {
  if (!IsOpen() || Failed()) return;
  EndStartTag();
  Put(text ? text : "");
  Put("\n", 1);
  Indent(m_open.size());
}

/* Ends the current line. */
void XmlWriter::NewLine() {
  if (!IsOpen() || Failed()) return;
  Put("\n", 1);
}
