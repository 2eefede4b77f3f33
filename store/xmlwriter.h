/*
** XmlWriter: a streaming writer for the small XML dialect of the settings
** and view-state files.  It writes the ISO-8859-1 declaration, indents three
** spaces per open element, keeps values on the line of their start tag,
** wraps long texts at spaces to stay within 88 columns, and escapes what the
** reader would otherwise misread.  Under safe save the target is replaced
** only when Close() has written everything.
*/
#ifndef XMLWRITER_H
#define XMLWRITER_H

#include "safefilewriter.h"
#include "xb_parameterxml.h"
#include "xb_string.h"

#include <cstdint>
#include <ctime>
#include <vector>

class XmlWriter : public SafeFileWriter, public XB_XmlTarget {
 public:
  static constexpr int DefaultLineWidth = 88;

  XmlWriter();
  ~XmlWriter() override;

  bool Open() override;
  bool Close() override;

  void SetLineWidth(int width) { m_lineWidth = width; }
  void EnableIndentation(bool on) { m_indent = on; }
  int Column() const { return m_column; }
  size_t Depth() const { return m_open.size(); }

  bool BeginElement(const char* name, bool hasContent = true) override;
  void EndStartTag();
  void EndElement(const char* name = nullptr) override;

  void WriteAttr(const char* name, const char* text);
  void WriteAttrInt(const char* name, int32_t value);
  void WriteAttrHex8(const char* name, uint32_t value);
  void WriteAttrHex4(const char* name, uint32_t value);
  void WriteAttrHex(const char* name, uint32_t value);
  void WriteAttrDouble(const char* name, double value);
  void WriteAttrInt64Hex(const char* name, uint64_t value);
  void WriteAttrDate(const char* name, time_t date);

  void WriteText(const char* text) override;
  /* Writes the UTF-8 text TEXT as one wrapped item that a reader with
  ** Unicode text on reads back exactly as TEXT: characters beyond
  ** ISO-8859-1 and blanks that reading would fold go out as numeric
  ** references (see XmlReader::SetUnicodeText).  A line longer than the
  ** reader's line buffer (a word of over 500 bytes) may still read back
  ** otherwise, so callers that need exactness read the file back. */
  void WriteUnicodeText(const char* text);
  void WriteQuotedText(const char* text) override;
  void WriteInt(int32_t value);
  void WriteHex(uint32_t value);
  void WriteColour(uint32_t value);
  void WriteDouble(double value);

  void WriteComment(const char* text);
  void WriteLine(const char* text);
  void NewLine();

 private:
  struct OpenElement {
    XB_String name;
    bool inlineContent = false;
  };

  void Put(const char* text, size_t length);
  void Put(const XB_String& text) { Put(text.Data(), text.Length()); }
  void Put(const char* text);
  void Indent(size_t depth);
  void CloseStartTagInline();
  void BeginItem();
  void WriteAttrRaw(const char* name, const XB_String& value);
  int WrapWidth() const;
  void WriteEscapedText(const XB_String& escaped);
  void WriteCommentLine(const XB_String& line, size_t depth);

  int m_column = 0;
  int m_lineWidth = DefaultLineWidth;
  bool m_indent = true;
  std::vector<OpenElement> m_open;
  XB_String m_lastName;
  bool m_startTagOpen = false;
  bool m_startTagHasContent = false;
  bool m_itemWritten = false;
};

#endif
