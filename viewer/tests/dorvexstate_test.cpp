/*
** Tests of reading view-state files: what a file holds, what Windows and
** hostile input do, and that one load never leaves anything to the next.
*/
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "dorvexstate.h"
#include "storenode.h"
#include "viewertestdir.h"

namespace {

TEST(DorvexStateLoad, ReadsEveryElementIgnoringCaseAndOrder) {
  ViewerTestDir dir;
  std::string path = dir.Write("s.dvxs",
                               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                               "<DorvexState>\r\n"
                               "  <RECT t=\"10\" r=\"500\" b=\"400\" l=\"20\"/>\r\n"
                               "  <Query>SELECT * FROM t WHERE x = 'caf\xC3\xA9'</Query>\r\n"
                               "  <repeat intervall=\"10\"/>\r\n"
                               "  <file>  \"..\\db\\shop.db\"  </file>\r\n"
                               "  <name>Shop</name>\r\n"
                               "  <main><topmost>true</topmost></main>\r\n"
                               "  <unknown><deeper/></unknown>\r\n"
                               "</DorvexState>\r\n");
  DorvexState state;
  std::string error;
  ASSERT_TRUE(state.Load(path, &error)) << error;
  EXPECT_EQ(state.m_query, "SELECT * FROM t WHERE x = 'caf\xC3\xA9'");
  EXPECT_EQ(state.m_interval, 10);
  EXPECT_EQ(state.m_name, "Shop");
  EXPECT_EQ(state.m_left, 20);
  EXPECT_EQ(state.m_top, 10);
  EXPECT_EQ(state.m_right, 500);
  EXPECT_EQ(state.m_bottom, 400);
  EXPECT_TRUE(state.m_main->Path("topmost")->GetBool(false));
  // A Windows relative path resolves against the state file's folder.
  EXPECT_EQ(state.DatabasePath(),
            std::filesystem::path(dir.Path("../db/shop.db")).lexically_normal().string());
  EXPECT_EQ(state.m_path, path);
}

TEST(DorvexStateLoad, HostileInputFailsAndLeavesTheRecordAlone) {
  ViewerTestDir dir;
  DorvexState state;
  std::string error;
  ASSERT_TRUE(state.Load(dir.Write("good.dvxs",
                                   "<DorvexState><file>a.db</file><query>SELECT 1</query>"
                                   "<name>Kept</name><repeat intervall=\"5\"/></DorvexState>"),
                         &error))
      << error;

  std::string deep;
  for (int i = 0; i < 10000; ++i) deep += "<x>";
  struct Case {
    const char* name;
    std::string content;
  } cases[] = {
      {"noroot.dvxs", "<Other><file>a.db</file><query>SELECT 1</query></Other>"},
      {"noquery.dvxs", "<DorvexState><file>a.db</file><query>  </query></DorvexState>"},
      {"nofile.dvxs", "<DorvexState><query>SELECT 1</query></DorvexState>"},
      {"empty.dvxs", ""},
      {"binary.dvxs", std::string("\0\xFF\xFE<<>>&&;", 10)},
      {"deep.dvxs", "<DorvexState>" + deep + "</DorvexState>"},
      {"huge.dvxs", "<DorvexState><file>a.db</file><query>SELECT 1</query>" +
                        std::string(DorvexState::kMaxFileSize, ' ') + "</DorvexState>"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(state.Load(dir.Write(c.name, c.content), &error)) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
  }
  ASSERT_EQ(mkfifo(dir.Path("fifo.dvxs").c_str(), 0600), 0);
  EXPECT_FALSE(state.Load(dir.Path("fifo.dvxs"), &error));  // must not block
  EXPECT_FALSE(state.Load(dir.Path("missing.dvxs"), &error));
  EXPECT_FALSE(state.Load(dir.Path(""), &error));
  EXPECT_EQ(state.m_name, "Kept");
  EXPECT_EQ(state.m_interval, 5);

  // Integer extremes: a negative interval is none, a huge one is capped.
  ASSERT_TRUE(state.Load(dir.Write("ext.dvxs",
                                   "<DorvexState><file>a.db</file><query>SELECT 1</query>"
                                   "<repeat intervall=\"-2147483648\"/>"
                                   "<rect t=\"99999999999\" l=\"-99999999999\"/></DorvexState>"),
                         &error));
  EXPECT_EQ(state.m_interval, 0);
  EXPECT_EQ(state.m_top, INT32_MAX);
  EXPECT_EQ(state.m_left, INT32_MIN);
  ASSERT_TRUE(state.Load(dir.Write("long.dvxs",
                                   "<DorvexState><file>a.db</file><query>SELECT 1</query>"
                                   "<repeat intervall=\"2147483647\"/></DorvexState>"),
                         &error));
  EXPECT_EQ(state.m_interval, 24 * 60 * 60);
}

TEST(DorvexStateLoad, AStateWithoutNameLeavesNoNameBehind) {
  ViewerTestDir dir;
  DorvexState state;
  std::string error;
  ASSERT_TRUE(state.Load(dir.Write("named.dvxs",
                                   "<DorvexState><repeat intervall=\"30\"/><file>a.db</file>"
                                   "<query>SELECT 1</query><name>Named</name>"
                                   "<rect t=\"1\" r=\"2\" b=\"3\" l=\"4\"/>"
                                   "<main><bars><query>false</query></bars></main>"
                                   "</DorvexState>"),
                         &error));
  ASSERT_EQ(state.m_name, "Named");
  ASSERT_TRUE(state.Load(dir.Write("plain.dvxs",
                                   "<DorvexState><file>b.db</file><query>SELECT 2</query>"
                                   "</DorvexState>"),
                         &error));
  EXPECT_EQ(state.m_name, "");
  EXPECT_EQ(state.m_interval, 0);
  EXPECT_EQ(state.m_top, 0);
  EXPECT_EQ(state.m_left, 0);
  EXPECT_TRUE(state.m_main->IsEmpty());
  EXPECT_EQ(state.m_file, "b.db");
}

}  // namespace
