/*
** The SQL tokenizer of the generation-2 engine's SQL layer.  Bytes above
** 0x7F count as identifier characters, as in the 2.x tokenizer, so Latin-1
** names need no quotes.
*/
#include "s2sqltoken.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace s2 {

namespace {

/* Returns true for a byte that may continue an identifier. */
bool isIdChar(unsigned char c) {
  return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80;
}

/* Returns true for a byte that may begin an identifier. */
bool isIdStart(unsigned char c) {
  return std::isalpha(c) || c == '_' || c >= 0x80;
}

/* Returns the length of the quoted token starting at POS with the opening
** quote QUOTE and closing quote CLOSE; a doubled closing quote stays
** inside.  Returns 0 when the token is not closed. */
size_t quotedLength(std::string_view text, size_t pos, char close) {
  size_t i = pos + 1;
  while (i < text.size()) {
    if (text[i] == close) {
      if (close != ']' && i + 1 < text.size() && text[i + 1] == close) {
        i += 2;
        continue;
      }
      return i + 1 - pos;
    }
    ++i;
  }
  return 0;
}

/* Returns the length of the number token at POS (which holds a digit). */
size_t numberLength(std::string_view text, size_t pos) {
  size_t i = pos;
  auto digits = [&]() {
    while (i < text.size() && std::isdigit((unsigned char)text[i])) ++i;
  };
  digits();
  if (i + 1 < text.size() && text[i] == '.' && std::isdigit((unsigned char)text[i + 1])) {
    ++i;
    digits();
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && std::isdigit((unsigned char)text[j])) {
      i = j;
      digits();
    }
  }
  return i - pos;
}

/* Returns the kind and length of the token that starts at POS. */
Token scanToken(std::string_view text, size_t pos) {
  Token t;
  t.offset = pos;
  unsigned char c = text[pos];
  size_t n = 1;
  if (std::isspace(c)) {
    while (pos + n < text.size() && std::isspace((unsigned char)text[pos + n])) ++n;
    t.kind = TokenKind::Space;
  } else if (c == '-' && pos + 1 < text.size() && text[pos + 1] == '-') {
    while (pos + n < text.size() && text[pos + n] != '\n') ++n;
    t.kind = TokenKind::Space;
  } else if (c == '/' && pos + 1 < text.size() && text[pos + 1] == '*') {
    size_t end = text.find("*/", pos + 2);
    n = (end == std::string_view::npos) ? text.size() - pos : end + 2 - pos;
    t.kind = TokenKind::Space;
  } else if (c == '\'' || c == '"' || c == '[' || c == '`') {
    char close = c == '[' ? ']' : (char)c;
    n = quotedLength(text, pos, close);
    if (n == 0) {
      n = text.size() - pos;
      t.kind = TokenKind::Illegal;
    } else {
      t.kind = c == '\'' ? TokenKind::String : TokenKind::Quoted;
    }
  } else if ((c == 'x' || c == 'X') && pos + 1 < text.size() && text[pos + 1] == '\'') {
    size_t q = quotedLength(text, pos + 1, '\'');
    n = q ? q + 1 : text.size() - pos;
    t.kind = q ? TokenKind::Blob : TokenKind::Illegal;
  } else if (std::isdigit(c)) {
    n = numberLength(text, pos);
    t.kind = TokenKind::Number;
  } else if (isIdStart(c)) {
    while (pos + n < text.size() && isIdChar((unsigned char)text[pos + n])) ++n;
    t.kind = TokenKind::Word;
  } else if (c == ';') {
    t.kind = TokenKind::Semicolon;
  } else if (c == '?') {
    t.kind = TokenKind::Variable;
  } else if (std::string_view("(),.+-*/%&|~<>=!").find((char)c) != std::string_view::npos) {
    static const std::array<std::string_view, 8> pairs = {
        "<=", ">=", "<>", "!=", "==", "<<", ">>", "||"};
    std::string_view two = text.substr(pos, 2);
    bool isPair = std::find(pairs.begin(), pairs.end(), two) != pairs.end();
    n = isPair ? 2 : 1;
    t.kind = (c == '!' && !isPair) ? TokenKind::Illegal : TokenKind::Operator;
  } else {
    t.kind = TokenKind::Illegal;
  }
  t.length = n;
  t.text = text.substr(pos, n);
  return t;
}

}  // namespace

std::vector<Token> tokenize(std::string_view text) {
  std::vector<Token> tokens;
  size_t pos = 0;
  while (pos < text.size()) {
    Token t = scanToken(text, pos);
    tokens.push_back(t);
    pos += t.length;
  }
  return tokens;
}

std::vector<Token> significantTokens(std::string_view text) {
  std::vector<Token> all = tokenize(text);
  std::vector<Token> out;
  out.reserve(all.size());
  for (const Token& t : all) {
    if (t.kind != TokenKind::Space) out.push_back(t);
  }
  return out;
}

size_t firstStatementLength(std::string_view text) {
  size_t pos = 0;
  int seen = 0;         /* significant tokens so far */
  bool trigger = false; /* CREATE [TEMP] TRIGGER */
  bool inBody = false;
  int caseDepth = 0;
  while (pos < text.size()) {
    Token t = scanToken(text, pos);
    pos += t.length;
    if (t.kind == TokenKind::Space) continue;
    ++seen;
    if (seen == 1 && !isWord(t, "create")) seen = 100;
    if (seen >= 2 && seen <= 3 && isWord(t, "trigger")) trigger = true;
    if (t.kind == TokenKind::Semicolon && !inBody) return pos;
    if (!trigger || t.kind != TokenKind::Word) continue;
    if (!inBody && isWord(t, "begin")) {
      inBody = true;
    } else if (inBody && isWord(t, "case")) {
      ++caseDepth;
    } else if (inBody && isWord(t, "end")) {
      if (caseDepth > 0) {
        --caseDepth;
      } else {
        inBody = false;
      }
    }
  }
  return text.size();
}

bool isWord(const Token& token, std::string_view word) {
  if (token.kind != TokenKind::Word || token.text.size() != word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (std::tolower((unsigned char)token.text[i]) != std::tolower((unsigned char)word[i]))
      return false;
  }
  return true;
}

bool isKeyword(std::string_view word) {
  static const char* const keywords[] = {
      "abort",     "after",    "all",      "and",        "as",         "asc",         "attach",
      "before",    "begin",    "between",  "by",         "cascade",    "case",        "check",
      "cluster",   "collate",  "commit",   "conflict",   "constraint", "copy",        "create",
      "cross",     "database", "default",  "deferrable", "deferred",   "delete",      "delimiters",
      "desc",      "detach",   "distinct", "drop",       "each",       "else",        "end",
      "except",    "explain",  "fail",     "for",        "foreign",    "from",        "full",
      "glob",      "group",    "having",   "ignore",     "immediate",  "in",          "index",
      "initially", "inner",    "insert",   "instead",    "intersect",  "into",        "is",
      "isnull",    "join",     "key",      "left",       "like",       "limit",       "match",
      "natural",   "not",      "notnull",  "null",       "of",         "offset",      "on",
      "or",        "order",    "outer",    "pragma",     "primary",    "raise",       "references",
      "replace",   "restrict", "right",    "rollback",   "row",        "select",      "set",
      "statement", "table",    "temp",     "temporary",  "then",       "transaction", "trigger",
      "union",     "unique",   "update",   "using",      "vacuum",     "values",      "view",
      "when",      "where"};
  std::string lower = lowerAscii(word);
  for (const char* k : keywords) {
    if (lower == k) return true;
  }
  return false;
}

std::string unquoteName(const Token& token) {
  std::string_view t = token.text;
  if (token.kind != TokenKind::Quoted && token.kind != TokenKind::String) return std::string(t);
  char open = t.front();
  char close = open == '[' ? ']' : open;
  std::string out;
  for (size_t i = 1; i + 1 < t.size(); ++i) {
    out += t[i];
    if (t[i] == close && close != ']' && i + 2 < t.size() && t[i + 1] == close) ++i;
  }
  return out;
}

std::string quoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  out += '"';
  return out;
}

std::string quoteLiteral(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

std::string generatedName(std::string_view name) {
  bool plain = !name.empty() && isIdStart((unsigned char)name[0]) && !isKeyword(name);
  for (unsigned char c : name) {
    if (!std::isalnum(c) && c != '_') plain = false;
  }
  return plain ? std::string(name) : quoteLiteral(name);
}

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return out;
}

}  // namespace s2
