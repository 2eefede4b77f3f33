/*
** Translation of 2.x statements for the SQLite 3 working copy.  The
** rewriting works on tokens and keeps the rest of the text as written;
** each change is an edit of a byte range, applied from the end so that
** offsets stay valid.
*/
#include "s2sqlrewrite.h"

#include "s2sqlvalue.h"

#include <algorithm>
#include <cctype>

namespace s2 {

const char* const kMasterTable = "temp.xb_master";

namespace {

/* A replacement of the bytes [begin, end) by TEXT. */
struct Edit {
  size_t begin;
  size_t end;
  std::string text;
};

bool isOperator(const Token& t, std::string_view op) {
  return t.kind == TokenKind::Operator && t.text == op;
}

/* Returns true when T can end an operand, so that a following "-" is the
** binary minus. */
bool endsOperand(const Token& t) {
  switch (t.kind) {
    case TokenKind::Quoted:
    case TokenKind::String:
    case TokenKind::Number:
    case TokenKind::Blob:
    case TokenKind::Variable:
      return true;
    case TokenKind::Word:
      return !isKeyword(t.text) || isWord(t, "end") || isWord(t, "null");
    case TokenKind::Operator:
      return t.text == ")";
    default:
      return false;
  }
}

/* Returns true when SQLite 3 would not give back the spelling of the
** number literal TEXT (signed with a glued minus when NEGATIVE). */
bool numberNeedsQuoting(std::string_view text, bool negative) {
  if (text.find_first_of(".eE") != std::string_view::npos) return true;
  if (text.size() > 1 && text[0] == '0') return true;
  if (text.size() > 18) return true;
  return negative && text == "0";
}

/* Adds the edits that turn number literals into string literals. */
void quoteNumbers(const std::vector<Token>& tokens, std::vector<Edit>& edits) {
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.kind != TokenKind::Number) continue;
    bool negative =
        i > 0 && isOperator(tokens[i - 1], "-") && (i < 2 || !endsOperand(tokens[i - 2]));
    if (!numberNeedsQuoting(t.text, negative)) continue;
    size_t begin = negative ? tokens[i - 1].offset : t.offset;
    std::string spelling = negative ? "-" + std::string(t.text) : std::string(t.text);
    edits.push_back({begin, t.offset + t.length, quoteLiteral(spelling)});
  }
}

/* Adds the edits that make sqlite_master name the 2.x schema rows. */
void redirectMaster(const std::vector<Token>& tokens, std::vector<Edit>& edits) {
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.kind != TokenKind::Word && t.kind != TokenKind::Quoted) continue;
    if (lowerAscii(unquoteName(t)) != "sqlite_master") continue;
    if (i > 0 && isOperator(tokens[i - 1], ".")) {
      if (i < 2 || lowerAscii(unquoteName(tokens[i - 2])) != "main") continue;
      edits.push_back({tokens[i - 2].offset, t.offset + t.length, kMasterTable});
      continue;
    }
    edits.push_back({t.offset, t.offset + t.length, kMasterTable});
  }
}

/* Adds the edits that wrap tokens [first, last] in the store function. */
void wrap(const std::vector<Token>& tokens, size_t first, size_t last, std::vector<Edit>& edits) {
  if (first > last || last >= tokens.size()) return;
  edits.push_back({tokens[first].offset, tokens[first].offset, std::string(kStoreFunction) + "("});
  size_t end = tokens[last].offset + tokens[last].length;
  edits.push_back({end, end, ")"});
}

/* Tracks parenthesis and CASE nesting while a list is scanned. */
struct Depth {
  int parens = 0;
  int cases = 0;
  /* Updates the depth for token T; returns false when T closes a
  ** parenthesis that was opened before the scan began. */
  bool step(const Token& t) {
    if (isOperator(t, "(")) ++parens;
    if (isOperator(t, ")")) {
      if (parens == 0) return false;
      --parens;
    }
    if (isWord(t, "case")) ++cases;
    if (isWord(t, "end") && cases > 0) --cases;
    return true;
  }
  bool top() const { return parens == 0 && cases == 0; }
};

/* Returns true when T ends a list of expressions at the top level. */
bool endsList(const Token& t, std::initializer_list<const char*> words) {
  if (t.kind == TokenKind::Semicolon) return true;
  for (const char* w : words) {
    if (isWord(t, w)) return true;
  }
  return false;
}

/* Wraps the value of each "col = expr" item of the SET list starting at
** token I.  Returns the index after the list. */
size_t wrapSetList(const std::vector<Token>& tokens, size_t i, std::vector<Edit>& edits) {
  Depth depth;
  size_t itemStart = i;
  for (; i <= tokens.size(); ++i) {
    bool atEnd = i == tokens.size();
    if (!atEnd && !depth.top()) {
      depth.step(tokens[i]);
      continue;
    }
    if (atEnd || isOperator(tokens[i], ",") ||
        endsList(tokens[i], {"where", "end", "from", "order", "limit", "returning"}) ||
        isOperator(tokens[i], ")")) {
      for (size_t k = itemStart; k < i; ++k) {
        if (isOperator(tokens[k], "=")) {
          wrap(tokens, k + 1, i - 1, edits);
          break;
        }
      }
      if (atEnd || !isOperator(tokens[i], ",")) return i;
      itemStart = i + 1;
      continue;
    }
    if (!depth.step(tokens[i])) return i;
  }
  return i;
}

/* Wraps each item of the parenthesised VALUES row that opens at token I
** (the "(").  Returns the index after the closing ")". */
size_t wrapValueRow(const std::vector<Token>& tokens, size_t i, std::vector<Edit>& edits) {
  Depth depth;
  size_t itemStart = ++i;
  for (; i < tokens.size(); ++i) {
    if (depth.top() && (isOperator(tokens[i], ",") || isOperator(tokens[i], ")"))) {
      wrap(tokens, itemStart, i - 1, edits);
      if (isOperator(tokens[i], ")")) return i + 1;
      itemStart = i + 1;
      continue;
    }
    if (!depth.step(tokens[i])) return i;
  }
  return i;
}

/* Wraps one result column [first, last] of a SELECT, leaving * and
** t.* alone and keeping an alias outside the wrapped expression. */
void wrapResultColumn(const std::vector<Token>& tokens, size_t first, size_t last,
                      std::vector<Edit>& edits) {
  if (first > last) return;
  if (isOperator(tokens[last], "*") && (first == last || isOperator(tokens[last - 1], "."))) {
    return;
  }
  const Token& tail = tokens[last];
  bool nameLike = tail.kind == TokenKind::Quoted || tail.kind == TokenKind::String ||
                  (tail.kind == TokenKind::Word && !isKeyword(tail.text));
  if (last > first && nameLike && isWord(tokens[last - 1], "as")) {
    last -= 2;
  } else if (last > first && nameLike && tail.kind != TokenKind::String &&
             endsOperand(tokens[last - 1]) && !isOperator(tokens[last - 1], ".")) {
    last -= 1;
  }
  wrap(tokens, first, last, edits);
}

/* Wraps the result columns of the SELECT (and its compound arms) whose
** SELECT keyword is token I.  Returns the index after the select. */
size_t wrapSelect(const std::vector<Token>& tokens, size_t i, std::vector<Edit>& edits) {
  while (i < tokens.size() && isWord(tokens[i], "select")) {
    ++i;
    if (i < tokens.size() && (isWord(tokens[i], "distinct") || isWord(tokens[i], "all"))) ++i;
    Depth depth;
    size_t itemStart = i;
    bool inColumns = true;
    for (; i < tokens.size(); ++i) {
      const Token& t = tokens[i];
      if (!depth.top()) {
        depth.step(t);
        continue;
      }
      bool compound = isWord(t, "union") || isWord(t, "intersect") || isWord(t, "except");
      bool closes = isOperator(t, ")") || endsList(t, {"end"});
      bool columnsEnd = endsList(t, {"from", "where", "group", "having", "order", "limit"});
      if (inColumns && (isOperator(t, ",") || compound || closes || columnsEnd)) {
        wrapResultColumn(tokens, itemStart, i - 1, edits);
        itemStart = i + 1;
        if (!isOperator(t, ",")) inColumns = false;
      }
      if (compound) {
        ++i;
        if (i < tokens.size() && isWord(tokens[i], "all")) ++i;
        break;
      }
      if (closes) return i;
      if (!depth.step(t)) return i;
    }
    if (i >= tokens.size()) {
      if (inColumns) wrapResultColumn(tokens, itemStart, tokens.size() - 1, edits);
      return i;
    }
  }
  return i;
}

/* Returns the index after a possibly qualified name at token I. */
size_t skipName(const std::vector<Token>& tokens, size_t i) {
  if (i >= tokens.size()) return i;
  ++i;
  if (i + 1 < tokens.size() && isOperator(tokens[i], ".")) i += 2;
  return i;
}

/* Adds the edits that wrap the values of every INSERT and UPDATE in the
** token list (a trigger body holds several). */
void wrapStoredValues(const std::vector<Token>& tokens, std::vector<Edit>& edits) {
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (isWord(tokens[i], "update")) {
      size_t k = i + 1;
      if (k + 1 < tokens.size() && isWord(tokens[k], "or")) k += 2;
      k = skipName(tokens, k);
      if (k < tokens.size() && isWord(tokens[k], "set")) i = wrapSetList(tokens, k + 1, edits) - 1;
      continue;
    }
    bool insert = isWord(tokens[i], "insert") || isWord(tokens[i], "replace");
    if (!insert || (i > 0 && isWord(tokens[i - 1], "or"))) continue;
    size_t k = i + 1;
    if (k + 1 < tokens.size() && isWord(tokens[k], "or")) k += 2;
    if (k >= tokens.size() || !isWord(tokens[k], "into")) continue;
    k = skipName(tokens, k + 1);
    if (k < tokens.size() && isOperator(tokens[k], "(")) {
      while (k < tokens.size() && !isOperator(tokens[k], ")")) ++k;
      ++k;
    }
    if (k < tokens.size() && isWord(tokens[k], "values")) {
      ++k;
      while (k < tokens.size() && isOperator(tokens[k], "(")) {
        k = wrapValueRow(tokens, k, edits);
        if (k < tokens.size() && isOperator(tokens[k], ",")) ++k;
      }
      i = k - 1;
    } else if (k < tokens.size() && isWord(tokens[k], "select")) {
      i = wrapSelect(tokens, k, edits) - 1;
    } else if (k < tokens.size() && isOperator(tokens[k], "(") && k + 1 < tokens.size() &&
               isWord(tokens[k + 1], "select")) {
      i = wrapSelect(tokens, k + 1, edits) - 1;
    }
  }
}

/* Returns TEXT with EDITS applied. */
std::string applyEdits(std::string_view text, std::vector<Edit> edits) {
  std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
    return a.begin < b.begin || (a.begin == b.begin && a.end < b.end);
  });
  std::string out;
  out.reserve(text.size() + 32 * edits.size());
  size_t pos = 0;
  for (const Edit& e : edits) {
    if (e.begin < pos) continue; /* overlapping edit: the first one wins */
    out.append(text.substr(pos, e.begin - pos));
    out += e.text;
    pos = e.end;
  }
  out.append(text.substr(pos));
  return out;
}

/* Returns the name at token I (quotes removed) or an empty string. */
std::string nameAt(const std::vector<Token>& tokens, size_t i) {
  if (i >= tokens.size()) return {};
  const Token& t = tokens[i];
  if (t.kind != TokenKind::Word && t.kind != TokenKind::Quoted && t.kind != TokenKind::String)
    return {};
  if (i + 2 < tokens.size() && isOperator(tokens[i + 1], ".")) return unquoteName(tokens[i + 2]);
  return unquoteName(t);
}

/* Sorts a statement that starts with CREATE. */
void classifyCreate(Statement& s) {
  const auto& t = s.tokens;
  size_t i = 1;
  bool unique = false;
  if (i < t.size() && (isWord(t[i], "temp") || isWord(t[i], "temporary"))) {
    s.temporary = true;
    ++i;
  }
  if (!s.temporary && i < t.size() && isWord(t[i], "unique")) {
    unique = true;
    ++i;
  }
  if (i >= t.size()) {
    s.kind = StatementKind::Invalid;
    s.error = "near \"" + std::string(t.back().text) + "\": syntax error";
    return;
  }
  if (isWord(t[i], "table") && !unique) {
    s.kind = StatementKind::CreateTable;
  } else if (isWord(t[i], "index") && !s.temporary) {
    s.kind = StatementKind::CreateIndex;
  } else if (isWord(t[i], "view") && !unique) {
    s.kind = StatementKind::CreateView;
  } else if (isWord(t[i], "trigger") && !unique) {
    s.kind = StatementKind::CreateTrigger;
  } else {
    s.kind = StatementKind::Invalid;
    s.error = syntaxErrorNear(t[i]);
    return;
  }
  if (i + 1 < t.size() && isWord(t[i + 1], "if")) {
    s.kind = StatementKind::Invalid;
    s.error = syntaxErrorNear(t[i + 1]);
    return;
  }
  s.name = nameAt(t, i + 1);
}

/* Sorts a statement that starts with DROP. */
void classifyDrop(Statement& s) {
  const auto& t = s.tokens;
  if (t.size() < 3) {
    s.kind = StatementKind::Invalid;
    s.error = syntaxErrorNear(t.back());
    return;
  }
  if (isWord(t[1], "table")) {
    s.kind = StatementKind::DropTable;
  } else if (isWord(t[1], "index")) {
    s.kind = StatementKind::DropIndex;
  } else if (isWord(t[1], "view")) {
    s.kind = StatementKind::DropView;
  } else if (isWord(t[1], "trigger")) {
    s.kind = StatementKind::DropTrigger;
  } else {
    s.kind = StatementKind::Invalid;
    s.error = syntaxErrorNear(t[1]);
    return;
  }
  if (isWord(t[2], "if")) {
    s.kind = StatementKind::Invalid;
    s.error = syntaxErrorNear(t[2]);
    return;
  }
  size_t end = skipName(t, 2);
  if (end != t.size()) {
    s.kind = StatementKind::Invalid;
    s.error = syntaxErrorNear(t[end]);
    return;
  }
  s.name = nameAt(t, 2);
}

/* Sorts INSERT, REPLACE, UPDATE and DELETE and finds the changed table. */
void classifyChange(Statement& s) {
  const auto& t = s.tokens;
  s.kind = StatementKind::Change;
  size_t i = 1;
  if (i + 1 < t.size() && isWord(t[i], "or")) i += 2;
  if (isWord(t[0], "insert") || isWord(t[0], "replace") || isWord(t[0], "delete")) {
    if (i < t.size() && (isWord(t[i], "into") || isWord(t[i], "from"))) ++i;
  }
  s.name = nameAt(t, i);
}

/* Returns true when the transaction statement S is "WORD [TRANSACTION [name]]". */
bool plainTransactionStatement(const Statement& s) {
  size_t i = 1;
  if (i < s.tokens.size() && isWord(s.tokens[i], "transaction")) {
    ++i;
    if (i < s.tokens.size() &&
        (s.tokens[i].kind == TokenKind::Word || s.tokens[i].kind == TokenKind::Quoted)) {
      if (!isWord(s.tokens[i], "on")) ++i;
    }
  }
  if (i + 2 < s.tokens.size() && isWord(s.tokens[0], "begin") && isWord(s.tokens[i], "on") &&
      isWord(s.tokens[i + 1], "conflict")) {
    i += 3;
  }
  return i == s.tokens.size();
}

}  // namespace

ConflictClauses conflictClauses(std::string_view sql) {
  ConflictClauses out;
  std::vector<Token> t = significantTokens(sql);
  size_t i = 0;
  while (i < t.size() && !isOperator(t[i], "(")) ++i;
  int depth = 0;
  bool itemStart = false;
  enum { None, Key, NotNull } target = None;
  for (; i < t.size(); ++i) {
    if (isOperator(t[i], "(")) {
      if (++depth == 1) itemStart = true;
      continue;
    }
    if (isOperator(t[i], ")")) {
      if (--depth == 0) break;
      continue;
    }
    if (depth != 1) continue;
    if (isOperator(t[i], ",")) {
      itemStart = true;
      target = None;
      continue;
    }
    if (itemStart) {
      itemStart = false;
      bool tableConstraint = isWord(t[i], "constraint") || isWord(t[i], "primary") ||
                             isWord(t[i], "unique") || isWord(t[i], "check") ||
                             isWord(t[i], "foreign");
      if (!tableConstraint) {
        out.notNull.emplace_back();
        continue;
      }
    }
    if (isWord(t[i], "primary") || isWord(t[i], "unique")) {
      out.keys.emplace_back();
      out.keyIsPrimary.push_back(isWord(t[i], "primary"));
      target = Key;
    } else if (isWord(t[i], "not") && i + 1 < t.size() && isWord(t[i + 1], "null")) {
      target = out.notNull.empty() ? None : NotNull;
      ++i;
    } else if (isWord(t[i], "null") || isWord(t[i], "check") || isWord(t[i], "default") ||
               isWord(t[i], "collate") || isWord(t[i], "references") ||
               isWord(t[i], "constraint")) {
      target = None;
    } else if (isWord(t[i], "on") && i + 2 < t.size() && isWord(t[i + 1], "conflict")) {
      std::string resolution = lowerAscii(t[i + 2].text);
      if (target == Key) out.keys.back() = resolution;
      if (target == NotNull) out.notNull.back() = resolution;
      i += 2;
    }
  }
  return out;
}

std::string syntaxErrorNear(const Token& token) {
  if (token.kind == TokenKind::Illegal)
    return "unrecognized token: \"" + std::string(token.text) + "\"";
  return "near \"" + std::string(token.text) + "\": syntax error";
}

Statement classifyStatement(std::string_view text) {
  Statement s;
  std::vector<Token> all = significantTokens(text);
  while (!all.empty() && all.back().kind == TokenKind::Semicolon) all.pop_back();
  if (all.empty()) return s;
  size_t begin = all.front().offset;
  size_t end = all.back().offset + all.back().length;
  s.text = std::string(text.substr(begin, end - begin));
  s.tokens = significantTokens(s.text);
  for (const Token& t : s.tokens) {
    if (t.kind == TokenKind::Illegal) {
      s.kind = StatementKind::Invalid;
      s.error = syntaxErrorNear(t);
      return s;
    }
  }
  const Token& first = s.tokens.front();
  if (isWord(first, "select") || isWord(first, "explain")) {
    s.kind = StatementKind::Query;
  } else if (isWord(first, "insert") || isWord(first, "replace") || isWord(first, "update") ||
             isWord(first, "delete")) {
    classifyChange(s);
  } else if (isWord(first, "create")) {
    classifyCreate(s);
  } else if (isWord(first, "drop")) {
    classifyDrop(s);
  } else if (isWord(first, "begin")) {
    s.kind = StatementKind::Begin;
  } else if (isWord(first, "commit") || isWord(first, "end")) {
    s.kind = StatementKind::Commit;
  } else if (isWord(first, "rollback")) {
    s.kind = StatementKind::Rollback;
  } else if (isWord(first, "pragma")) {
    s.kind = StatementKind::Pragma;
  } else if (isWord(first, "vacuum")) {
    s.kind = StatementKind::Vacuum;
  } else {
    s.kind = StatementKind::Invalid;
    s.error = syntaxErrorNear(first);
    return s;
  }
  bool transaction = s.kind == StatementKind::Begin || s.kind == StatementKind::Commit ||
                     s.kind == StatementKind::Rollback;
  if (transaction && !plainTransactionStatement(s)) {
    s.kind = StatementKind::Invalid;
    s.error = syntaxErrorNear(s.tokens[1]);
  }
  return s;
}

std::string translateForWorkingCopy(std::string_view text, std::vector<Replacement>* replaced) {
  std::vector<Token> tokens = significantTokens(text);
  std::vector<Edit> edits;
  wrapStoredValues(tokens, edits);
  quoteNumbers(tokens, edits);
  redirectMaster(tokens, edits);
  if (replaced) {
    replaced->clear();
    for (const Edit& e : edits) {
      if (e.begin == e.end) continue;
      replaced->push_back({e.text, std::string(text.substr(e.begin, e.end - e.begin))});
    }
  }
  return applyEdits(text, std::move(edits));
}

std::string originalColumnName(const std::string& name, std::string_view original,
                               const std::vector<Replacement>& replaced) {
  if (replaced.empty() || original.find(name) != std::string_view::npos) return name;
  std::string out = name;
  for (const Replacement& r : replaced) {
    size_t pos = 0;
    while ((pos = out.find(r.translated, pos)) != std::string::npos) {
      out.replace(pos, r.translated.size(), r.original);
      pos += r.original.size();
    }
  }
  return out;
}

}  // namespace s2
