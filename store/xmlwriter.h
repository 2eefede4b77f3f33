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
  /* Closes an open file the way Close() does, so nothing is left unfinished. */
  ~XmlWriter() override;

  /* Opens the output and writes the declaration.  Returns false when no name
  ** is set or the file cannot be created. */
  bool Open() override;
  /* Ends every open element, writes the final line end and closes the file
  ** (replacing the target under safe save).  Returns true only when the whole
  ** document reached its target. */
  bool Close() override;

  void SetLineWidth(int width) { m_lineWidth = width; }
  void EnableIndentation(bool on) { m_indent = on; }
  int Column() const { return m_column; }
  size_t Depth() const { return m_open.size(); }

  /* Starts an element NAME ("filler" when absent, "blank" when empty).  With
  ** HASCONTENT it stays open until EndElement(); otherwise it is closed by
  ** "/>".  Returns false once the output has failed. */
  bool BeginElement(const char* name, bool hasContent = true) override;
  /* Closes an open start tag and ends the line; does nothing without one. */
  void EndStartTag();
  /* Ends open elements from the innermost down to and including the one named
  ** NAME (ignoring case), or only the innermost when NAME is absent or empty.
  ** A NAME that is not open ends nothing. */
  void EndElement(const char* name = nullptr) override;

  /* Writes a text attribute, escaped for a double-quoted value. */
  void WriteAttr(const char* name, const char* text);
  /* Writes an attribute in decimal. */
  void WriteAttrInt(const char* name, int32_t value);
  /* Writes an attribute as eight upper-case hex digits. */
  void WriteAttrHex8(const char* name, uint32_t value);
  /* Writes an attribute as (at least) four upper-case hex digits. */
  void WriteAttrHex4(const char* name, uint32_t value);
  /* Writes an attribute in upper-case hex without leading zeros. */
  void WriteAttrHex(const char* name, uint32_t value);
  /* Writes an attribute as a fixed-point number with six decimals. */
  void WriteAttrDouble(const char* name, double value);
  /* Writes a 64-bit attribute in upper-case hex. */
  void WriteAttrInt64Hex(const char* name, uint64_t value);
  /* Writes a date attribute as day.month.year of local time. */
  void WriteAttrDate(const char* name, time_t date);

  /* Writes one text item, escaped, wrapped at spaces so that lines stay
  ** within the line width.  Texts without a usable space are not broken. */
  void WriteText(const char* text) override;
  /* Writes one text item in double quotes, escaped, never wrapped. */
  void WriteQuotedText(const char* text) override;
  /* Writes a decimal integer item. */
  void WriteInt(int32_t value);
  /* Writes an upper-case hex item without prefix. */
  void WriteHex(uint32_t value);
  /* Writes a colour item: "#" and at least six upper-case hex digits. */
  void WriteColour(uint32_t value);
  /* Writes a fixed-point item with six decimals. */
  void WriteDouble(double value);

  /* Writes a comment.  Leading blanks are skipped, each line feed in TEXT
  ** starts a new line; "&", "<" and ">" are escaped because the reader decodes
  ** entities in comments, and "--" is split so the comment cannot end early. */
  void WriteComment(const char* text);
  /* Writes TEXT as it is, a line end and the indentation for the next line. */
  void WriteLine(const char* text);
  /* Ends the current line. */
  void NewLine();

 private:
  struct OpenElement {
    XB_String name;
    bool inlineContent = false;
  };

  /* Writes a terminated text. */
  /* Writes LENGTH bytes and advances the column past them. */
  void Put(const char* text, size_t length);
  void Put(const XB_String& text) { Put(text.Data(), text.Length()); }
  void Put(const char* text);
  /* Writes the spaces that bring the column to three per level of DEPTH. */
  void Indent(size_t depth);
  /* Closes an open start tag so that content follows on the same line. */
  void CloseStartTagInline();
  /* Prepares for one content item: closes the start tag inline or separates
  ** the item from the previous one by a space. */
  void BeginItem();
  /* Writes ' NAME="VALUE"' into the open start tag; VALUE is already escaped. */
  void WriteAttrRaw(const char* name, const XB_String& value);
  /* Returns the width that wrapping keeps lines within (at least 40). */
  int WrapWidth() const;
  /* Writes one line of a comment's words, breaking at spaces so that lines
  ** stay within the width; continuation lines are indented one space more. */
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
