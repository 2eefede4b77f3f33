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

  XmlReader();
  ~XmlReader() override;

  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;

  bool Open(const char* path);
  void Close();
  bool IsOpen() const { return m_file != nullptr; }
  bool ReadHeader();

  void SetSkipComments(bool on) { m_skipComments = on; }
  bool IsUtf8() const { return m_utf8; }

  /* With Unicode text on, texts, attribute values and comments arrive as
  ** UTF-8 instead of ISO-8859-1 bytes: every numeric reference becomes its
  ** character, a valid UTF-8 sequence in the file is kept and any other
  ** high byte is read as ISO-8859-1.  Off by default. */
  void SetUnicodeText(bool on) { m_unicodeText = on; }

  ItemKind NextItem();
  ItemKind Item() const { return m_item; }
  const XB_String& TagName() const override { return m_tagName; }
  bool IsStartTag() const { return m_item == ItemStartTag; }
  bool IsEndTag() const { return m_item == ItemEndTag; }
  bool IsEndTag(const char* name) const;
  bool TagNameIs(const char* name) const;
  bool HasContent() const override { return m_hasContent; }
  bool AtEnd() const { return m_item == ItemEndOfInput; }
  const XB_String& Text() const { return m_text; }
  const XB_String& CommentText() const { return m_text; }

  bool NextTextItem(XB_String& item);
  bool FindElement(const char* name);
  bool NextChildElement(const char* parent) override;
  bool FindChildElement(const char* name, const char* parent);
  bool SkipElement(const char* name) override;
  XB_String ReadText() override;
  bool ElementText(XB_String& text);

  int AttrCount() const { return static_cast<int>(m_attrs.size()); }
  const XB_String& AttrName(int i) const { return m_attrs[static_cast<size_t>(i)].name; }
  const XB_String& AttrValue(int i) const { return m_attrs[static_cast<size_t>(i)].value; }
  bool HasAttr(const char* name) const { return FindAttr(name) != nullptr; }

  XB_String GetAttr(const char* name, const char* defaultText = "") const;
  int32_t GetAttrInt(const char* name, int32_t defaultValue = 0) const;
  uint32_t GetAttrHex(const char* name, uint32_t defaultValue = 0) const;
  double GetAttrDouble(const char* name, double defaultValue = 0.0) const;
  uint64_t GetAttrInt64Hex(const char* name, uint64_t defaultValue = 0) const;
  time_t GetAttrDate(const char* name, const char* defaultText = "1.1.1990") const;

  int ErrorCode() const { return m_error; }
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

  void ResetState();
  bool ReadLine();
  bool HaveChar();
  int Peek(size_t ahead) const;
  bool LineHas(const char* text) const;
  void SkipPast(const char* terminator);
  void SkipBlanks();
  long DecodeEntity(int stopAt, bool* numeric);
  void TakeText(int stopAt, XB_String& piece, bool* literal);

  TagToken NextTagToken();
  void ReadNameToken();
  void ReadQuotedValue();
  bool ReadStartTag();
  bool ReadEndTag();
  void SkipRestOfTag();
  void ReadDeclarationPairs();
  ItemKind ReadTextChunk(bool afterBlank);
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
  bool m_unicodeText = false;
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
