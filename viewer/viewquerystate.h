/*
** Query composition of a grid view: the per-view query state and the
** operations that write and rewrite a view's query text - the default query
** of a table, sorting by a result column, paging with LIMIT and OFFSET,
** reading the page size back, finding the table a query reads, the paging
** status text - plus the table-list walk of Next / Previous Table.
**
** On ordinary SQL (one SELECT on one line with single blanks, plain names,
** no comments or sub-queries) the texts are exactly the classic ones, for
** example SELECT * FROM t ORDER BY name DESC LIMIT 100.  Otherwise the
** original text is kept, its blanks, comments and literals included, and
** only the clause concerned is replaced or appended; the clauses are found
** among the top-level tokens of the query's first statement (see sqltext.h),
** never inside sub-queries, window definitions, literals or comments.  A
** clause appended after a text that ends in a line comment goes on a line
** of its own.  Limits and offsets are 64-bit; sums saturate.
**
** Which texts may be rewritten or run again without asking is not decided
** here: a rewrite of a text that is not one read-only statement is refused
** by the view through currentReadOnly (set from each run's outcome) and by
** the query runner's read-only mode.
**
** Everything here is plain functions over text and a plain record, callable
** without a window.
*/
#ifndef VIEWQUERYSTATE_H
#define VIEWQUERYSTATE_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/* The query of one grid view. */
struct ViewQueryState {
  std::string currentQuery;        /* the SQL the view last ran or is about to run */
  std::string lastCustomQuery;     /* the last query run in custom mode */
  int32_t tableIndex = 0;          /* shown table's position; -1: custom mode */
  int64_t limit = 25;              /* page size read from the current query */
  int64_t offset = 0;              /* row offset read from the current query */
  bool currentReadOnly = false;    /* the current query is one read-only statement */
  bool lastCustomReadOnly = false; /* so is the last custom query */
};

/* Page direction of MakePagedQuery. */
enum class PageDirection { Down, Up };

/* The LIMIT clause of a query and the rest of it. */
struct LimitSplit {
  std::string rest;   /* the query without its LIMIT clause */
  std::string clause; /* "LIMIT n" or "LIMIT n OFFSET m" as written; may be empty */
};

/* Page size and offset of a query (10 and 0 when it has no LIMIT). */
struct LimitOffset {
  int64_t limit = 10;
  int64_t offset = 0;
};

/* A paged query and the offset it starts at. */
struct PagedQuery {
  std::string text;
  int64_t offset = 0;
  int64_t limit = 10;
};

/* Returns the default query of TABLENAME: "SELECT * FROM name", with
** " LIMIT n" when LIMITSETTING is above 0.  The name is quoted when it is
** not a plain name (see QuoteSqlName). */
std::string MakeTableQuery(std::string_view tableName, int64_t limitSetting);

/* Returns QUERY trimmed, with one trailing ";" removed. */
std::string TrimQuery(std::string_view query);

/* Splits the top-level LIMIT clause (LIMIT n, LIMIT n OFFSET m, or LIMIT
** m, n) off the first statement of QUERY. */
LimitSplit SplitLimitClause(std::string_view query);

/* Returns QUERY without its top-level ORDER BY clause (which runs to the
** LIMIT clause or the statement's end). */
std::string StripOrderBy(std::string_view query);

/* Returns QUERY sorted by SORTTERM (as SortTermOf gives it): its ORDER BY
** replaced, or one added before its LIMIT clause or at its end, with "ASC"
** or "DESC".  The classic text keeps its one trailing blank when there is no
** LIMIT clause. */
std::string MakeSortedQuery(std::string_view query, std::string_view sortTerm, bool ascending);

/* Returns the ORDER BY term for result column COLUMN (0-based) of a result
** whose column names are NAMES: the name when it is plain and names no
** other column of the result, otherwise the column's 1-based position
** ("3"), since an expression or a quoted name would sort by a constant. */
std::string SortTermOf(const std::vector<std::string>& names, int column);

/* Reads the page size and offset of QUERY's top-level LIMIT clause ("LIMIT
** m, n" is offset m and n rows) as 64-bit numbers; absent: 10 and 0.  A
** value that is not a plain number reads as 0. */
LimitOffset ParseLimitOffset(std::string_view query);

/* Returns QUERY moved one page down (forward) or up (back), with "LIMIT n
** OFFSET m" in place of its LIMIT clause.  The offset never goes below 0
** and saturates at the largest 64-bit value. */
PagedQuery MakePagedQuery(std::string_view query, PageDirection direction);

/* Returns the table QUERY reads from: the first name after the top-level
** FROM of its first statement, unquoted and in lower case; empty when
** there is none. */
std::string TableNameOfQuery(std::string_view query);

/* Returns the status text "offset+limit" with "." between groups of three
** digits, e.g. 1.500+100. */
std::string PagingStatusText(int64_t offset, int64_t limit);

/* The bookkeeping before every run: QUERY (none: the current query again)
** becomes the current query, limit and offset are read from it, and in
** custom mode it is also the last custom query. */
void NoteQueryRun(ViewQueryState& state, std::optional<std::string_view> query);

/* The bookkeeping after a run has told whether the query was one read-only
** statement. */
void NoteQueryReadOnly(ViewQueryState& state, bool readOnly);

/* Returns true when Next Table may go on from STATE in a list of TABLECOUNT. */
bool CanGoNextTable(const ViewQueryState& state, int tableCount);

/* Returns true when Previous Table may go back from STATE: to the table
** before, or from the first table to a last custom query that is one
** read-only statement. */
bool CanGoPreviousTable(const ViewQueryState& state);

#endif
