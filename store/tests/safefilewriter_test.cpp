/*
** Safe save: where the temporary file goes, when the target is written
** directly, and that a write that fails (a full disk, a name that is too
** long) reports false and leaves the old target as it was.
*/
#include <gtest/gtest.h>

#include "safefilewriter.h"
#include "xb_testsupport.h"
#include "xmlwriter.h"

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

TEST(SafeFileWriter, TemporaryFileSitsBesideTheTarget) {
  XB_TestDir dir;
  XmlWriter w;
  w.EnableSafeSave();
  ASSERT_TRUE(w.SetFileName(dir.Path("dorvex.xml").c_str()));
  dir.Write("dorvex.xml", "old");
  chmod(dir.Path("dorvex.xml").c_str(), 0640);
  ASSERT_TRUE(w.Open());
  EXPECT_EQ(w.TempFileName(), dir.Path("dorvex.~bw"));
  w.BeginElement("a");
  w.WriteInt(1);
  EXPECT_EQ(XB_TestDir::Read(dir.Path("dorvex.xml")), "old") << "the target stays until Close";
  ASSERT_TRUE(w.Close());
  EXPECT_NE(XB_TestDir::Read(dir.Path("dorvex.xml")).find("<a> 1</a>"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.Path("dorvex.~bw")));
  struct stat replaced;
  ASSERT_EQ(stat(dir.Path("dorvex.xml").c_str(), &replaced), 0);
  EXPECT_EQ(replaced.st_mode & 0777, 0640u) << "the new file keeps the old one's permissions";
}

TEST(SafeFileWriter, TargetsWithoutExtensionAreWrittenDirectly) {
  XB_TestDir dir;
  std::filesystem::create_directory(dir.Path("v1.2"));
  const std::string targets[] = {dir.Path("settings"), dir.Path("v1.2/settings"),
                                 dir.Path("x.~bw")};
  for (const std::string& target : targets) {
    SafeFileWriter w;
    w.EnableSafeSave();
    ASSERT_TRUE(w.SetFileName(target.c_str()));
    ASSERT_TRUE(w.Open());
    EXPECT_EQ(w.TempFileName(), "") << target;
    EXPECT_TRUE(w.Close());
    EXPECT_TRUE(std::filesystem::exists(target));
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Path("v1.~bw")))
      << "a dot in a folder name is no extension";
}

TEST(SafeFileWriter, DeepFoldersAreWritten) {
  XB_TestDir dir;
  std::string deep = dir.Path("");
  for (int i = 0; i < 8; i++) {
    deep += std::string(100, static_cast<char>('a' + i)) + "/";
    ASSERT_TRUE(std::filesystem::create_directory(deep));
  }
  std::string target = deep + "dorvex.xml";
  ASSERT_GT(target.size(), 800u);
  XmlWriter w;
  w.EnableSafeSave();
  ASSERT_TRUE(w.SetFileName(target.c_str()));
  ASSERT_TRUE(w.Open());
  w.BeginElement("a");
  w.WriteInt(1);
  ASSERT_TRUE(w.Close());
  EXPECT_NE(XB_TestDir::Read(target).find("<a> 1</a>"), std::string::npos);
}

TEST(SafeFileWriter, NamesAreRefusedNotCut) {
  SafeFileWriter w;
  EXPECT_FALSE(w.SetFileName(std::string(SafeFileWriter::MaxPathLength + 1, 'a').c_str()));
  EXPECT_FALSE(w.Open());
  EXPECT_FALSE(w.SetFileName(""));
  EXPECT_FALSE(w.SetFileName(nullptr));
  EXPECT_TRUE(w.SetFileName(std::string(SafeFileWriter::MaxPathLength, 'a').c_str()));

  XB_TestDir dir;
  std::string name = dir.Path("");
  name += std::string(SafeFileWriter::MaxPathLength - name.size() - 2, 'b') + ".x";
  ASSERT_TRUE(w.SetFileName(name.c_str()));
  w.EnableSafeSave();
  EXPECT_FALSE(w.Open()) << "the temporary name would be longer than the limit";
}

TEST(SafeFileWriter, FullDiskLeavesTheOldFileAndReportsFalse) {
  XB_TestDir dir;
  std::string target = dir.Write("dorvex.xml", "old settings");
  std::string big(64 * 1024, 'z');

  struct rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  auto previous = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool closed = true;
  {
    XmlWriter w;
    w.EnableSafeSave();
    w.SetFileName(target.c_str());
    bool opened = w.Open();
    for (int i = 0; opened && i < 4; ++i) {
      w.BeginElement("data");
      w.WriteQuotedText(big.c_str());
      w.EndElement();
    }
    closed = w.Close();
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_FALSE(closed);
  EXPECT_EQ(XB_TestDir::Read(target), "old settings");
  EXPECT_FALSE(std::filesystem::exists(dir.Path("dorvex.~bw")));

  XmlWriter onFull;
  onFull.SetFileName("/dev/full");
  ASSERT_TRUE(onFull.Open());
  onFull.BeginElement("a");
  onFull.WriteText(big.c_str());
  EXPECT_FALSE(onFull.Close()) << "a write error is not reported as success";
}
