/*
** XmlReader: a forgiving pull reader for the small XML dialect of the
** settings, view-state and PAD files.  It delivers items one by one (start
** tag with attributes, end tag, text chunk, comment chunk, end of input),
** decodes entity references and, when the declaration says UTF-8, two-byte
** UTF-8 sequences into ISO-8859-1 bytes.  Malformed input never stops it: it
** records an error code and reads on.
*/
#ifndef XMLREADER_H
#define XMLREADER_H

#include "xb_parameterxml.h"
#include "xb_string.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <vector>

class XmlReader : public XB_XmlSource {
 public:
  enum ItemKind { ItemNone, ItemStartTag, ItemEndTag, ItemText, ItemComment, ItemEndOfInput };

  enum ErrorCodes {
    NoError = 0,
    ErrorSingleSlash = 1,
    ErrorNameExpected = 2,
    ErrorNameOrCloseExpected = 3,
    ErrorEqualsExpected = 4
  };

  static constexpr size_t LineBufferSize = 512;
  static constexpr size_t MaxNameLength = 511;
  static constexpr size_t MaxValueLength = 1023;
  static constexpr size_t MaxTextChunk = 509;
  static constexpr size_t TextChunkWordCut = 256;
  static constexpr size_t MaxCommentChunk = 256;

  /* Makes a closed reader that skips comments. */
  XmlReader();
  /* Closes the file. */
  ~XmlReader() override;

  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;

  /* Opens PATH for reading.  Returns false when it cannot be opened. */
  bool Open(const char* path);
  /* Closes the file; the reader then delivers only the end of input. */
  void Close();
  bool IsOpen() const { return m_file != nullptr; }
  /* Rewinds to the start of the file, clears the reader's state and reads the
  ** XML declaration and one following "<!...>" declaration, if present.
  ** Returns false when no file is open. */
  bool ReadHeader();

  void SetSkipComments(bool on) { m_skipComments = on; }
  bool IsUtf8() const { return m_utf8; }

  /* Advances to the next item and returns its kind.  Declarations met on the
  ** way are skipped, and so are comments while skip comments is on. */
  ItemKind NextItem();
  ItemKind Item() const { return m_item; }
  const XB_String& TagName() const override { return m_tagName; }
  bool IsStartTag() const { return m_item == ItemStartTag; }
  bool IsEndTag() const { return m_item == ItemEndTag; }
  /* Returns true when the current item is an end tag named NAME (ignoring
  ** case). */
  bool IsEndTag(const char* name) const;
  /* Returns true when the current tag's name is NAME, ignoring case. */
  bool TagNameIs(const char* name) const;
  bool HasContent() const override { return m_hasContent; }
  bool AtEnd() const { return m_item == ItemEndOfInput; }
  const XB_String& Text() const { return m_text; }
  const XB_String& CommentText() const { return m_text; }

  /* Takes the next whitespace-separated word, or quoted string with its
  ** quotes, of the element's text into ITEM.  A quoted string may run over
  ** several chunks, joined by one space.  Returns false, leaving the following
  ** tag to be read next, when the text is exhausted. */
  bool NextTextItem(XB_String& item);
  /* Advances to the next start tag named NAME.  Returns false at the end of
  ** input. */
  bool FindElement(const char* name);
  /* Advances to the next start tag before the end tag of PARENT.  Returns
  ** false at that end tag or at the end of input. */
  bool NextChildElement(const char* parent) override;
  /* Advances to the next start tag named NAME before the end tag of PARENT.
  ** Returns false when there is none. */
  bool FindChildElement(const char* name, const char* parent);
  /* Skips to the end tag of NAME, stepping over nested elements of the same
  ** name.  Returns false when the input ends first. */
  bool SkipElement(const char* name) override;
  /* Returns the text chunks up to the next tag, joined by single spaces; the
  ** tag is left to be read next. */
  XB_String ReadText() override;
  /* Reads the next item into TEXT when it is a text chunk and returns true;
  ** otherwise leaves that item to be read next and returns false. */
  bool ElementText(XB_String& text);

  int AttrCount() const { return static_cast<int>(m_attrs.size()); }
  const XB_String& AttrName(int i) const { return m_attrs[static_cast<size_t>(i)].name; }
  const XB_String& AttrValue(int i) const { return m_attrs[static_cast<size_t>(i)].value; }
  /* Returns the first attribute of the current tag named NAME (ignoring
  ** case), or null. */
  bool HasAttr(const char* name) const { return FindAttr(name) != nullptr; }

  /* Returns the attribute's text, or DEFAULTTEXT when it is missing. */
  XB_String GetAttr(const char* name, const char* defaultText = "") const;
  /* Returns the attribute read as a decimal integer (as atoi), or
  ** DEFAULTVALUE when it is missing. */
  int32_t GetAttrInt(const char* name, int32_t defaultValue = 0) const;
  /* Returns the attribute's first (at most) 8 characters read as hex, each
  ** non-hex character counting as digit 0, or DEFAULTVALUE when missing. */
  uint32_t GetAttrHex(const char* name, uint32_t defaultValue = 0) const;
  /* Returns the attribute read as a decimal fraction (as atof), or
  ** DEFAULTVALUE when it is missing. */
  double GetAttrDouble(const char* name, double defaultValue = 0.0) const;
  /* Returns the attribute read as a 64-bit hex number (0 when it has no hex
  ** digits), or DEFAULTVALUE when it is missing. */
  uint64_t GetAttrInt64Hex(const char* name, uint64_t defaultValue = 0) const;
  /* Returns the local midnight of the attribute's date "day.month.year" (or
  ** of DEFAULTTEXT when it is missing); an empty text gives 0.  Day and month
  ** are clamped to their ranges, a year below 1900 has 1900 added. */
  time_t GetAttrDate(const char* name, const char* defaultText = "1.1.1990") const;

  int ErrorCode() const { return m_error; }
  /* Returns the message that goes with an error code. */
  static const char* ErrorText(int code);

 private:
  enum TagToken {
    TokenEndOfInput,
    TokenName,
    TokenEquals,
    TokenValue,
    TokenClose,
    TokenEmptyClose
  };

  struct Attribute {
    XB_String name;
    XB_String value;
  };

  /* Clears everything that belongs to one pass over the file. */
  void ResetState();
  /* Reads the next line (at most LineBufferSize - 1 bytes, line feed
  ** included) into the buffer.  Returns false at the end of input. */
  bool ReadLine();
  /* Makes sure a current character exists, reading lines as needed.
  ** Returns false at the end of input. */
  bool HaveChar();
  /* Returns the byte AHEAD positions after the current one, or -1 when that
  ** lies beyond the end of the current line. */
  int Peek(size_t ahead) const;
  /* Returns true when TEXT starts at the current position of this line. */
  bool LineHas(const char* text) const;
  /* Consumes input up to and including TERMINATOR (across lines), or to the
  ** end of input. */
  void SkipPast(const char* terminator);
  /* Consumes blanks across lines. */
  void SkipBlanks();
  /* Decodes the reference that starts at the "&" under the cursor.  It runs to
  ** the next ";"; stopping first at a "<", at STOPAT (a closing quote, or -1),
  ** or at the end of the line makes the whole reference one space. */
  unsigned char DecodeEntity(int stopAt);
  /* Takes one byte of text, a quoted value or a comment: decodes a reference
  ** or, in a UTF-8 file, joins a two-byte sequence into its ISO-8859-1 byte.
  ** A lead byte without a continuation byte after it is kept as it is. */
  unsigned char TakeTextByte(int stopAt);

  /* Returns the next token inside a tag, skipping blanks and bytes that mean
  ** nothing there.  A lone "/" sets error code 1 and is skipped. */
  TagToken NextTagToken();
  /* Reads the name under the cursor into m_name (MaxNameLength kept). */
  void ReadNameToken();
  /* Reads a quoted value under the cursor into m_value: up to the same quote
  ** or the end of the line, quotes removed, references decoded. */
  void ReadQuotedValue();
  /* Reads a start tag after its "<": the name and the attributes.  Returns
  ** false when no name follows (error code 2); the tag is then skipped. */
  bool ReadStartTag();
  /* Reads an end tag after its "</": the name, then everything up to ">".
  ** Returns false when no name follows (error code 2). */
  bool ReadEndTag();
  /* Consumes the tokens of the current tag up to its closing bracket and
  ** records in the has-content flag how it closed. */
  void SkipRestOfTag();
  /* Reads the name = value pairs of the XML declaration up to "?>" and sets
  ** the UTF-8 flag from its encoding. */
  void ReadDeclarationPairs();
  /* Reads a text chunk: up to the next "<" or the end of the line, decoded,
  ** blank runs reduced to one space, no trailing space; cut after a word once
  ** longer than TextChunkWordCut and never longer than MaxTextChunk.  When the
  ** chunk had to be cut inside a word (at MaxTextChunk, or where an overlong
  ** line was split), it is marked glued: the next chunk continues its word
  ** without a space between them. */
  ItemKind ReadTextChunk(bool afterBlank);
  /* Reads a comment chunk up to "-->" (at most MaxCommentChunk bytes), line
  ** feeds kept, other blanks made spaces, references decoded. */
  ItemKind ReadCommentChunk();
  void PushBack() { m_pending = true; }
  const Attribute* FindAttr(const char* name) const;

  FILE* m_file = nullptr;
  char m_line[LineBufferSize];
  size_t m_lineLength = 0;
  size_t m_pos = 0;
  bool m_inputEnded = false;

  ItemKind m_item = ItemNone;
  XB_String m_tagName;
  XB_String m_text;
  size_t m_textPos = 0;
  bool m_textGlued = false;
  bool m_textAfterBlank = false;
  std::vector<Attribute> m_attrs;
  XB_String m_name;
  XB_String m_value;

  bool m_utf8 = false;
  bool m_skipComments = true;
  bool m_inComment = false;
  bool m_inDeclaration = false;
  bool m_valueExpected = false;
  bool m_hasContent = false;
  bool m_pending = false;
  bool m_tokenPushed = false;
  TagToken m_pushedToken = TokenEndOfInput;
  int m_error = NoError;
};

#endif
