/*
** Query composition: the rewrites of a view's query for sorting and
** paging, done on the top-level tokens of the query's first statement and
** spliced into the original text.
*/
#include "viewquerystate.h"

#include <cctype>
#include <cstdint>
#include <limits>

#include "sqltext.h"

namespace {

constexpr int64_t kMaxOffset = std::numeric_limits<int64_t>::max();
constexpr int64_t kMinOffset = std::numeric_limits<int64_t>::min();

/* The clauses found at the top level of a query's first statement.  Positions
** are byte offsets into the text; npos marks a clause that is absent. */
struct Clauses {
  static constexpr size_t npos = static_cast<size_t>(-1);
  std::vector<SqlToken> tokens;
  std::vector<size_t> top; /* indexes of the significant top-level tokens */
  size_t statementEnd = 0; /* end of the statement's last significant token */
  size_t order = npos;     /* index into top of ORDER (followed by BY) */
  size_t limit = npos;     /* index into top of LIMIT */
  size_t from = npos;      /* index into top of the first FROM */
};

/* Finds the clauses of the first statement of TEXT. */
Clauses FindClauses(std::string_view text) {
  Clauses c;
  c.tokens = TokenizeSql(text);
  for (size_t i = 0; i < c.tokens.size(); ++i) {
    const SqlToken& t = c.tokens[i];
    if (IsSqlBlank(t.kind)) continue;
    if (t.kind == SqlTokenKind::Semicolon && t.depth == 0) break;
    c.statementEnd = t.end;
    if (t.depth != 0 || t.kind == SqlTokenKind::Open) {
      // A bracket at the top level and what it holds count as one part of the
      // statement; only its opening bracket is recorded.
      if (t.kind == SqlTokenKind::Open && t.depth == 0) c.top.push_back(i);
      continue;
    }
    c.top.push_back(i);
  }
  for (size_t k = 0; k < c.top.size(); ++k) {
    const SqlToken& t = c.tokens[c.top[k]];
    if (c.from == Clauses::npos && IsSqlWord(text, t, "FROM")) c.from = k;
    if (c.limit == Clauses::npos && IsSqlWord(text, t, "LIMIT")) c.limit = k;
    if (c.order == Clauses::npos && c.limit == Clauses::npos && IsSqlWord(text, t, "ORDER") &&
        k + 1 < c.top.size() && IsSqlWord(text, c.tokens[c.top[k + 1]], "BY"))
      c.order = k;
  }
  return c;
}

/* Returns the text of top-level token K of C. */
std::string_view TopText(std::string_view text, const Clauses& c, size_t k) {
  const SqlToken& t = c.tokens[c.top[k]];
  return text.substr(t.begin, t.end - t.begin);
}

/* Reads a signed number at top-level token *K (a sign token, then a word of
** digits, decimal or 0x hexadecimal) and moves *K past it.  A word without
** digits reads as 0; values beyond 64 bits saturate. */
int64_t ReadNumber(std::string_view text, const Clauses& c, size_t* k) {
  bool negative = false;
  if (*k < c.top.size()) {
    std::string_view sign = TopText(text, c, *k);
    if (sign == "-" || sign == "+") {
      negative = sign == "-";
      ++*k;
    }
  }
  if (*k >= c.top.size()) return 0;
  std::string_view word = TopText(text, c, *k);
  ++*k;
  uint64_t value = 0;
  bool overflow = false;
  bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
  size_t i = hex ? 2 : 0;
  for (; i < word.size(); ++i) {
    unsigned char ch = static_cast<unsigned char>(word[i]);
    int digit;
    if (std::isdigit(ch))
      digit = ch - '0';
    else if (hex && std::isxdigit(ch))
      digit = std::tolower(ch) - 'a' + 10;
    else
      break;
    uint64_t base = hex ? 16 : 10;
    if (value > (std::numeric_limits<uint64_t>::max() - digit) / base) overflow = true;
    value = value * base + digit;
  }
  if (negative) {
    if (overflow || value > static_cast<uint64_t>(kMaxOffset) + 1) return kMinOffset;
    return value == static_cast<uint64_t>(kMaxOffset) + 1 ? kMinOffset
                                                          : -static_cast<int64_t>(value);
  }
  if (overflow || value > static_cast<uint64_t>(kMaxOffset)) return kMaxOffset;
  return static_cast<int64_t>(value);
}

/* Reads the LIMIT clause of C; absent: 10 and 0. */
LimitOffset ReadLimit(std::string_view text, const Clauses& c) {
  LimitOffset lo;
  if (c.limit == Clauses::npos) return lo;
  size_t k = c.limit + 1;
  lo.limit = ReadNumber(text, c, &k);
  if (k >= c.top.size()) return lo;
  const SqlToken& t = c.tokens[c.top[k]];
  if (IsSqlWord(text, t, "OFFSET")) {
    ++k;
    lo.offset = ReadNumber(text, c, &k);
  } else if (t.kind == SqlTokenKind::Comma) {
    // LIMIT offset, count
    ++k;
    lo.offset = lo.limit;
    lo.limit = ReadNumber(text, c, &k);
  }
  return lo;
}

/* Returns the end of the last significant top-level part before top-level
** token K (0 when there is none). */
size_t EndBefore(const Clauses& c, size_t k) {
  if (k == 0) return 0;
  // The part before K may be a bracket: its end is where the next part's
  // blanks begin, which is the end of the last significant token before K.
  size_t index = c.top[k];
  while (index > 0) {
    --index;
    if (!IsSqlBlank(c.tokens[index].kind)) return c.tokens[index].end;
  }
  return 0;
}

/* Returns the comments between END and BEGIN in TEXT, or "" when there are
** only blanks: comments a rewrite passes over are kept. */
std::string CommentsBetween(std::string_view text, const Clauses& c, size_t end, size_t begin) {
  for (const SqlToken& t : c.tokens) {
    if (t.begin >= end && t.end <= begin &&
        (t.kind == SqlTokenKind::LineComment || t.kind == SqlTokenKind::BlockComment))
      return std::string(text.substr(end, begin - end));
  }
  return "";
}

/* Appends CLAUSE to OUT after one blank, or after a line break when OUT
** ends in a line comment, which would otherwise swallow it. */
void AppendClause(std::string& out, std::string_view clause) {
  if (!out.empty() && (out.back() == ' ' || (out.back() >= 1 && out.back() <= 13))) {
    // The blanks kept before it (after a comment) separate it already; a
    // line break among them ends any line comment.
    out += clause;
    return;
  }
  std::vector<SqlToken> tokens = TokenizeSql(out);
  bool afterLineComment = !tokens.empty() && tokens.back().kind == SqlTokenKind::LineComment;
  out += afterLineComment ? '\n' : ' ';
  out += clause;
}

/* Returns the text of a LIMIT clause with LIMIT and OFFSET. */
std::string LimitClauseText(int64_t limit, int64_t offset) {
  return "LIMIT " + std::to_string(limit) + " OFFSET " + std::to_string(offset);
}

/* Returns the LIMIT clause of C as it is to be written back: as written,
** except that the comma form becomes LIMIT ... OFFSET .... */
std::string LimitClauseOf(std::string_view text, const Clauses& c) {
  if (c.limit == Clauses::npos) return "";
  size_t begin = c.tokens[c.top[c.limit]].begin;
  for (size_t k = c.limit + 1; k < c.top.size(); ++k) {
    if (c.tokens[c.top[k]].kind == SqlTokenKind::Comma) {
      LimitOffset lo = ReadLimit(text, c);
      return LimitClauseText(lo.limit, lo.offset);
    }
  }
  return std::string(text.substr(begin, c.statementEnd - begin));
}

/* Saturating 64-bit addition. */
int64_t AddSaturating(int64_t a, int64_t b) {
  int64_t sum;
  if (__builtin_add_overflow(a, b, &sum)) return b > 0 ? kMaxOffset : kMinOffset;
  return sum;
}

/* Returns VALUE with "." between groups of three digits. */
std::string GroupedDigits(int64_t value) {
  std::string digits = std::to_string(value);
  size_t first = digits[0] == '-' ? 1 : 0;
  for (size_t pos = digits.size(); pos > first + 3;) {
    pos -= 3;
    digits.insert(pos, ".");
  }
  return digits;
}

}  // namespace

std::string MakeTableQuery(std::string_view tableName, int64_t limitSetting) {
  std::string query = "SELECT * FROM " + QuoteSqlName(tableName);
  if (limitSetting > 0) query += " LIMIT " + std::to_string(limitSetting);
  return query;
}

std::string TrimQuery(std::string_view query) {
  auto blank = [](char c) { return c == ' ' || (c >= 1 && c <= 13); };
  while (!query.empty() && blank(query.front())) query.remove_prefix(1);
  while (!query.empty() && blank(query.back())) query.remove_suffix(1);
  if (!query.empty() && query.back() == ';') query.remove_suffix(1);
  return std::string(query);
}

LimitSplit SplitLimitClause(std::string_view query) {
  Clauses c = FindClauses(query);
  LimitSplit split;
  if (c.limit == Clauses::npos) {
    split.rest = std::string(query);
    return split;
  }
  size_t head = EndBefore(c, c.limit);
  split.rest = std::string(query.substr(0, head)) +
               CommentsBetween(query, c, head, c.tokens[c.top[c.limit]].begin) +
               std::string(query.substr(c.statementEnd));
  split.clause = LimitClauseOf(query, c);
  return split;
}

std::string StripOrderBy(std::string_view query) {
  Clauses c = FindClauses(query);
  if (c.order == Clauses::npos) return std::string(query);
  std::string out(query.substr(0, EndBefore(c, c.order)));
  if (c.limit != Clauses::npos) {
    out += ' ';
    out += query.substr(c.tokens[c.top[c.limit]].begin);
  } else {
    out += query.substr(c.statementEnd);
  }
  return out;
}

std::string MakeSortedQuery(std::string_view query, std::string_view sortTerm, bool ascending) {
  std::string q = TrimQuery(query);
  Clauses c = FindClauses(q);
  size_t cut = c.order != Clauses::npos   ? c.order
               : c.limit != Clauses::npos ? c.limit
                                          : Clauses::npos;
  size_t head = cut == Clauses::npos ? c.statementEnd : EndBefore(c, cut);
  size_t next = cut == Clauses::npos ? c.statementEnd : c.tokens[c.top[cut]].begin;
  std::string out = q.substr(0, head) + CommentsBetween(q, c, head, next);
  AppendClause(out, "ORDER BY " + std::string(sortTerm) + (ascending ? " ASC" : " DESC"));
  out += ' ';
  out += LimitClauseOf(q, c);
  out += q.substr(c.statementEnd);
  return out;
}

std::string SortTermOf(const std::vector<std::string>& names, int column) {
  if (column < 0 || static_cast<size_t>(column) >= names.size()) return "1";
  const std::string& name = names[static_cast<size_t>(column)];
  bool unique = true;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i == static_cast<size_t>(column) || names[i].size() != name.size()) continue;
    bool same = true;
    for (size_t j = 0; j < name.size() && same; ++j)
      same = std::tolower(static_cast<unsigned char>(names[i][j])) ==
             std::tolower(static_cast<unsigned char>(name[j]));
    if (same) unique = false;
  }
  if (unique && IsPlainSqlName(name)) return name;
  return std::to_string(column + 1);
}

LimitOffset ParseLimitOffset(std::string_view query) {
  return ReadLimit(query, FindClauses(query));
}

PagedQuery MakePagedQuery(std::string_view query, PageDirection direction) {
  std::string q = TrimQuery(query);
  Clauses c = FindClauses(q);
  LimitOffset lo = ReadLimit(q, c);
  PagedQuery paged;
  paged.limit = lo.limit;
  if (direction == PageDirection::Down)
    paged.offset = AddSaturating(lo.offset, lo.limit);
  else
    paged.offset = lo.limit == kMinOffset ? kMaxOffset : AddSaturating(lo.offset, -lo.limit);
  if (paged.offset < 0) paged.offset = 0;
  size_t head = c.limit == Clauses::npos ? c.statementEnd : EndBefore(c, c.limit);
  size_t next = c.limit == Clauses::npos ? c.statementEnd : c.tokens[c.top[c.limit]].begin;
  paged.text = q.substr(0, head) + CommentsBetween(q, c, head, next);
  AppendClause(paged.text, LimitClauseText(paged.limit, paged.offset));
  paged.text += q.substr(c.statementEnd);
  return paged;
}

std::string TableNameOfQuery(std::string_view query) {
  Clauses c = FindClauses(query);
  if (c.from == Clauses::npos || c.from + 1 >= c.top.size()) return "";
  size_t k = c.from + 1;
  std::string name;
  // A qualified name (schema.table) names its last part.
  for (;;) {
    const SqlToken& t = c.tokens[c.top[k]];
    if (t.kind != SqlTokenKind::Word && t.kind != SqlTokenKind::QuotedName) return "";
    name = UnquoteSqlName(TopText(query, c, k));
    if (k + 2 >= c.top.size() || TopText(query, c, k + 1) != ".") break;
    k += 2;
  }
  for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return name;
}

std::string PagingStatusText(int64_t offset, int64_t limit) {
  return GroupedDigits(offset) + "+" + GroupedDigits(limit);
}

void NoteQueryRun(ViewQueryState& state, std::optional<std::string_view> query) {
  if (query) state.currentQuery = std::string(*query);
  LimitOffset lo = ParseLimitOffset(state.currentQuery);
  state.limit = lo.limit;
  state.offset = lo.offset;
  if (state.tableIndex == -1) state.lastCustomQuery = state.currentQuery;
}

void NoteQueryReadOnly(ViewQueryState& state, bool readOnly) {
  state.currentReadOnly = readOnly;
  if (state.tableIndex == -1) state.lastCustomReadOnly = readOnly;
}

bool CanGoNextTable(const ViewQueryState& state, int tableCount) {
  return static_cast<int64_t>(state.tableIndex) + 1 < tableCount;
}

bool CanGoPreviousTable(const ViewQueryState& state) {
  if (state.tableIndex > 0) return true;
  return state.tableIndex == 0 && !state.lastCustomQuery.empty() && state.lastCustomReadOnly;
}
