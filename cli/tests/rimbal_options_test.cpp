/*
** Tests of the command-line parser: what counts as an option, which
** positional argument is the table, and how the statement is assembled.
*/
#include <gtest/gtest.h>

#include "rimbaloptions.h"

namespace {

RimbalOptions Parsed(const std::vector<std::string>& arguments) {
  RimbalOptions options;
  options.Parse(arguments);
  return options;
}

TEST(RimbalOptions, RowCommandsTakeTheTableBeforeTheWherePart) {
  RimbalOptions edit = Parsed({"-et", "db.sqlite", "orders", "id", ">", "5 "});
  EXPECT_EQ(edit.command, RC_EDIT_ROWS);
  EXPECT_EQ(edit.file, "db.sqlite");
  EXPECT_EQ(edit.table, "orders");
  EXPECT_EQ(edit.statement, "id > 5");

  // The option that wins decides whether the second argument is a table.
  RimbalOptions overridden = Parsed({"--add-row", "--query-tab", "f", "SELECT", "1"});
  EXPECT_EQ(overridden.command, RC_QUERY_TAB);
  EXPECT_EQ(overridden.table, "");
  EXPECT_EQ(overridden.statement, "SELECT 1");
  RimbalOptions insert = Parsed({"--query-tab", "-ar", "f", "t"});
  EXPECT_EQ(insert.command, RC_INSERT_ROW);
  EXPECT_EQ(insert.table, "t");
  EXPECT_EQ(insert.statement, "");
}

TEST(RimbalOptions, OptionsEndAtTheFirstPositionalArgument) {
  RimbalOptions empty = Parsed({"-r", "", "-c2", "--query"});
  EXPECT_EQ(empty.command, RC_EXEC);
  EXPECT_EQ(empty.file, "");
  EXPECT_EQ(empty.statement, "-c2 --query");

  RimbalOptions none = Parsed({"-", "--", "-C3"});
  EXPECT_EQ(none.command, RC_NONE);
  EXPECT_EQ(none.file, "");

  // Only spaces and codes 1 to 13 are trimmed; other bytes stay.
  RimbalOptions trimmed = Parsed({"-r", "f", "\x01\r\n SELECT\xA0", "\x0e"});
  EXPECT_EQ(trimmed.statement, "SELECT\xA0 \x0e");
}

}  // namespace
