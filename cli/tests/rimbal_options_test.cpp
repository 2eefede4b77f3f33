/*
** Tests of the command-line parser where the program tests cannot see it:
** which positional argument is the table, decided by the option that wins.
*/
#include <gtest/gtest.h>

#include "rimbaloptions.h"

TEST(RimbalOptions, RowCommandsTakeTheTableBeforeTheWherePart) {
  RimbalOptions edit;
  edit.Parse({"-et", "db.sqlite", "orders", "id", ">", "5 "});
  EXPECT_EQ(edit.command, RC_EDIT_ROWS);
  EXPECT_EQ(edit.file, "db.sqlite");
  EXPECT_EQ(edit.table, "orders");
  EXPECT_EQ(edit.statement, "id > 5");

  RimbalOptions overridden;
  overridden.Parse({"--add-row", "--query-tab", "f", "SELECT", "1"});
  EXPECT_EQ(overridden.table, "");
  EXPECT_EQ(overridden.statement, "SELECT 1");
  RimbalOptions insert;
  insert.Parse({"--query-tab", "-ar", "f", "t"});
  EXPECT_EQ(insert.command, RC_INSERT_ROW);
  EXPECT_EQ(insert.table, "t");
  EXPECT_EQ(insert.statement, "");
}
