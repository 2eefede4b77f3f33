/*
** Tests of the log sink and the leveled diagnostic log.
*/
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "xb_testsupport.h"
#include "xb_diaglog.h"
#include "xb_log.h"

TEST(LogSink, AClearedSinkReceivesNothing) {
  std::vector<std::string> texts;
  auto collect = [](const char* text, void* context) {
    static_cast<std::vector<std::string>*>(context)->emplace_back(text);
  };
  XB_SetLogSink(collect, &texts);
  XB_Log("before");
  XB_SetLogSink(nullptr);
  XB_Log("E_ nobody listens");
  XB_Log(static_cast<const char*>(nullptr));
  EXPECT_EQ(texts, std::vector<std::string>{"before"});
}

TEST(LogSink, SinkReceivesTextsAndLogF) {
  XB_LogCapture log;
  XB_Log("plain note");
  XB_Log(static_cast<const char*>(nullptr));
  XB_LogF("E_ open %s: %s", nullptr, "denied");
  XB_LogF("E_ %s", "one");
  XB_LogF("B_ increased size to %d (performance warning)", 64);
  XB_LogF("E_ %s row %d", XB_String("t"), 3);
  ASSERT_EQ(log.Texts().size(), 5u);
  EXPECT_EQ(log.Texts()[0], "plain note");
  EXPECT_EQ(log.Texts()[1], "E_ open (null): denied");
  EXPECT_EQ(log.Texts()[2], "E_ one");
  EXPECT_EQ(log.Texts()[3], "B_ increased size to 64 (performance warning)");
  EXPECT_EQ(log.Texts()[4], "E_ t row 3");
}

namespace {
int g_calls = 0;
void LoggingSink(const char*, void*) {
  g_calls++;
  XB_Log("E_ from inside the sink");
}
}  // namespace

TEST(LogSink, ASinkThatLogsIsNotReentered) {
  g_calls = 0;
  XB_SetLogSink(&LoggingSink);
  XB_Log("outer");
  XB_SetLogSink(nullptr);
  EXPECT_EQ(g_calls, 1);
}

TEST(LogSink, TraceLineForms) {
  EXPECT_EQ(XB_LogTraceLine("E_ bad thing"), "bad thing  \t[E]\n");
  EXPECT_EQ(XB_LogTraceLine("note"), "note\n");
  /* Too short to have a text after the prefix: nothing is read past it. */
  EXPECT_EQ(XB_LogTraceLine("E_"), "  \t[E]\n");
  EXPECT_EQ(XB_LogTraceLine(""), "\n");
}

class DiagLogTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(m_temp.Root().empty()); }
  XB_TestDir m_temp;
  std::filesystem::path m_dir{m_temp.Root()};
};

TEST_F(DiagLogTest, DefaultThresholdProducesNothing) {
  XB_DiagLog log;
  log.Log(50, "URL yields status %D\n%s", 200, "http://x");
  EXPECT_TRUE(log.Pending().empty());
  log.SetThreshold(90);
  log.Log(90, "status %D", 1200);
  log.Log(150, "dropped");
  ASSERT_EQ(log.Pending().size(), 1u);
  EXPECT_EQ(log.Pending().front(), "status 1.200");
  EXPECT_FALSE(log.SetFile("ab"));
  EXPECT_FALSE(log.Flush());
}

TEST_F(DiagLogTest, AppendsToTheNamedFileAndMovesALargeOneAside) {
  std::filesystem::path file = m_dir / "net.log";
  XB_DiagLog log;
  log.SetThreshold(400);
  log.Log(50, "queued before %s", "naming");
  ASSERT_TRUE(log.SetFile(file.c_str()));
  log.SetSizeLimit(40);
  log.Log(90, "first %d", 1);
  EXPECT_EQ(XB_TestDir::Read(file), "queued before naming\nfirst 1\n");
  log.Log(90, "%s", std::string(50, 'x'));
  log.Log(390, "after rotation");
  EXPECT_EQ(XB_TestDir::Read(file), "after rotation\n");
  EXPECT_EQ(XB_TestDir::Read(m_dir / "net-old.log"),
            "queued before naming\nfirst 1\n" + std::string(50, 'x') + "\n");
}

TEST_F(DiagLogTest, UnwritableFileKeepsTheLines) {
  XB_DiagLog log;
  log.SetThreshold(100);
  ASSERT_TRUE(log.SetFile((m_dir / "missing" / "x.log").c_str()));
  XB_LogCapture errors;
  log.Log(50, "kept");
  EXPECT_EQ(log.Pending().size(), 1u);
  EXPECT_FALSE(errors.Texts().empty());
}

TEST(DiagLogNames, OldNamePutsMarkerBeforeTheExtension) {
  EXPECT_EQ(XB_DiagLog::OldName("net.log"), "net-old.log");
  EXPECT_EQ(XB_DiagLog::OldName("/tmp/a.b/trace"), "/tmp/a.b/trace-old");
  EXPECT_EQ(XB_DiagLog::OldName("dir/x.tar.gz"), "dir/x.tar-old.gz");
  EXPECT_EQ(XB_DiagLog::OldName("dir/.hidden"), "dir/.hidden-old");
}
