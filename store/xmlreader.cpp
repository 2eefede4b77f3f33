/*
** The XML reader.  Input is read one line at a time into a fixed buffer (a
** longer line arrives in pieces, each treated as a line) and no token looks
** beyond the end of its line, so every token is bounded by the buffer.  Tags
** and comments may span lines; text chunks end at the end of their line.
** One item can be pushed back, which lets NextTextItem() and ElementText()
** stop in front of a tag without consuming it.
*/
#include "xmlreader.h"

#include <cctype>
#include <cinttypes>
#include <climits>
#include <cstdlib>
#include <cstring>

/* Returns true for the bytes the dialect treats as blank: space and 0-13. */
static bool IsBlank(unsigned char c) {
  return c == ' ' || c <= 13;
}

/* Returns true for the ASCII letters a-z and A-Z. */
static bool IsAsciiLetter(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

/* Returns true for the decimal digits. */
static bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}

/* Returns true for a byte that may start a name: letter, "_" or ":". */
static bool IsNameStart(unsigned char c) {
  return IsAsciiLetter(c) || c == '_' || c == ':';
}

/* Returns true for a byte that may continue a name. */
static bool IsNameChar(unsigned char c) {
  return IsNameStart(c) || IsDigit(c) || c == '-' || c == '.';
}

/* Returns true when A equals B ignoring ASCII letter case. */
static bool EqualsNoCase(const char* a, const char* b) {
  return XB_String(a).CompareNoCase(b ? b : "") == 0;
}

/* Returns the code point of the numeric reference NAME ("#" and decimal
** digits, or "#x" and hex digits), or -1 when NAME is no such reference or
** names no Unicode character. */
static long NumericReference(const char* name) {
  if (name[0] != '#') return -1;
  bool hex = name[1] == 'x' || name[1] == 'X';
  const char* digits = name + (hex ? 2 : 1);
  if (!*digits) return -1;
  long value = 0;
  for (const char* p = digits; *p; ++p) {
    int digit = IsDigit(static_cast<unsigned char>(*p)) ? *p - '0' : -1;
    if (hex && digit < 0 && isxdigit(static_cast<unsigned char>(*p)))
      digit = 10 + (tolower(static_cast<unsigned char>(*p)) - 'a');
    if (digit < 0) return -1;
    value = value * (hex ? 16 : 10) + digit;
    if (value > 0x10FFFF) return -1;
  }
  if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) return -1;
  return value;
}

/* Appends code point CP to OUT as UTF-8. */
static void AppendUtf8(XB_String& out, long cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

/* Returns the length of the valid UTF-8 sequence of two or more bytes at
** TEXT (at most LENGTH bytes available), or 0 when there is none. */
static size_t Utf8SequenceLength(const char* text, size_t length) {
  unsigned char lead = static_cast<unsigned char>(text[0]);
  size_t need = lead >= 0xC2 && lead <= 0xDF   ? 2
                : lead >= 0xE0 && lead <= 0xEF ? 3
                : lead >= 0xF0 && lead <= 0xF4 ? 4
                                               : 0;
  if (need == 0 || need > length) return 0;
  for (size_t i = 1; i < need; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0;
  }
  unsigned char second = static_cast<unsigned char>(text[1]);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
    return 0;
  return need;
}

/* Returns the byte that entity NAME stands for; unknown names give a space. */
static unsigned char EntityByte(const char* name) {
  static const struct {
    const char* name;
    unsigned char byte;
    bool exactCase;
  } table[] = {
      {"lt", '<', false},    {"gt", '>', false},   {"amp", '&', false},  {"quot", '"', false},
      {"apos", '\'', false}, {"uuml", 0xFC, true}, {"auml", 0xE4, true}, {"ouml", 0xF6, true},
      {"Uuml", 0xDC, true},  {"Auml", 0xC4, true}, {"Ouml", 0xD6, true}, {"szlig", 0xDF, false},
  };
  if (strcmp(name, "#8217") == 0) return '\'';
  long cp = NumericReference(name);
  if (cp >= 0) return cp < 0x100 ? static_cast<unsigned char>(cp) : ' ';
  for (const auto& entry : table) {
    bool same = entry.exactCase ? strcmp(name, entry.name) == 0 : EqualsNoCase(name, entry.name);
    if (same) return entry.byte;
  }
  return ' ';
}

/* Reads a decimal number the way atoi does, clamped to LOW..HIGH, so that
** no text can overflow the arithmetic. */
static long ClampedNumber(const char* text, long low, long high) {
  long value = strtol(text, nullptr, 10);
  return value < low ? low : (value > high ? high : value);
}

/* Makes a closed reader that skips comments. */
XmlReader::XmlReader() {
  ResetState();
}

/* Closes the file. */
XmlReader::~XmlReader() {
  Close();
}

/* Clears everything that belongs to one pass over the file. */
void XmlReader::ResetState() {
  m_lineLength = 0;
  m_pos = 0;
  m_inputEnded = false;
  m_item = ItemNone;
  m_tagName.Clear();
  m_text.Clear();
  m_textPos = 0;
  m_attrs.clear();
  m_utf8 = false;
  m_inComment = false;
  m_inDeclaration = false;
  m_valueExpected = false;
  m_hasContent = false;
  m_pending = false;
  m_tokenPushed = false;
  m_error = NoError;
}

/* Opens PATH for reading.  Returns false when it cannot be opened. */
bool XmlReader::Open(const char* path) {
  Close();
  if (!path || !*path) return false;
  m_file = fopen(path, "r");
  return m_file != nullptr;
}

/* Closes the file; the reader then delivers only the end of input. */
void XmlReader::Close() {
  if (m_file) fclose(m_file);
  m_file = nullptr;
  ResetState();
}

/* Reads the next line (at most LineBufferSize - 1 bytes, line feed
** included) into the buffer.  Returns false at the end of input. */
bool XmlReader::ReadLine() {
  m_lineLength = 0;
  m_pos = 0;
  if (!m_file || m_inputEnded) return false;
  int c = 0;
  while (m_lineLength < LineBufferSize - 1 && (c = getc(m_file)) != EOF) {
    m_line[m_lineLength++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  if (m_lineLength == 0) m_inputEnded = true;
  return m_lineLength > 0;
}

/* Makes sure a current character exists, reading lines as needed.
** Returns false at the end of input. */
bool XmlReader::HaveChar() {
  while (m_pos >= m_lineLength) {
    if (!ReadLine()) return false;
  }
  return true;
}

/* Returns the byte AHEAD positions after the current one, or -1 when that
** lies beyond the end of the current line. */
int XmlReader::Peek(size_t ahead) const {
  size_t at = m_pos + ahead;
  return at < m_lineLength ? static_cast<unsigned char>(m_line[at]) : -1;
}

/* Returns true when TEXT starts at the current position of this line. */
bool XmlReader::LineHas(const char* text) const {
  size_t length = strlen(text);
  return m_pos + length <= m_lineLength && memcmp(m_line + m_pos, text, length) == 0;
}

/* Consumes input up to and including TERMINATOR (across lines), or to the
** end of input. */
void XmlReader::SkipPast(const char* terminator) {
  while (HaveChar()) {
    if (LineHas(terminator)) {
      m_pos += strlen(terminator);
      return;
    }
    ++m_pos;
  }
}

/* Consumes blanks across lines. */
void XmlReader::SkipBlanks() {
  while (HaveChar() && IsBlank(static_cast<unsigned char>(m_line[m_pos]))) ++m_pos;
}

/* Decodes the reference that starts at the "&" under the cursor.  It runs to
** the next ";"; stopping first at a "<", at STOPAT (a closing quote, or -1),
** or at the end of the line makes the whole reference one space.  Returns
** the code point of a numeric reference (*NUMERIC set), else the byte of a
** named one; "&#8217;" stays the apostrophe it has always been read as. */
long XmlReader::DecodeEntity(int stopAt, bool* numeric) {
  *numeric = false;
  char name[16];
  size_t length = 0;
  size_t at = m_pos + 1;
  bool tooLong = false;
  while (at < m_lineLength && m_line[at] != ';' && m_line[at] != '<' &&
         !(stopAt >= 0 && static_cast<unsigned char>(m_line[at]) == stopAt)) {
    if (length < sizeof name - 1)
      name[length++] = m_line[at];
    else
      tooLong = true;
    ++at;
  }
  name[length] = 0;
  if (at >= m_lineLength || m_line[at] != ';') {
    m_pos = at;
    return ' ';
  }
  m_pos = at + 1;
  if (tooLong) return ' ';
  long cp = strcmp(name, "#8217") == 0 ? -1 : NumericReference(name);
  if (cp < 0) return EntityByte(name);
  *numeric = true;
  return cp;
}

/* Takes one character of text, a quoted value or a comment into PIECE and
** sets *LITERAL when it came from a numeric reference, which is kept as it
** is even when blank.  Without Unicode text: one ISO-8859-1 byte, a
** reference beyond it becomes a space, and in a UTF-8 file a two-byte
** sequence is joined into its byte (a lead byte without a continuation byte
** is kept).  With Unicode text: UTF-8; a valid UTF-8 sequence of the file
** passes through, any other high byte is taken as ISO-8859-1. */
void XmlReader::TakeText(int stopAt, XB_String& piece, bool* literal) {
  piece.Clear();
  *literal = false;
  unsigned char c = static_cast<unsigned char>(m_line[m_pos]);
  if (c == '&') {
    long cp = DecodeEntity(stopAt, literal);
    if (m_unicodeText) {
      AppendUtf8(piece, cp);
    } else {
      if (cp >= 0x100) *literal = false;
      piece += static_cast<char>(cp < 0x100 ? cp : ' ');
    }
    return;
  }
  if (m_unicodeText && c >= 0x80) {
    size_t sequence = Utf8SequenceLength(m_line + m_pos, m_lineLength - m_pos);
    if (sequence) {
      piece.Append(m_line + m_pos, sequence);
      m_pos += sequence;
      return;
    }
    ++m_pos;
    AppendUtf8(piece, c);
    return;
  }
  ++m_pos;
  if (!m_unicodeText && m_utf8 && (c & 0xC0) == 0xC0) {
    int next = Peek(0);
    if (next >= 0 && (next & 0xC0) == 0x80) {
      ++m_pos;
      c = static_cast<unsigned char>(((c & 3) << 6) | (next & 63));
    }
  }
  piece += static_cast<char>(c);
}

/* Reads the name under the cursor into m_name (MaxNameLength kept). */
void XmlReader::ReadNameToken() {
  m_name.Clear();
  while (m_pos < m_lineLength && IsNameChar(static_cast<unsigned char>(m_line[m_pos]))) {
    if (m_name.Length() < MaxNameLength) m_name += m_line[m_pos];
    ++m_pos;
  }
}

/* Reads a quoted value under the cursor into m_value: up to the same quote
** or the end of the line, quotes removed, references decoded. */
void XmlReader::ReadQuotedValue() {
  char quote = m_line[m_pos++];
  m_value.Clear();
  XB_String piece;
  bool literal = false;
  while (m_pos < m_lineLength && m_line[m_pos] != quote) {
    TakeText(static_cast<unsigned char>(quote), piece, &literal);
    if (m_value.Length() + piece.Length() <= MaxValueLength) m_value += piece;
  }
  if (m_pos < m_lineLength) ++m_pos;
}

/* Returns the next token inside a tag, skipping blanks and bytes that mean
** nothing there.  A lone "/" sets error code 1 and is skipped. */
XmlReader::TagToken XmlReader::NextTagToken() {
  if (m_tokenPushed) {
    m_tokenPushed = false;
    return m_pushedToken;
  }
  while (HaveChar()) {
    unsigned char c = static_cast<unsigned char>(m_line[m_pos]);
    if (m_inDeclaration && c == '?' && Peek(1) == '>') {
      m_pos += 2;
      m_valueExpected = false;
      return TokenClose;
    }
    if (c == '>') {
      ++m_pos;
      m_valueExpected = false;
      return TokenClose;
    }
    if (c == '/') {
      if (Peek(1) == '>') {
        m_pos += 2;
        m_valueExpected = false;
        return TokenEmptyClose;
      }
      m_error = ErrorSingleSlash;
      ++m_pos;
      continue;
    }
    if (c == '=') {
      ++m_pos;
      m_valueExpected = true;
      return TokenEquals;
    }
    if (c == '"' || c == '\'') {
      ReadQuotedValue();
      m_valueExpected = false;
      return TokenValue;
    }
    if (IsDigit(c) || (m_valueExpected && IsNameStart(c))) {
      /* A bare value runs to the next blank; it also stops in front of
            ** the tag's closing bracket so that the tag still ends. */
      m_value.Clear();
      while (m_pos < m_lineLength) {
        unsigned char v = static_cast<unsigned char>(m_line[m_pos]);
        bool stop =
            IsDigit(c) ? !IsDigit(v) : (IsBlank(v) || v == '>' || (v == '/' && Peek(1) == '>'));
        if (stop) break;
        if (m_value.Length() < MaxValueLength) m_value += static_cast<char>(v);
        ++m_pos;
      }
      m_valueExpected = false;
      return TokenValue;
    }
    if (IsNameStart(c)) {
      ReadNameToken();
      m_valueExpected = false;
      return TokenName;
    }
    ++m_pos;
  }
  return TokenEndOfInput;
}

/* Consumes the tokens of the current tag up to its closing bracket and
** records in the has-content flag how it closed. */
void XmlReader::SkipRestOfTag() {
  for (;;) {
    TagToken token = NextTagToken();
    if (token == TokenEndOfInput || token == TokenClose) {
      m_hasContent = true;
      return;
    }
    if (token == TokenEmptyClose) {
      m_hasContent = false;
      return;
    }
  }
}

/* Reads a start tag after its "<": the name and the attributes.  Returns
** false when no name follows (error code 2); the tag is then skipped. */
bool XmlReader::ReadStartTag() {
  m_attrs.clear();
  m_valueExpected = false;
  TagToken token = NextTagToken();
  if (token != TokenName) {
    m_error = ErrorNameExpected;
    if (token == TokenEquals || token == TokenValue) SkipRestOfTag();
    return false;
  }
  m_tagName = m_name;
  bool attributesStopped = false;
  for (;;) {
    token = NextTagToken();
    switch (token) {
      case TokenEndOfInput:
      case TokenClose:
        m_hasContent = true;
        return true;
      case TokenEmptyClose:
        m_hasContent = false;
        return true;
      case TokenName: {
        if (attributesStopped) break;
        XB_String name = m_name;
        TagToken next = NextTagToken();
        if (next != TokenEquals) {
          m_error = ErrorEqualsExpected;
          attributesStopped = true;
          m_tokenPushed = true;
          m_pushedToken = next;
          break;
        }
        TagToken value = NextTagToken();
        if (value == TokenValue) {
          m_attrs.push_back({name, m_value});
        } else {
          m_tokenPushed = true;
          m_pushedToken = value;
        }
        break;
      }
      default:
        break;
    }
  }
}

/* Reads an end tag after its "</": the name, then everything up to ">".
** Returns false when no name follows (error code 2). */
bool XmlReader::ReadEndTag() {
  m_attrs.clear();
  m_valueExpected = false;
  m_hasContent = false;
  TagToken token = NextTagToken();
  if (token != TokenName) {
    m_error = ErrorNameExpected;
    if (token == TokenEquals || token == TokenValue) SkipPast(">");
    return false;
  }
  m_tagName = m_name;
  SkipPast(">");
  return true;
}

/* Reads the name = value pairs of the XML declaration up to "?>" and sets
** the UTF-8 flag from its encoding. */
void XmlReader::ReadDeclarationPairs() {
  m_inDeclaration = true;
  XB_String name;
  for (;;) {
    TagToken token = NextTagToken();
    if (token == TokenEndOfInput || token == TokenClose || token == TokenEmptyClose) break;
    if (token == TokenName) {
      name = m_name;
      continue;
    }
    if (token != TokenEquals) continue;
    TagToken value = NextTagToken();
    if (value != TokenValue) {
      m_tokenPushed = true;
      m_pushedToken = value;
      continue;
    }
    if (name.CompareNoCase("encoding") == 0) m_utf8 = m_value.CompareNoCase("UTF-8") == 0;
  }
  m_inDeclaration = false;
  m_valueExpected = false;
}

/* Rewinds to the start of the file, clears the reader's state and reads the
** XML declaration and one following "<!...>" declaration, if present.
** Returns false when no file is open. */
bool XmlReader::ReadHeader() {
  if (!m_file) return false;
  rewind(m_file);
  ResetState();
  SkipBlanks();
  if (Peek(0) == 0xEF && Peek(1) == 0xBB && Peek(2) == 0xBF) {
    /* A byte-order mark says UTF-8 even before any declaration. */
    m_pos += 3;
    m_utf8 = true;
    SkipBlanks();
  }
  if (Peek(0) == '<' && Peek(1) == '?') {
    m_pos += 2;
    ReadDeclarationPairs();
    SkipBlanks();
  }
  if (Peek(0) == '<' && Peek(1) == '!' && !(Peek(2) == '-' && Peek(3) == '-')) {
    m_pos += 2;
    SkipPast(">");
  }
  return true;
}

/* Reads a text chunk: up to the next "<" or the end of the line, decoded,
** blank runs reduced to one space, no trailing space; cut after a word once
** longer than TextChunkWordCut and never longer than MaxTextChunk.  When the
** chunk had to be cut inside a word (at MaxTextChunk, or where an overlong
** line was split), it is marked glued: the next chunk continues its word
** without a space between them. */
XmlReader::ItemKind XmlReader::ReadTextChunk(bool afterBlank) {
  m_item = ItemText;
  m_text.Clear();
  m_textPos = 0;
  m_textGlued = false;
  m_textAfterBlank = afterBlank;
  bool space = false;
  XB_String piece;
  bool literal = false;
  while (m_pos < m_lineLength && m_line[m_pos] != '<') {
    unsigned char c = static_cast<unsigned char>(m_line[m_pos]);
    if (IsBlank(c)) {
      ++m_pos;
      space = true;
      if (m_text.Length() > TextChunkWordCut) return m_item;
      continue;
    }
    size_t before = m_pos;
    TakeText(-1, piece, &literal);
    if (m_text.Length() + piece.Length() + 1 > MaxTextChunk) {
      m_pos = before;
      m_textGlued = !space;
      return m_item;
    }
    if (!literal && piece.Length() == 1 && IsBlank(static_cast<unsigned char>(piece[0]))) {
      space = true;
      continue;
    }
    if (space && !m_text.IsEmpty()) m_text += ' ';
    space = false;
    m_text += piece;
  }
  if (m_pos >= m_lineLength && m_lineLength > 0 && m_line[m_lineLength - 1] != '\n')
    m_textGlued = !space;
  return m_item;
}

/* Reads a comment chunk up to "-->" (at most MaxCommentChunk bytes), line
** feeds kept, other blanks made spaces, references decoded. */
XmlReader::ItemKind XmlReader::ReadCommentChunk() {
  m_item = ItemComment;
  m_text.Clear();
  for (;;) {
    if (!HaveChar()) {
      m_inComment = false;
      break;
    }
    if (LineHas("-->")) {
      m_pos += 3;
      m_inComment = false;
      break;
    }
    if (m_text.Length() >= MaxCommentChunk) break;
    unsigned char c = static_cast<unsigned char>(m_line[m_pos]);
    if (IsBlank(c)) {
      m_text += c == '\n' ? '\n' : ' ';
      ++m_pos;
      continue;
    }
    XB_String piece;
    bool literal = false;
    TakeText(-1, piece, &literal);
    m_text += piece;
  }
  return m_item;
}

/* Advances to the next item and returns its kind.  Declarations met on the
** way are skipped, and so are comments while skip comments is on. */
XmlReader::ItemKind XmlReader::NextItem() {
  if (m_pending) {
    m_pending = false;
    return m_item;
  }
  m_error = NoError;
  m_attrs.clear();
  m_tagName.Clear();
  m_text.Clear();
  m_textPos = 0;
  m_hasContent = false;
  if (m_inComment) return ReadCommentChunk();
  bool afterBlank = false;
  while (HaveChar()) {
    unsigned char c = static_cast<unsigned char>(m_line[m_pos]);
    if (IsBlank(c)) {
      ++m_pos;
      afterBlank = true;
      continue;
    }
    if (c != '<') return ReadTextChunk(afterBlank);
    int next = Peek(1);
    if (next == '/') {
      m_pos += 2;
      if (ReadEndTag()) return m_item = ItemEndTag;
    } else if (next == '?') {
      m_pos += 2;
      m_inDeclaration = true;
      SkipRestOfTag();
      m_inDeclaration = false;
    } else if (next == '!' && Peek(2) == '-' && Peek(3) == '-') {
      m_pos += 4;
      if (!m_skipComments) {
        m_inComment = true;
        return ReadCommentChunk();
      }
      SkipPast("-->");
    } else if (next == '!') {
      m_pos += 2;
      SkipPast(">");
    } else {
      ++m_pos;
      if (ReadStartTag()) return m_item = ItemStartTag;
    }
  }
  m_tagName.Clear();
  m_attrs.clear();
  return m_item = ItemEndOfInput;
}

/* Returns true when the current item is an end tag named NAME (ignoring
** case). */
bool XmlReader::IsEndTag(const char* name) const {
  return m_item == ItemEndTag && TagNameIs(name);
}

/* Returns true when the current tag's name is NAME, ignoring case. */
bool XmlReader::TagNameIs(const char* name) const {
  return m_tagName.CompareNoCase(name ? name : "") == 0;
}

/* Takes the next whitespace-separated word, or quoted string with its
** quotes, of the element's text into ITEM.  A quoted string may run over
** several chunks, joined by one space.  Returns false, leaving the following
** tag to be read next, when the text is exhausted. */
bool XmlReader::NextTextItem(XB_String& item) {
  item.Clear();
  if (m_item != ItemText && NextItem() != ItemText) {
    PushBack();
    return false;
  }
  for (;;) {
    while (m_textPos < m_text.Length() && IsBlank(static_cast<unsigned char>(m_text[m_textPos])))
      ++m_textPos;
    if (m_textPos < m_text.Length()) break;
    if (NextItem() != ItemText) {
      PushBack();
      return false;
    }
  }
  char quote = m_text[m_textPos];
  bool quoted = quote == '"' || quote == '\'';
  if (quoted) {
    item += quote;
    ++m_textPos;
  }
  for (;;) {
    size_t end = m_textPos;
    bool complete = false;
    if (quoted) {
      ptrdiff_t close = m_text.Find(quote, m_textPos);
      complete = close >= 0;
      end = complete ? static_cast<size_t>(close) + 1 : m_text.Length();
    } else {
      while (end < m_text.Length() && !IsBlank(static_cast<unsigned char>(m_text[end]))) ++end;
      complete = end < m_text.Length() || !m_textGlued;
    }
    item.Append(m_text.Data() + m_textPos, end - m_textPos);
    m_textPos = end;
    if (complete) return true;
    bool glued = m_textGlued;
    if (NextItem() != ItemText) {
      PushBack();
      return true;
    }
    if (glued && m_textAfterBlank && !quoted) return true;
    if (!glued || m_textAfterBlank) item += ' ';
  }
}

/* Advances to the next start tag named NAME.  Returns false at the end of
** input. */
bool XmlReader::FindElement(const char* name) {
  for (;;) {
    ItemKind kind = NextItem();
    if (kind == ItemEndOfInput) return false;
    if (kind == ItemStartTag && TagNameIs(name)) return true;
  }
}

/* Advances to the next start tag before the end tag of PARENT.  Returns
** false at that end tag or at the end of input. */
bool XmlReader::NextChildElement(const char* parent) {
  for (;;) {
    ItemKind kind = NextItem();
    if (kind == ItemEndOfInput || IsEndTag(parent)) return false;
    if (kind == ItemStartTag) return true;
  }
}

/* Advances to the next start tag named NAME before the end tag of PARENT.
** Returns false when there is none. */
bool XmlReader::FindChildElement(const char* name, const char* parent) {
  while (NextChildElement(parent)) {
    if (TagNameIs(name)) return true;
  }
  return false;
}

/* Skips to the end tag of NAME, stepping over nested elements of the same
** name.  Returns false when the input ends first. */
bool XmlReader::SkipElement(const char* name) {
  if (IsStartTag() && TagNameIs(name) && !HasContent()) return true;
  int depth = 1;
  for (;;) {
    ItemKind kind = NextItem();
    if (kind == ItemEndOfInput) return false;
    if (kind == ItemStartTag && HasContent() && TagNameIs(name))
      ++depth;
    else if (IsEndTag(name) && --depth == 0)
      return true;
  }
}

/* Returns the text chunks up to the next tag, joined by single spaces; the
** tag is left to be read next. */
XB_String XmlReader::ReadText() {
  XB_String text;
  if (m_item == ItemText && m_textPos < m_text.Length()) text = m_text.Mid(m_textPos);
  bool glued = m_item == ItemText && m_textGlued;
  m_textPos = m_text.Length();
  while (NextItem() == ItemText) {
    if (!text.IsEmpty() && !m_text.IsEmpty() && (!glued || m_textAfterBlank)) text += ' ';
    text += m_text;
    glued = m_textGlued;
    m_textPos = m_text.Length();
  }
  PushBack();
  return text;
}

/* Reads the next item into TEXT when it is a text chunk and returns true;
** otherwise leaves that item to be read next and returns false. */
bool XmlReader::ElementText(XB_String& text) {
  text.Clear();
  if (NextItem() != ItemText) {
    PushBack();
    return false;
  }
  text = m_text;
  m_textPos = m_text.Length();
  return true;
}

/* Returns the first attribute of the current tag named NAME (ignoring
** case), or null. */
const XmlReader::Attribute* XmlReader::FindAttr(const char* name) const {
  for (const Attribute& attr : m_attrs) {
    if (attr.name.CompareNoCase(name ? name : "") == 0) return &attr;
  }
  return nullptr;
}

/* Returns the attribute's text, or DEFAULTTEXT when it is missing. */
XB_String XmlReader::GetAttr(const char* name, const char* defaultText) const {
  const Attribute* attr = FindAttr(name);
  return attr ? attr->value : XB_String(defaultText);
}

/* Returns the attribute read as a decimal integer (as atoi), or
** DEFAULTVALUE when it is missing. */
int32_t XmlReader::GetAttrInt(const char* name, int32_t defaultValue) const {
  const Attribute* attr = FindAttr(name);
  return attr ? static_cast<int32_t>(ClampedNumber(attr->value.c_str(), INT32_MIN, INT32_MAX))
              : defaultValue;
}

/* Returns the attribute's first (at most) 8 characters read as hex, each
** non-hex character counting as digit 0, or DEFAULTVALUE when missing. */
uint32_t XmlReader::GetAttrHex(const char* name, uint32_t defaultValue) const {
  const Attribute* attr = FindAttr(name);
  if (!attr) return defaultValue;
  uint32_t value = 0;
  const char* p = attr->value.c_str();
  for (int i = 0; i < 8 && p[i] && p[i] != '"'; ++i) {
    char c = p[i];
    uint32_t digit = 0;
    if (c >= '0' && c <= '9')
      digit = static_cast<uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f')
      digit = static_cast<uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      digit = static_cast<uint32_t>(c - 'A' + 10);
    value = (value << 4) + digit;
  }
  return value;
}

/* Returns the attribute read as a decimal fraction (as atof), or
** DEFAULTVALUE when it is missing. */
double XmlReader::GetAttrDouble(const char* name, double defaultValue) const {
  const Attribute* attr = FindAttr(name);
  return attr ? strtod(attr->value.c_str(), nullptr) : defaultValue;
}

/* Returns the attribute read as a 64-bit hex number (0 when it has no hex
** digits), or DEFAULTVALUE when it is missing. */
uint64_t XmlReader::GetAttrInt64Hex(const char* name, uint64_t defaultValue) const {
  const Attribute* attr = FindAttr(name);
  if (!attr) return defaultValue;
  uint64_t value = 0;
  if (sscanf(attr->value.c_str(), "%" SCNx64, &value) != 1) return 0;
  return value;
}

/* Returns the local midnight of the attribute's date "day.month.year" (or
** of DEFAULTTEXT when it is missing); an empty text gives 0.  Day and month
** are clamped to their ranges, a year below 1900 has 1900 added. */
time_t XmlReader::GetAttrDate(const char* name, const char* defaultText) const {
  const Attribute* attr = FindAttr(name);
  const char* text = attr ? attr->value.c_str() : (defaultText ? defaultText : "");
  if (!*text) return 0;
  long day = ClampedNumber(text, 1, 31);
  const char* dot1 = strchr(text, '.');
  long month = ClampedNumber(dot1 ? dot1 + 1 : "", 1, 12);
  const char* dot2 = dot1 ? strchr(dot1 + 1, '.') : nullptr;
  long year = ClampedNumber(dot2 ? dot2 + 1 : "", -100000, 100000);
  if (year < 1900) year += 1900;
  if (year < 1900) year = 1900;
  struct tm fields;
  memset(&fields, 0, sizeof fields);
  fields.tm_mday = static_cast<int>(day);
  fields.tm_mon = static_cast<int>(month - 1);
  fields.tm_year = static_cast<int>(year - 1900);
  fields.tm_isdst = -1;
  return mktime(&fields);
}

/* Returns the message that goes with an error code. */
const char* XmlReader::ErrorText(int code) {
  switch (code) {
    case NoError:
      return "No Error";
    case ErrorSingleSlash:
      return "Single \"/\" encountered!";
    case ErrorNameExpected:
      return "Name expected!";
    case ErrorNameOrCloseExpected:
      return "Name, \">\"  or \"\\>\" expected!";
    case ErrorEqualsExpected:
      return "\"=\" expected!";
    default:
      return "";
  }
}
