/*
** Per-user registration in temporary XDG folders, checked with the
** desktop's own tools: the entries validate, the types resolve, opening a
** view state starts the registered program with "--state PATH".
*/
#include "filemanager.h"
#include "shellregistration.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cstdlib>

namespace {

bool WriteFile(const QString& path, const QByteArray& data) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/* Runs PROGRAM with ARGUMENTS; its standard output, or a null array when
** it could not run or failed. */
QByteArray RunTool(const QString& program, const QStringList& arguments, int* exitCode = nullptr) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  if (!process.waitForFinished(30000)) return QByteArray();
  if (exitCode) *exitCode = process.exitCode();
  return process.readAll();
}

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    home = dir.filePath("data");
    system = dir.filePath("system");
    QDir().mkpath(system);
    // The system's MIME database, but not its applications: a viewer
    // installed on this machine must not change what the test sees.
    QString shared = dir.filePath("shared");
    QDir().mkpath(shared);
    ASSERT_TRUE(QFile::link("/usr/share/mime", shared + "/mime"));
    qputenv("XDG_DATA_HOME", home.toUtf8());
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
    qputenv("XDG_DATA_DIRS", (system + ":" + shared).toUtf8());
    // A recording program whose own path has blanks and quotes.
    program = dir.filePath("bin dir/rec \"o'k\" $1.sh");
    record = dir.filePath("record.txt");
    ASSERT_TRUE(
        WriteFile(program, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                               record.toUtf8() + ".tmp' && mv '" + record.toUtf8() + ".tmp' '" +
                               record.toUtf8() + "'\n"));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  /* Every file below the user's data folder with its content. */
  QMap<QString, QByteArray> Snapshot() const {
    QMap<QString, QByteArray> files;
    QDirIterator it(home, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      QString path = it.next();
      files[path] = ReadFile(path);
    }
    return files;
  }

  QTemporaryDir dir;
  QString home, system, program, record;
};

TEST(ExecQuoting, DesktopAndServiceRules) {
  EXPECT_EQ("\"/usr/bin/Dorvex\"", ShellRegistration::QuoteDesktopExec("/usr/bin/Dorvex"));
  // ", `, $ and \ are escaped inside the quotes, % is doubled, then every
  // backslash is doubled once more for the string value.
  EXPECT_EQ("\"/a b/c\\\\\"d\\\\$e%%f\\\\\\\\g\\\\`\"",
            ShellRegistration::QuoteDesktopExec("/a b/c\"d$e%f\\g`"));
  EXPECT_EQ("", ShellRegistration::QuoteDesktopExec("/a\nb"));
  EXPECT_EQ("\"/a b/c\\\"d%\"", ShellRegistration::QuoteServiceExec("/a b/c\"d%"));
}

TEST_F(RegistrationTest, RegistersOnceAndTheDesktopUsesIt) {
  RegistrationReport report;
  ASSERT_TRUE(ShellRegistration::Register(program, &report))
      << report.failed.join(",").toStdString();
  EXPECT_FALSE(report.systemInstall);
  EXPECT_EQ(7, report.written.size());
  QString viewer = home + "/applications/dorvex.desktop";
  QString state = home + "/applications/dorvex-state.desktop";
  EXPECT_TRUE(ReadFile(state).contains("NoDisplay=true"));
  EXPECT_TRUE(ReadFile(home + "/mime/packages/dorvex.xml").contains(ShellRegistration::kMarker));

  QString validate = QStandardPaths::findExecutable("desktop-file-validate");
  if (!validate.isEmpty()) {
    for (const QString& entry : {viewer, state}) {
      int code = -1;
      QByteArray out = RunTool(validate, {entry}, &code);
      EXPECT_EQ(0, code) << out.toStdString();
    }
  }

  // A second start changes nothing.
  auto before = Snapshot();
  RegistrationReport again;
  ASSERT_TRUE(ShellRegistration::Register(program, &again));
  EXPECT_TRUE(again.written.isEmpty());
  EXPECT_EQ(before, Snapshot());

  // The user's default-application choices are never written.
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("config/mimeapps.list")));
  EXPECT_FALSE(QFileInfo::exists(home + "/applications/mimeapps.list"));

  QString gio = QStandardPaths::findExecutable("gio");
  if (gio.isEmpty()) GTEST_SKIP() << "gio is not installed";
  ASSERT_TRUE(WriteFile(dir.filePath("a.dvxs"), "<?xml version=\"1.0\"?><DorvexState/>\n"));
  ASSERT_TRUE(
      WriteFile(dir.filePath("b.dvx"), QByteArray("SQLite format 3\0", 16) + QByteArray(84, 0)));
  ASSERT_TRUE(
      WriteFile(dir.filePath("gen3.db"), QByteArray("SQLite format 3\0", 16) + QByteArray(84, 0)));
  ASSERT_TRUE(WriteFile(dir.filePath("gen2.db"),
                        "** This file contains an SQLite 2.1 database **\0" + QByteArray(52, 0)));
  const struct {
    const char* file;
    const char* type;
  } types[] = {{"a.dvxs", "application/x-dorvex-state"},
               {"b.dvx", "application/x-dorvex-document"},
               {"gen3.db", "application/vnd.sqlite3"},
               {"gen2.db", "application/x-sqlite2"}};
  for (const auto& t : types) {
    QByteArray out = RunTool(gio, {"info", "-a", "standard::content-type", dir.filePath(t.file)});
    EXPECT_TRUE(out.contains(QByteArray("content-type: ") + t.type))
        << t.file << ": " << out.toStdString();
  }

  QString statePath = dir.filePath("my \"saved\" state's view.dvxs");
  ASSERT_TRUE(WriteFile(statePath, "<?xml version=\"1.0\"?><DorvexState/>\n"));
  int code = -1;
  QByteArray out = RunTool(gio, {"open", statePath}, &code);
  ASSERT_EQ(0, code) << out.toStdString();
  for (int i = 0; i < 100 && !QFileInfo::exists(record); ++i) QThread::msleep(50);
  EXPECT_EQ("--state\n" + statePath.toUtf8() + "\n", ReadFile(record));
}

TEST_F(RegistrationTest, LeavesOthersFilesAlone) {
  QString own = home + "/applications/dorvex-state.desktop";
  QByteArray mine = "[Desktop Entry]\nType=Application\nName=Mine\nExec=mine %f\n";
  ASSERT_TRUE(WriteFile(own, mine));
  RegistrationReport report;
  EXPECT_TRUE(ShellRegistration::Register(program, &report));
  EXPECT_EQ(QStringList{own}, report.foreign);
  EXPECT_EQ(mine, ReadFile(own));
  EXPECT_EQ(6, report.written.size());

  // Once the program is installed for the system, the user's marked copies
  // go and the user's own file stays.
  ASSERT_TRUE(WriteFile(system + "/applications/dorvex.desktop", "[Desktop Entry]\n"));
  RegistrationReport installed;
  EXPECT_TRUE(ShellRegistration::Register(program, &installed));
  EXPECT_TRUE(installed.systemInstall);
  EXPECT_TRUE(installed.written.isEmpty());
  EXPECT_EQ(6, installed.removed.size());
  EXPECT_EQ(mine, ReadFile(own));
  EXPECT_FALSE(QFileInfo::exists(home + "/applications/dorvex.desktop"));
  RegistrationReport later;
  EXPECT_TRUE(ShellRegistration::Register(program, &later));
  EXPECT_TRUE(later.removed.isEmpty() && later.written.isEmpty());
}

TEST(OpenAddressTest, OnlyWebAddresses) {
  EXPECT_TRUE(IsOpenableAddress("https://www.sqlite.org/lang.html"));
  EXPECT_TRUE(IsOpenableAddress("http://example.org/a?b=c"));
  for (const char* refused :
       {"file:///etc/passwd", "javascript:alert(1)", "www.sqlite.org", "https://", "mailto:a@b.c",
        "http://exa mple.org/", "; rm -rf ~", "smb://host/share"}) {
    EXPECT_FALSE(IsOpenableAddress(refused)) << refused;
    EXPECT_FALSE(OpenAddress(refused)) << refused;
  }
}

}  // namespace
