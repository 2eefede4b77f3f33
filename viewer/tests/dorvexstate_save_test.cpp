/*
** Tests of writing view-state files: the bytes of a simple file, texts that
** come back exactly through Load, failures that keep the old file, the
** relative database path and the clamped repeat interval.
*/
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include "dorvexstate.h"
#include "storenode.h"
#include "viewertestdir.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

TEST(DorvexStateSave, WritesTheExpectedBytes) {
  ViewerTestDir dir;
  DorvexState state;
  state.m_file = "/data/shop.db";
  state.m_query = "SELECT * FROM t";
  state.m_left = 10;
  state.m_top = 20;
  state.m_right = 810;
  state.m_bottom = 620;
  state.m_main->Path("bars/tool")->SetBool(true);
  std::string error;
  ASSERT_TRUE(state.Save(dir.Path("s.dvxs"), &error)) << error;
  EXPECT_EQ(ReadFile(dir.Path("s.dvxs")),
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n"
            "<DorvexState>\n"
            "   <file> /data/shop.db</file>\n"
            "   <query> SELECT * FROM t</query>\n"
            "   <rect t=\"20\" r=\"810\" b=\"620\" l=\"10\"/>\n"
            "   <main>\n"
            "      <bars>\n"
            "         <tool> true</tool>\n"
            "      </bars>\n"
            "   </main>\n"
            "</DorvexState>\n\n");
  EXPECT_EQ(state.m_path, dir.Path("s.dvxs"));

  // With a repeat and a name, "repeat" comes first and "name" after the query.
  state.m_interval = 10;
  state.m_name = "Shop";
  state.m_main->Clear();
  ASSERT_TRUE(state.Save(dir.Path("r.dvxs"), &error)) << error;
  EXPECT_EQ(ReadFile(dir.Path("r.dvxs")),
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n"
            "<DorvexState>\n"
            "   <repeat intervall=\"10\"/>\n"
            "   <file> /data/shop.db</file>\n"
            "   <query> SELECT * FROM t</query>\n"
            "   <name> Shop</name>\n"
            "   <rect t=\"20\" r=\"810\" b=\"620\" l=\"10\"/>\n"
            "</DorvexState>\n\n");
}

TEST(DorvexStateSave, TextsReadBackExactly) {
  ViewerTestDir dir;
  std::string longQuery = "SELECT a,   b FROM t WHERE x = 'one  two'";
  for (int i = 0; i < 60; ++i)
    longQuery += " AND col" + std::to_string(i) + " <> 'v  " + std::to_string(i) + "'";
  const std::string texts[] = {
      "SELECT \"a\" FROM \"t\" WHERE b = '\"'",
      "\"quoted\" at the start and a trailing quote\"",
      "  leading and trailing blanks\t\n",
      "a & b < c > d &amp; &#65; &#8217; &lt;",
      "line one\r\nline two\n\n\ttabbed",
      "caf\xC3\xA9 \xC3\xBC\xC3\x9F Latin-1",
      "\xE4\xB8\xAD\xE6\x96\x87 \xE2\x80\x99 emoji \xF0\x9F\x98\x80 and \xC3\x83\xC2\xA9",
      longQuery,
  };
  for (const std::string& text : texts) {
    DorvexState state;
    state.m_file = dir.Path("da  ta/\xC3\xA9\xE4\xB8\xAD.db");
    state.m_query = text;
    state.m_name = text;
    std::string error;
    ASSERT_TRUE(state.Save(dir.Path("t.dvxs"), &error)) << error << " for " << text;
    DorvexState back;
    ASSERT_TRUE(back.Load(dir.Path("t.dvxs"), &error)) << error;
    EXPECT_EQ(back.m_query, text);
    EXPECT_EQ(back.m_name, text);
    EXPECT_EQ(back.m_file, state.m_file);
  }
}

TEST(DorvexStateSave, AFailureIsReportedAndKeepsTheOldFile) {
  ViewerTestDir dir;
  DorvexState state;
  state.m_file = "/data/a.db";
  state.m_query = "SELECT 1";
  std::string error;
  ASSERT_TRUE(state.Save(dir.Path("keep.dvxs"), &error)) << error;
  std::string before = ReadFile(dir.Path("keep.dvxs"));

  // What would not come back is refused: a name that reading takes for a
  // Windows path, a text cut inside a UTF-8 character, an empty query.
  state.m_file = "a\\b.db";
  EXPECT_FALSE(state.Save(dir.Path("keep.dvxs"), &error));
  EXPECT_NE(error.find("exactly"), std::string::npos) << error;
  state.m_file = "/data/a.db";
  state.m_query = "SELECT '\xE4\xB8'";
  EXPECT_FALSE(state.Save(dir.Path("keep.dvxs"), &error));
  state.m_query.clear();
  EXPECT_FALSE(state.Save(dir.Path("keep.dvxs"), &error));
  EXPECT_EQ(ReadFile(dir.Path("keep.dvxs")), before);

  // An unwritable folder, a missing folder and an over-long name fail.
  state.m_query = "SELECT 2";
  ASSERT_EQ(mkdir(dir.Path("ro").c_str(), 0500), 0);
  if (geteuid() != 0) {
    EXPECT_FALSE(state.Save(dir.Path("ro/s.dvxs"), &error));
  }
  EXPECT_FALSE(state.Save(dir.Path("missing/s.dvxs"), &error));
  EXPECT_FALSE(state.Save(dir.Path(std::string(300, 'n') + ".dvxs"), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.Path("keep.~bw")));
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_FALSE(state.Save("/dev/full", &error));
  }
}

TEST(DorvexStateSave, RelativePathsShareAFolderBelowTheRoot) {
  EXPECT_EQ(DorvexState::RelativePath("/data/db/shop.db", "/data/states/s1.dvxs"), "../db/shop.db");
  EXPECT_EQ(DorvexState::RelativePath("/data/db/shop.db", "/data/db/s.dvxs"), "shop.db");
  EXPECT_EQ(DorvexState::RelativePath("/data/dbx/a.db", "/data/db/s.dvxs"), "../dbx/a.db");
  EXPECT_EQ(DorvexState::RelativePath("/data/a.db", "/data/x/y/z/s.dvxs"), "../../../a.db");
  // Only the root in common, or letter case differing: the path stays.
  EXPECT_EQ(DorvexState::RelativePath("/home/a.db", "/tmp/s.dvxs"), "/home/a.db");
  EXPECT_EQ(DorvexState::RelativePath("/Data/a.db", "/data/s.dvxs"), "/Data/a.db");
  // Windows separators count as separators; the result is written with "/".
  EXPECT_EQ(DorvexState::RelativePath("C:\\data\\db\\shop.db", "C:\\data\\states\\s1.dvxs"),
            "../db/shop.db");
  EXPECT_EQ(DorvexState::RelativePath("D:\\db\\a.db", "C:\\data\\s.dvxs"), "D:\\db\\a.db");

  // Saved relative, the path resolves against the state file's folder.
  ViewerTestDir dir;
  DorvexState state;
  state.m_file = DorvexState::RelativePath(dir.Path("db/shop.db"), dir.Path("states/s.dvxs"));
  state.m_query = "SELECT 1";
  std::filesystem::create_directory(dir.Path("states"));
  std::string error;
  ASSERT_TRUE(state.Save(dir.Path("states/s.dvxs"), &error)) << error;
  DorvexState back;
  ASSERT_TRUE(back.Load(dir.Path("states/s.dvxs"), &error)) << error;
  EXPECT_EQ(back.DatabasePath(), dir.Path("db/shop.db"));
}

TEST(DorvexStateSave, IntervalsAreClamped) {
  EXPECT_EQ(DorvexState::ClampInterval(0), 0);
  EXPECT_EQ(DorvexState::ClampInterval(-5), 0);
  EXPECT_EQ(DorvexState::ClampInterval(1), 3);
  EXPECT_EQ(DorvexState::ClampInterval(10), 10);
  EXPECT_EQ(DorvexState::ClampInterval(86400), 86400);
  EXPECT_EQ(DorvexState::ClampInterval(INT64_MAX), 86400);

  ViewerTestDir dir;
  DorvexState state;
  state.m_file = "/a.db";
  state.m_query = "SELECT 1";
  state.m_interval = 1;
  std::string error;
  ASSERT_TRUE(state.Save(dir.Path("i.dvxs"), &error)) << error;
  EXPECT_NE(ReadFile(dir.Path("i.dvxs")).find("intervall=\"3\""), std::string::npos);
}

}  // namespace
