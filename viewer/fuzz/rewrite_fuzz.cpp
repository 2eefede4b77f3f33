/*
** libFuzzer target over the query rewrites: the input is a query text.  It
** is sorted, paged both ways, split and stripped; nothing may crash.  When
** no literal, name or bracket is left open, every token outside the clauses
** a rewrite replaces must come through in order, and a paged text must read
** back the limit and offset it was given.
*/
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "sqltext.h"
#include "viewquerystate.h"

namespace {

/* Returns the texts of the tokens of TEXT that are not blanks, comments or
** semicolons, from BEGIN up to END (byte offsets). */
std::vector<std::string> Words(std::string_view text, size_t begin, size_t end) {
  std::vector<std::string> words;
  for (const SqlToken& t : TokenizeSql(text)) {
    if (t.begin < begin || t.end > end || IsSqlBlank(t.kind)) continue;
    words.emplace_back(text.substr(t.begin, t.end - t.begin));
  }
  return words;
}

/* Returns true when WANTED occur in GOT in the same order. */
bool InOrder(const std::vector<std::string>& wanted, const std::vector<std::string>& got) {
  size_t at = 0;
  for (const std::string& w : wanted) {
    while (at < got.size() && got[at] != w) ++at;
    if (at == got.size()) return false;
    ++at;
  }
  return true;
}

/* Returns true when the quoted token T of TEXT ends with its closing
** quote (a doubled quote inside stands for itself, except in [...]). */
bool Closed(std::string_view text, const SqlToken& t) {
  char open = text[t.begin];
  char close = open == '[' ? ']' : open;
  for (size_t i = t.begin + 1; i < t.end; ++i) {
    if (text[i] != close) continue;
    if (open != '[' && i + 1 < t.end && text[i + 1] == close) {
      ++i;
      continue;
    }
    return i + 1 == t.end;
  }
  return false;
}

/* Returns where the query's own ORDER BY or LIMIT clause begins in TEXT
** (the first of them at the top level of its first statement), or the
** text's size.  Also sets *SOUND to false when a literal, quoted name or
** bracket is left open: a clause appended after it would be taken into it,
** as the engine would take it. */
size_t ClauseStart(std::string_view text, bool* sound) {
  std::vector<SqlToken> tokens = TokenizeSql(text);
  size_t start = text.size();
  bool firstStatement = true;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const SqlToken& t = tokens[i];
    if ((t.kind == SqlTokenKind::String || t.kind == SqlTokenKind::QuotedName) && !Closed(text, t))
      *sound = false;
    if (t.kind == SqlTokenKind::Semicolon && t.depth == 0) firstStatement = false;
    // A bracket left open takes in whatever is appended, too.
    if (i + 1 == tokens.size() && t.depth + (t.kind == SqlTokenKind::Open ? 1 : 0) != 0)
      *sound = false;
    if (!firstStatement || t.depth != 0 || start != text.size()) continue;
    if (IsSqlWord(text, t, "LIMIT")) start = t.begin;
    if (IsSqlWord(text, t, "ORDER")) {
      for (size_t j = i + 1; j < tokens.size(); ++j) {
        if (IsSqlBlank(tokens[j].kind)) continue;
        if (IsSqlWord(text, tokens[j], "BY")) start = t.begin;
        break;
      }
    }
  }
  return start;
}

/* Returns the offset where the first statement of TEXT ends. */
size_t FirstStatementEnd(std::string_view text) {
  for (const SqlToken& t : TokenizeSql(text)) {
    if (t.kind == SqlTokenKind::Semicolon && t.depth == 0) return t.begin;
  }
  return text.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string query(reinterpret_cast<const char*>(data), size);
  std::string trimmed = TrimQuery(query);
  bool sound = true;
  size_t clause = ClauseStart(trimmed, &sound);
  size_t statementEnd = FirstStatementEnd(trimmed);
  std::vector<std::string> kept = Words(trimmed, 0, std::min(clause, statementEnd));
  std::vector<std::string> after = Words(trimmed, statementEnd, trimmed.size());
  kept.insert(kept.end(), after.begin(), after.end());

  for (bool ascending : {true, false}) {
    std::string sorted = MakeSortedQuery(query, "zz_sort_term", ascending);
    if (sound && !InOrder(kept, Words(sorted, 0, sorted.size()))) std::abort();
  }
  for (PageDirection direction : {PageDirection::Down, PageDirection::Up}) {
    PagedQuery paged = MakePagedQuery(query, direction);
    if (sound && !InOrder(kept, Words(paged.text, 0, paged.text.size()))) std::abort();
    if (paged.offset < 0) std::abort();
    LimitOffset back = ParseLimitOffset(paged.text);
    if (sound && (back.limit != paged.limit || back.offset != paged.offset)) std::abort();
  }
  LimitSplit split = SplitLimitClause(query);
  if (split.rest.size() > query.size()) std::abort();
  StripOrderBy(query);
  TableNameOfQuery(query);
  ParseLimitOffset(query);
  SplitSqlStatements(query);
  ViewQueryState state;
  NoteQueryRun(state, query);
  PagingStatusText(state.offset, state.limit);
  return 0;
}
