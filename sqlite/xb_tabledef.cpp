/*
** The table definition parser (see xb_tabledef.h).
**
** Beyond the plain splitting at top-level commas the scan steps over quoted
** strings and identifiers ('..', "..", `..`, [..]) and over SQL comments, so
** that a DEFAULT 'a,b', a CHECK(x <> ')') or a "-- note" between two columns
** cannot split an item or invent a column.  The type words are looked for
** outside string literals, so DEFAULT 'primary key' does not make a key.
** Table constraints may be named (CONSTRAINT name ...) and FOREIGN KEY
** constraints add nothing, like CHECK.  Names and the DEFAULT literal are
** read by a small tokenizer, so a quoted name keeps its blanks and a
** quoted word such as "primary" names a column, not a constraint.
*/
#include "xb_tabledef.h"

#include <string>
#include <vector>

#include "xb_keytext.h"

namespace {

/* Returns the character that closes a quote opened by C, or 0 when C opens none. */
char QuoteCloser(char c) {
  switch (c) {
    case '\'':
      return '\'';
    case '"':
      return '"';
    case '`':
      return '`';
    case '[':
      return ']';
    default:
      return 0;
  }
}

/* Returns TEXT with every SQL comment outside quotes replaced by one space. */
std::string WithoutComments(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (char closer = QuoteCloser(c)) {
      size_t end = text.find(closer, i + 1);
      end = end == std::string_view::npos ? text.size() : end + 1;
      out.append(text.substr(i, end - i));
      i = end;
    } else if (c == '-' && i + 1 < text.size() && text[i + 1] == '-') {
      size_t end = text.find('\n', i);
      i = end == std::string_view::npos ? text.size() : end;
      out.push_back(' ');
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      size_t end = text.find("*/", i + 2);
      i = end == std::string_view::npos ? text.size() : end + 2;
      out.push_back(' ');
    } else {
      out.push_back(c);
      i++;
    }
  }
  return out;
}

/* Returns ITEM with the inside of every single-quoted literal blanked, for
** the type-word tests. */
std::string WithoutLiterals(std::string_view item) {
  std::string out(item);
  bool inside = false;
  for (char& c : out) {
    if (c == '\'') {
      inside = !inside;
    } else if (inside) {
      c = ' ';
    }
  }
  return out;
}

/* Returns true for the characters of a bare word: ASCII letters and digits,
** "_", "$" and every byte of 0x80 and above (letters of other scripts). */
bool IsWordChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || u >= 0x80;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

/* One token of a column definition. */
struct Token {
  enum Kind { END, WORD, NUMBER, QUOTED, PUNCT } kind = END;
  std::string text; /* a quoted token without its quotes */
  char quote = 0;   /* the opening quote of a QUOTED token */
};

/* Reads the token at POS of TEXT (blanks before it skipped) and moves POS
** past it.  Quoted tokens run to the matching closer; a doubled closer
** inside stands for one. */
Token ReadToken(std::string_view text, size_t& pos) {
  Token token;
  while (pos < text.size() && XB_IsBlank(text[pos])) pos++;
  if (pos >= text.size()) return token;
  char c = text[pos];
  if (char closer = QuoteCloser(c)) {
    token.kind = Token::QUOTED;
    token.quote = c;
    pos++;
    while (pos < text.size()) {
      if (text[pos] == closer) {
        if (closer != ']' && pos + 1 < text.size() && text[pos + 1] == closer) {
          token.text.push_back(closer);
          pos += 2;
          continue;
        }
        pos++;
        break;
      }
      token.text.push_back(text[pos++]);
    }
    return token;
  }
  if (IsDigit(c) || (c == '.' && pos + 1 < text.size() && IsDigit(text[pos + 1]))) {
    token.kind = Token::NUMBER;
    size_t begin = pos;
    while (pos < text.size()) {
      char d = text[pos];
      bool exponentSign =
          (d == '+' || d == '-') && pos > begin && (text[pos - 1] == 'e' || text[pos - 1] == 'E');
      if (!IsWordChar(d) && d != '.' && !exponentSign) break;
      pos++;
    }
    token.text.assign(text.substr(begin, pos - begin));
    return token;
  }
  if (IsWordChar(c)) {
    token.kind = Token::WORD;
    size_t begin = pos;
    while (pos < text.size() && IsWordChar(text[pos])) pos++;
    token.text.assign(text.substr(begin, pos - begin));
    return token;
  }
  token.kind = Token::PUNCT;
  token.text.assign(1, c);
  pos++;
  return token;
}

/* Returns every token of TEXT. */
std::vector<Token> Tokens(std::string_view text) {
  std::vector<Token> tokens;
  size_t pos = 0;
  for (Token t = ReadToken(text, pos); t.kind != Token::END; t = ReadToken(text, pos)) {
    tokens.push_back(std::move(t));
  }
  return tokens;
}

/* True when TOKEN is the bare word WORD (ASCII case ignored). */
bool IsWord(const Token& token, const char* word) {
  return token.kind == Token::WORD && XB_KeyEqual(token.text, word);
}

/* True when TOKEN can name a column or table. */
bool IsName(const Token& token) {
  return token.kind == Token::WORD || token.kind == Token::QUOTED;
}

/* True for the words that end the type part of a column definition. */
bool EndsType(const Token& token) {
  if (token.kind == Token::PUNCT) return true;
  for (const char* word : {"CONSTRAINT", "PRIMARY", "NOT", "NULL", "UNIQUE", "CHECK", "DEFAULT",
                           "COLLATE", "REFERENCES", "GENERATED", "AS"}) {
    if (IsWord(token, word)) return true;
  }
  return false;
}

/* Splits the next item off TEXT at a top-level comma.  Returns the item and
** sets CLOSED when the closing parenthesis of the column list ended it; TEXT
** then holds what follows that parenthesis. */
std::string_view NextItem(std::string_view& text, bool& closed) {
  int depth = 0;
  size_t i = 0;
  closed = false;
  while (i < text.size()) {
    char c = text[i];
    if (char closer = QuoteCloser(c)) {
      size_t end = text.find(closer, i + 1);
      i = end == std::string_view::npos ? text.size() : end + 1;
      continue;
    }
    if (c == ',' && depth < 1) break;
    if (c == '(') depth++;
    if (c == ')' && --depth < 0) {
      closed = true;
      break;
    }
    i++;
  }
  std::string_view item = text.substr(0, i);
  text = i >= text.size() ? std::string_view() : text.substr(i + 1);
  return item;
}

/* Returns the column names listed by a table constraint: the inside of the
** parenthesised list at the front of TEXT (or TEXT itself without one),
** split at top-level commas, each piece reduced to its first name (so
** "a DESC" and "b COLLATE NOCASE" name a and b, "[first name]" names
** first name). */
std::vector<std::string> ConstraintColumns(std::string_view text) {
  text = XB_TrimBlanks(text);
  if (!text.empty() && text.front() == '(') {
    text.remove_prefix(1);
  }
  std::vector<std::string> names;
  while (!text.empty()) {
    bool closed = false;
    std::string_view piece = NextItem(text, closed);
    size_t pos = 0;
    Token name = ReadToken(piece, pos);
    if (IsName(name) && !name.text.empty()) names.push_back(name.text);
    if (closed) break;
  }
  return names;
}

/* Returns a key for the column NAME that no descriptor of GROUP has yet. */
XB_String UniqueKey(const XB_TableDefinition& group, std::string_view name) {
  XB_String base = XB_NormalizeKey(name);
  if (base.IsEmpty()) base = "column";
  XB_String key = base;
  for (int n = 2; group.Find(key.View()); n++) {
    key = base;
    key.AppendFormat("_%d", n);
  }
  return key;
}

/* Adds a descriptor for the column NAME of type TYPE to GROUP. */
XB_ColumnInfo* AddColumnInfo(XB_TableDefinition& group, std::string_view name, uint32_t type) {
  auto info = std::make_unique<XB_ColumnInfo>(UniqueKey(group, name), name, type);
  return static_cast<XB_ColumnInfo*>(group.Add(std::move(info)));
}

/* Applies a PRIMARY KEY (KIND TD_PRIMARY) or UNIQUE (TD_UNIQUE) table
** constraint listing the columns in LIST to GROUP.  Returns the number of
** columns listed. */
size_t ApplyConstraint(XB_TableDefinition& group, uint8_t kind, std::string_view list,
                       uint8_t flags, std::string* single) {
  uint8_t asKey = kind == TD_PRIMARY ? TD_PRIMARY_AS_KEY : TD_UNIQUE_AS_KEY;
  std::vector<std::string> names = ConstraintColumns(list);
  for (const std::string& name : names) {
    XB_ParameterInfo* info = group.FindColumn(name);
    if (!(flags & kind)) {
      // The key is copied: Remove deletes the descriptor that holds it.
      if (info) group.Remove(XB_String(info->Key()).View());
      continue;
    }
    if (!info) info = AddColumnInfo(group, name, PT_TEXT);
    if (flags & asKey) info->SetType(PT_KEY);
  }
  if (single && names.size() == 1) *single = names.front();
  return names.size();
}

/* Returns the parameter type that the words of a column definition suggest. */
uint32_t ColumnType(std::string_view item) {
  uint32_t type = PT_TEXT;
  if (XB_ContainsLoosely(item, "INTEGER")) type = PT_INT;
  if (XB_ContainsLoosely(item, "REAL")) type = PT_REAL;
  if (XB_ContainsLoosely(item, "CHAR") || XB_ContainsLoosely(item, "TEXT")) type = PT_TEXT;
  /* A TIMESTAMP holds a date and a time, like a DATETIME. */
  if (XB_ContainsLoosely(item, "DATETIME") || XB_ContainsLoosely(item, "TIMESTAMP")) {
    return PT_DATETIME;
  }
  if (XB_ContainsLoosely(item, "DATE")) type = PT_DATE;
  if (XB_ContainsLoosely(item, "TIME")) type = PT_TIME;
  return type;
}

/* What the tokens of one column definition declare. */
struct ColumnFacts {
  std::string declaredType; /* the type words, joined by one blank */
  bool primaryKey = false;  /* a PRIMARY KEY column constraint */
  bool descending = false;  /* ... with DESC after it */
  bool hasDefault = false;
  bool defaultIsNull = false;
  std::string defaultText;
};

/* Reads the literal after DEFAULT at TOKENS[I] into FACTS; anything other
** than a string, a signed number or NULL leaves no literal. */
void ReadDefault(const std::vector<Token>& tokens, size_t i, ColumnFacts& facts) {
  if (i >= tokens.size()) return;
  const Token& t = tokens[i];
  if (t.kind == Token::QUOTED && (t.quote == '\'' || t.quote == '"')) {
    facts.hasDefault = true;
    facts.defaultText = t.text;
  } else if (t.kind == Token::NUMBER) {
    facts.hasDefault = true;
    facts.defaultText = t.text;
  } else if (t.kind == Token::PUNCT && (t.text == "-" || t.text == "+") && i + 1 < tokens.size() &&
             tokens[i + 1].kind == Token::NUMBER) {
    facts.hasDefault = true;
    facts.defaultText = (t.text == "-" ? "-" : "") + tokens[i + 1].text;
  } else if (IsWord(t, "NULL")) {
    facts.hasDefault = true;
    facts.defaultIsNull = true;
  }
}

/* Returns what the tokens after the name (TOKENS from index 1) declare. */
ColumnFacts ReadFacts(const std::vector<Token>& tokens) {
  ColumnFacts facts;
  size_t i = 1;
  for (; i < tokens.size() && !EndsType(tokens[i]); i++) {
    if (!facts.declaredType.empty()) facts.declaredType += ' ';
    facts.declaredType += tokens[i].text;
  }
  int depth = 0;
  for (; i < tokens.size(); i++) {
    const Token& t = tokens[i];
    if (t.kind == Token::PUNCT && t.text == "(") depth++;
    if (t.kind == Token::PUNCT && t.text == ")") depth--;
    if (depth > 0) continue;
    if (IsWord(t, "PRIMARY") && i + 1 < tokens.size() && IsWord(tokens[i + 1], "KEY")) {
      facts.primaryKey = true;
      facts.descending = i + 2 < tokens.size() && IsWord(tokens[i + 2], "DESC");
    } else if (IsWord(t, "DEFAULT") && !facts.hasDefault) {
      ReadDefault(tokens, i + 1, facts);
    }
  }
  return facts;
}

/* Adds the column defined by ITEM, whose tokens are TOKENS, to GROUP when
** FLAGS select its kind.  Returns it, or null when it is left out. */
XB_ColumnInfo* AddColumn(XB_TableDefinition& group, const std::vector<Token>& tokens,
                         std::string_view item, uint8_t flags) {
  std::string words = WithoutLiterals(item);
  uint32_t type = ColumnType(words);
  uint32_t declared = type;
  uint8_t kind = TD_PLAIN;
  ColumnFacts facts = ReadFacts(tokens);
  bool alias = facts.primaryKey && !facts.descending && XB_KeyEqual(facts.declaredType, "INTEGER");
  if (XB_ContainsLoosely(words, "PRIMARY KEY")) {
    kind = TD_PRIMARY;
    if (flags & TD_PRIMARY_AS_KEY) type = PT_KEY;
  }
  if (XB_ContainsLoosely(words, "UNIQUE")) {
    kind = TD_UNIQUE;
    if (flags & TD_UNIQUE_AS_KEY) type = PT_KEY;
  }
  if (alias && (flags & TD_ROWID_AS_KEY)) type = PT_KEY;
  if (!(flags & kind)) return nullptr;
  XB_ColumnInfo* info = AddColumnInfo(group, tokens.front().text, type);
  info->SetDeclaredType(declared);
  info->SetRowidAlias(alias);
  if (facts.hasDefault) info->SetLiteralDefault(facts.defaultText, facts.defaultIsNull);
  return info;
}

/* Marks the column NAME of GROUP as the rowid alias when its declared type
** is exactly INTEGER (a table constraint PRIMARY KEY(NAME)). */
void MarkTableKeyAlias(XB_TableDefinition& group, const std::string& name,
                       const std::vector<std::pair<std::string, std::string>>& declared,
                       uint8_t flags) {
  for (const auto& [column, type] : declared) {
    if (!XB_KeyEqual(column, name) || !XB_KeyEqual(type, "INTEGER")) continue;
    XB_ParameterInfo* info = group.FindColumn(name);
    auto* columnInfo = const_cast<XB_ColumnInfo*>(XB_ColumnOf(info));
    if (!columnInfo) return;
    columnInfo->SetRowidAlias(true);
    if (flags & TD_ROWID_AS_KEY) columnInfo->SetType(PT_KEY);
    return;
  }
}

/* Handles one item of the column list: a table constraint or a column. */
void ParseItem(XB_TableDefinition& group, std::string_view item, uint8_t flags,
               std::vector<std::pair<std::string, std::string>>& declared, std::string& tableKey) {
  item = XB_TrimBlanks(item);
  std::vector<Token> tokens = Tokens(item);
  if (tokens.empty() || !IsName(tokens.front()) || tokens.front().text.empty()) return;
  size_t first = 0;
  size_t pos = 0;
  if (IsWord(tokens.front(), "CONSTRAINT")) {
    /* A named constraint: drop "CONSTRAINT name" and read what follows. */
    ReadToken(item, pos);
    ReadToken(item, pos);
    item = XB_TrimBlanks(item.substr(pos));
    pos = 0;
    first = 2;
    if (tokens.size() <= first) return;
  }
  const Token& lead = tokens[first];
  if (IsWord(lead, "CHECK") || IsWord(lead, "FOREIGN")) return;
  if (IsWord(lead, "UNIQUE")) {
    ReadToken(item, pos);
    ApplyConstraint(group, TD_UNIQUE, item.substr(pos), flags, nullptr);
    return;
  }
  if (IsWord(lead, "PRIMARY")) {
    ReadToken(item, pos);
    size_t afterKey = pos;
    if (IsWord(ReadToken(item, afterKey), "KEY")) pos = afterKey;
    ApplyConstraint(group, TD_PRIMARY, item.substr(pos), flags, &tableKey);
    return;
  }
  ColumnFacts facts = ReadFacts(tokens);
  declared.emplace_back(tokens.front().text, facts.declaredType);
  AddColumn(group, tokens, item, flags);
}

/* Reads the table name at the front of TEXT (after CREATE TABLE): an
** optional IF NOT EXISTS, then a name or schema.name, bare or quoted.
** Returns the name and leaves TEXT at what follows it. */
std::string ReadTableName(std::string_view& text) {
  size_t pos = 0;
  size_t probe = 0;
  if (IsWord(ReadToken(text, probe), "IF")) {
    size_t next = probe;
    if (IsWord(ReadToken(text, next), "NOT") && IsWord(ReadToken(text, next), "EXISTS")) pos = next;
  }
  std::string name;
  while (true) {
    while (pos < text.size() && XB_IsBlank(text[pos])) pos++;
    if (pos >= text.size() || text[pos] == '(') break;
    size_t start = pos;
    Token token = ReadToken(text, pos);
    if (!IsName(token)) {
      /* A name of other characters runs, as written, to a blank or "(". */
      pos = start;
      while (pos < text.size() && !XB_IsBlank(text[pos]) && text[pos] != '(') pos++;
      name.assign(text.substr(start, pos - start));
      break;
    }
    name = token.text;
    if (pos < text.size() && text[pos] == '.') {
      pos++;
      continue;
    }
    break;
  }
  text = text.substr(pos);
  return name;
}

}  // namespace

XB_ColumnInfo::XB_ColumnInfo(const XB_String& key, std::string_view name, uint32_t type)
    : XB_ParameterInfo(key, XB_String(name), XB_AUTO_COMMENT, type), m_declaredType(type) {}

void XB_ColumnInfo::SetLiteralDefault(std::string_view text, bool isNull) {
  m_hasDefault = true;
  m_defaultIsNull = isNull;
  m_defaultText = isNull ? std::string_view() : text;
}

XB_ParameterInfo* XB_TableDefinition::FindColumn(std::string_view name) const {
  for (int i = 0; i < Count(); i++) {
    if (XB_KeyEqual(At(i)->Label().View(), name)) return At(i);
  }
  return nullptr;
}

const XB_ColumnInfo* XB_ColumnOf(const XB_ParameterInfo* info) {
  return dynamic_cast<const XB_ColumnInfo*>(info);
}

const XB_String& XB_ColumnName(const XB_ParameterInfo* info) {
  return info->Label().IsEmpty() ? info->Key() : info->Label();
}

std::unique_ptr<XB_TableDefinition> ParseCreateTable(std::string_view text, uint8_t flags) {
  static constexpr std::string_view kStart = "CREATE TABLE";
  if (text.substr(0, kStart.size()) != kStart) return nullptr;
  std::string cleaned = WithoutComments(text.substr(kStart.size()));
  std::string_view rest = XB_TrimBlanks(cleaned);
  std::string name = ReadTableName(rest);
  auto group = std::make_unique<XB_TableDefinition>(name);
  rest = XB_TrimBlanks(rest);
  if (rest.empty() || rest.front() != '(') return group;
  rest = XB_TrimBlanks(rest.substr(1));
  std::vector<std::pair<std::string, std::string>> declared;
  std::string tableKey;
  while (!rest.empty() && rest.front() != ')') {
    rest = XB_TrimBlanks(rest);
    bool closed = false;
    std::string_view item = NextItem(rest, closed);
    ParseItem(*group, item, flags, declared, tableKey);
    if (closed) break;
  }
  /* What follows the column list: WITHOUT ROWID leaves the table without
  ** rowid and so without a rowid alias. */
  std::vector<Token> tail = Tokens(rest);
  for (size_t i = 0; i + 1 < tail.size(); i++) {
    if (IsWord(tail[i], "WITHOUT") && IsWord(tail[i + 1], "ROWID")) group->SetHasRowid(false);
  }
  if (!tableKey.empty()) MarkTableKeyAlias(*group, tableKey, declared, flags);
  if (!group->HasRowid()) {
    for (int i = 0; i < group->Count(); i++) {
      auto* info = const_cast<XB_ColumnInfo*>(XB_ColumnOf(group->At(i)));
      if (info && info->IsRowidAlias()) {
        info->SetRowidAlias(false);
        if (info->GetType() == PT_KEY && !(flags & TD_PRIMARY_AS_KEY)) {
          info->SetType(info->DeclaredType());
        }
      }
    }
  }
  return group;
}