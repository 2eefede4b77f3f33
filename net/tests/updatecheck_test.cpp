/*
** Versions, timers, PAD reading, names and the whole update check against
** the loopback server with a recording prompt and an injected clock.
*/
#include "httptestserver.h"
#include "installname.h"
#include "intervaltimer.h"
#include "language.h"
#include "padinfo.h"
#include "updatecheck.h"
#include "versionnumber.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>
#include <ostream>

/* Shows a QString as text in failure messages. */
void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace {

TEST(VersionNumberTest, ReadsAndCompares) {
  struct Case {
    const char* text;
    bool valid;
    int major, minor, third, build;
  };
  const Case cases[] = {
      {"0.16 (b60)", true, 0, 16, 0, 60},
      {"0.16 b60", true, 0, 16, 0, 60},
      {"0.16b60", true, 0, 16, 0, 60},
      {"0.16 (build 60)", true, 0, 16, 0, 60},
      {"0.16 (BUILD 60)", true, 0, 16, 0, 60},
      {"1.2.3 (B 4)", true, 1, 2, 3, 4},
      {"  7", true, 7, 0, 0, 0},
      {"-1.0", false, 0, 0, 0, 0},
      {"1.-2", false, 0, 0, 0, 0},
      {"1.0 (b-5)", false, 0, 0, 0, 0},
      {"1234567890.1", false, 0, 0, 0, 0},
      {"1.0 (b1234567890)", false, 0, 0, 0, 0},
      {"", false, 0, 0, 0, 0},
      {"beta", false, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    VersionNumber v = VersionNumber::Parse(c.text);
    EXPECT_EQ(c.valid, v.IsValid()) << c.text;
    if (!c.valid) continue;
    EXPECT_EQ(c.major, v.Major()) << c.text;
    EXPECT_EQ(c.minor, v.Minor()) << c.text;
    EXPECT_EQ(c.third, v.Third()) << c.text;
    EXPECT_EQ(c.build, v.Build()) << c.text;
  }

  VersionNumber own(0, 15, 0, 59);
  EXPECT_EQ("0.15 (build 59)", own.Text());
  auto newer = [&own](const char* text) { return VersionNumber::Parse(text).IsNewerThan(own); };
  EXPECT_TRUE(newer("0.15 (b60)"));
  EXPECT_FALSE(newer("0.15 (b59)"));
  EXPECT_TRUE(newer("1.0 (b60)")) << "a higher major wins over a lower minor";
  EXPECT_TRUE(newer("1.0 (b1)"));
  EXPECT_TRUE(newer("0.16 (b1)"));
  EXPECT_FALSE(newer("0.14 (b99)"));
  EXPECT_FALSE(newer("-1.99 (b99)"));
  EXPECT_TRUE(VersionNumber::Parse("1.10").IsNewerThan(VersionNumber::Parse("1.9")));
  EXPECT_FALSE(VersionNumber::Parse("1.9").IsNewerThan(VersionNumber::Parse("1.10")));
}

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    profile = std::make_unique<QSettings>(dir.filePath("profile.ini"), QSettings::IniFormat);
  }
  QTemporaryDir dir;
  std::unique_ptr<QSettings> profile;
  int64_t now = 1'900'000'000;  // past 2038: the times are 64-bit
  IntervalTimer::Clock clock = [this] { return now; };
};

TEST_F(ProfileTest, IntervalTimers) {
  IntervalTimer timer(*profile, "Dorvex#t", 3600, clock);
  EXPECT_TRUE(timer.IsDue(true)) << "never run";
  EXPECT_TRUE(timer.IsDue(false));
  EXPECT_EQ(now, profile->value("last/Dorvex#t").toLongLong());
  EXPECT_FALSE(timer.IsDue(true));
  now += 3600;
  EXPECT_FALSE(timer.IsDue(true));
  now += 1;
  EXPECT_TRUE(timer.IsDue(true));

  timer.Mark(now + 400LL * 86400 * 365);  // a last run in the future
  EXPECT_TRUE(timer.IsDue(true));

  struct DaysCase {
    int64_t days;
    int64_t hours;
  };
  const DaysCase days[] = {{0, 0}, {7, 168}, {100000, 3650 * 24}, {-1, 168}, {-100000, 168}};
  for (const auto& d : days) EXPECT_EQ(d.hours, UpdateCheck::HoursForDays(d.days)) << d.days;

  IntervalTimer everyStart(*profile, "Dorvex#z", UpdateCheck::HoursForDays(0) * 3600, clock);
  everyStart.Mark();
  now += 11;
  EXPECT_TRUE(everyStart.IsDue(true)) << "an interval of 0 means 10 seconds";
  IntervalTimer longest(*profile, "Dorvex#l", UpdateCheck::HoursForDays(100000) * 3600, clock);
  longest.Mark();
  now += 3649LL * 86400;
  EXPECT_FALSE(longest.IsDue(true)) << "3650 days computed without overflow";
  now += 2 * 86400;
  EXPECT_TRUE(longest.IsDue(true));
}

TEST_F(ProfileTest, Language) {
  profile->setValue("app/lang", "DE");
  ApplyLanguage(*profile);
  EXPECT_EQ("de", profile->value("app/lang").toString());
  EXPECT_EQ(QLocale::German, QLocale().language());
  EXPECT_TRUE(IsLanguage(*profile, "de"));
  profile->setValue("app/lang", "fr");
  ApplyLanguage(*profile);
  EXPECT_EQ("en", profile->value("app/lang").toString());
  EXPECT_EQ(QLocale::English, QLocale().language());
  profile->remove("app/lang");
  EXPECT_TRUE(IsLanguage(*profile, "EN"));
}

TEST(InstallNameTest, IdentifierAndExtension) {
  EXPECT_EQ("Dorvex", IdentifierForm("Dorvex"));
  EXPECT_EQ("Dorvex_Pro__2", IdentifierForm("  Dorvex Pro: 2"));
  EXPECT_EQ("ca_fe", IdentifierForm(QString::fromUtf8("12 çà fé ")));
  EXPECT_EQ("install_Dorvex_update.deb",
            InstallFileName("Dorvex", "https://x.org/dl/dorvex_0.16_amd64.DEB"));
  EXPECT_EQ("install_Dorvex_update.tar.gz",
            InstallFileName("Dorvex", "https://x.org/a.tar.gz?x=1"));
  EXPECT_EQ("install_Dorvex_update.zip", InstallFileName("Dorvex", "https://x.org/a.zip"));
  EXPECT_EQ("install_Dorvex_update", InstallFileName("Dorvex", "https://x.org/setup.exe"));
  EXPECT_EQ("install_Dorvex_update", InstallFileName("Dorvex", "https://x.org/a.sh#.deb"));
}

/* A PAD text with VERSION, SIZE and URL; EXTRA goes into File_Info. */
QByteArray Pad(const QString& version, const QString& size, const QString& url,
               const QString& extra = QString()) {
  return QStringLiteral(
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<XML_DIZ_INFO>\n"
             "<Program_Info><Program_Name>Dorvex</Program_Name>"
             "<Program_Version>%1</Program_Version>"
             "<File_Info><File_Size_Bytes>%2</File_Size_Bytes>%4</File_Info></Program_Info>\n"
             "<Web_Info><Download_URLs><Primary_Download_URL>%3</Primary_Download_URL>"
             "</Download_URLs></Web_Info></XML_DIZ_INFO>\n")
      .arg(version, size, url, extra)
      .toUtf8();
}

TEST(PadInfoTest, ReadsAndRefuses) {
  PadInfo pad;
  ASSERT_TRUE(pad.Read(Pad("0.16 (b60)", "123456", "https://x.org/d.deb")));
  EXPECT_TRUE(pad.Usable());
  EXPECT_EQ(60, pad.Version().Build());
  EXPECT_EQ(123456u, pad.SizeBytes());
  EXPECT_EQ("https://x.org/d.deb", pad.DownloadUrl());

  QString longUrl = "https://x.org/" + QString(3000, 'a');
  struct Case {
    QByteArray text;
    bool usable;
  };
  const Case cases[] = {
      {Pad("0.16", "0x1000", "https://x.org/d"), false},
      {Pad("0.16", "-5", "https://x.org/d"), false},
      {Pad("0.16", "4294967397", "https://x.org/d"), false},
      {Pad("0.16", "536870913", "https://x.org/d"), false},
      {Pad("0.16", "536870912", "https://x.org/d"), true},
      {Pad("0.16", "", "https://x.org/d"), false},
      {Pad("0.16", "1", longUrl), false},
      {Pad("0.16", "1", "https://x.org/a b"), false},
      {Pad("0.16", "1", "ftp://x.org/a"), false},
      {Pad("0.16", "1", "https://x.org/a", "<XB_File_SHA256>zz</XB_File_SHA256>"), false},
      {Pad("0.16", "1", "https://x.org/a",
           "<XB_File_SHA256>" + QString(64, 'A') + "</XB_File_SHA256>"),
       true},
      {Pad("", "1", "https://x.org/a"), false},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(pad.Read(c.text)) << c.text.constData();
    EXPECT_EQ(c.usable, pad.Usable()) << c.text.constData();
  }

  EXPECT_FALSE(pad.Read("<html><body>Please log in</body></html>"));
  EXPECT_FALSE(pad.Read(QByteArray(PadInfo::kMaxInput + 1, ' ') + Pad("1.0", "1", "https://x/")));
  QByteArray latin1 =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><X><Program_Info>"
      "<Program_Name>D\xf6rvex</Program_Name><Program_Version>2.0</Program_Version>"
      "</Program_Info><Primary_Download_URL>https://x.org/d</Primary_Download_URL></X>";
  ASSERT_TRUE(pad.Read(latin1));
  EXPECT_TRUE(pad.Usable());
  EXPECT_EQ(2, pad.Version().Major());
}

/* Records what the check shows and answers the question as told. */
class RecordingPrompt : public UpdatePrompt {
 public:
  bool AskToDownload(const QString& caption, const QString& text) override {
    captions << caption;
    questions << text;
    return answer;
  }
  void BeginProgress(const QString& title, std::function<void()> cancel) override {
    progressTitle = title;
    cancelDownload = std::move(cancel);
    if (cancelAtOnce) cancelDownload();
  }
  void ShowProgress(const QString& title, const QString&, const TransferProgress& p) override {
    ++progressUpdates;
    lastTitle = title;
  }
  void EndProgress() override { ++progressEnded; }
  void ShowDownloaded(const QString&, const QString& text, const QString& path) override {
    savedTexts << text;
    savedPaths << path;
  }

  bool answer = false;
  bool cancelAtOnce = false;
  QStringList captions, questions, savedTexts, savedPaths;
  QString progressTitle, lastTitle;
  std::function<void()> cancelDownload;
  int progressUpdates = 0;
  int progressEnded = 0;
};

class UpdateCheckTest : public ProfileTest {
 protected:
  void SetUp() override {
    ProfileTest::SetUp();
    unsetenv("http_proxy");
    ASSERT_TRUE(server.Start());
    downloads = dir.filePath("Downloads");
    release = QByteArray(70000, 'r');
    server.Serve("/release/dorvex_0.16_amd64.deb", release.toStdString());
  }

  void ServePad(const QString& version, const QString& size, const QString& extra = QString()) {
    server.Serve("/pad.xml",
                 Pad(version, size,
                     QString::fromStdString(server.Url("/release/dorvex_0.16_amd64.deb")), extra)
                     .toStdString());
  }

  /* Runs a check with HOURS to its end and returns the outcome. */
  UpdateCheck::Outcome Check(int64_t hours = 168) {
    UpdateCheck check(QString::fromStdString(server.Url("/pad.xml")), hours, *profile, prompt);
    check.SetClock(clock);
    check.SetDownloadFolder(downloads);
    check.SetNetworkLimits(5000, 0, 0);
    UpdateCheck::Outcome outcome = UpdateCheck::Aborted;
    QEventLoop loop;
    QObject::connect(&check, &UpdateCheck::finished, &loop, [&](UpdateCheck::Outcome o) {
      outcome = o;
      loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    EXPECT_FALSE(check.Run());
    loop.exec();
    return outcome;
  }

  QStringList Saved() const { return QDir(downloads).entryList(QDir::Files | QDir::Hidden); }

  HttpTestServer server;
  RecordingPrompt prompt;
  QString downloads;
  QByteArray release;
};

TEST_F(UpdateCheckTest, TimersDecideWhetherToAsk) {
  ServePad("0.15 (b59)", "70000");
  EXPECT_EQ(UpdateCheck::UpToDate, Check());
  EXPECT_EQ(1, server.RequestCount("/pad.xml")) << "first run fetches";
  EXPECT_EQ(now, profile->value("last/Dorvex#pad#update#check").toLongLong());
  now += 3600;
  EXPECT_EQ(UpdateCheck::NotDue, Check());
  EXPECT_EQ(1, server.RequestCount("/pad.xml")) << "within the interval nothing is fetched";
  EXPECT_EQ(UpdateCheck::UpToDate, Check(0)) << "an interval of 0 checks at every start";

  TestRoute gone;
  gone.status = 404;
  gone.body = "gone";
  server.Route("/pad.xml", gone);
  now += 8 * 86400;
  EXPECT_EQ(UpdateCheck::FetchFailed, Check());
  EXPECT_EQ(now, profile->value("last/Dorvex#pad#update#retry").toLongLong());
  now += 3600;
  int requests = server.RequestCount("/pad.xml");
  EXPECT_EQ(UpdateCheck::NotDue, Check()) << "a failed fetch waits a day";
  EXPECT_EQ(requests, server.RequestCount("/pad.xml"));

  server.Serve("/pad.xml", "<html>captive portal</html>");
  now += 86401;
  int64_t checked = profile->value("last/Dorvex#pad#update#check").toLongLong();
  EXPECT_EQ(UpdateCheck::FetchFailed, Check());
  EXPECT_EQ(checked, profile->value("last/Dorvex#pad#update#check").toLongLong())
      << "a page that is no PAD file does not count as a check";
  EXPECT_TRUE(prompt.questions.isEmpty());

  UpdateCheck disabled(QString(), 168, *profile, prompt);
  QEventLoop loop;
  UpdateCheck::Outcome outcome = UpdateCheck::Aborted;
  QObject::connect(&disabled, &UpdateCheck::finished, &loop, [&](UpdateCheck::Outcome o) {
    outcome = o;
    loop.quit();
  });
  requests = static_cast<int>(server.Requests().size());
  disabled.Run();
  loop.exec();
  EXPECT_EQ(UpdateCheck::Disabled, outcome);
  EXPECT_EQ(requests, static_cast<int>(server.Requests().size()));
}

TEST_F(UpdateCheckTest, AnswersAndDownloads) {
  ServePad("0.16 (b1)", "70000");
  prompt.answer = false;
  EXPECT_EQ(UpdateCheck::Declined, Check());
  ASSERT_EQ(1, prompt.questions.size());
  EXPECT_EQ("There is a newer version avaliable: 0.16 (build 1). Do you want to upgrade now?",
            prompt.questions[0]);
  EXPECT_EQ("Dorvex", prompt.captions[0]);
  EXPECT_EQ(0, server.RequestCount("/release/dorvex_0.16_amd64.deb"));
  EXPECT_TRUE(Saved().isEmpty());

  profile->setValue("app/lang", "de");
  prompt.answer = true;
  now += 8 * 86400;
  QString digest = QCryptographicHash::hash(release, QCryptographicHash::Sha256).toHex();
  ServePad("0.16 (b1)", "70000", "<XB_File_SHA256>" + digest + "</XB_File_SHA256>");
  EXPECT_EQ(UpdateCheck::Downloaded, Check());
  EXPECT_EQ(QString::fromUtf8("Es gibt eine neue Version: 0.16 (build 1). "
                              "M\xc3\xb6"
                              "chten Sie diese jetzt installieren?"),
            prompt.questions.last());
  EXPECT_TRUE(prompt.questions.last().contains(QChar(0xF6)));
  EXPECT_EQ("Dorvex - Update", prompt.progressTitle);
  EXPECT_EQ("100.0% Dorvex - Update", prompt.lastTitle);
  EXPECT_EQ(QStringList{"install_Dorvex_update.deb"}, Saved());
  QFile saved(downloads + "/install_Dorvex_update.deb");
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(release, saved.readAll());
  ASSERT_EQ(1, prompt.savedPaths.size());
  EXPECT_EQ(saved.fileName(), prompt.savedPaths[0]);
  EXPECT_TRUE(prompt.savedTexts[0].contains(saved.fileName()));
  EXPECT_TRUE(prompt.savedTexts[0].contains(QString::fromUtf8("l\xc3\xa4uft")));
}

TEST_F(UpdateCheckTest, RefusedDownloadsKeepNothing) {
  prompt.answer = true;
  struct Case {
    const char* name;
    QString size;
    QString extra;
    bool cancel;
  };
  const Case cases[] = {
      {"size mismatch", "69999", "", false},
      {"digest mismatch", "70000", "<XB_File_SHA256>" + QString(64, 'a') + "</XB_File_SHA256>",
       false},
      {"cancelled", "70000", "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ServePad("0.16 (b1)", c.size, c.extra);
    prompt.cancelAtOnce = c.cancel;
    now += 8 * 86400;
    EXPECT_EQ(UpdateCheck::DownloadFailed, Check());
    EXPECT_TRUE(Saved().isEmpty()) << Saved().join(",").toStdString();
    EXPECT_EQ(prompt.progressEnded, prompt.questions.size());
  }
}

TEST_F(UpdateCheckTest, AbortStopsARunningCheck) {
  TestRoute stall;
  stall.body = "x";
  stall.mode = TestRoute::Stall;
  server.Route("/pad.xml", stall);
  UpdateCheck check(QString::fromStdString(server.Url("/pad.xml")), 168, *profile, prompt);
  check.SetClock(clock);
  UpdateCheck::Outcome outcome = UpdateCheck::Disabled;
  QObject::connect(&check, &UpdateCheck::finished, [&](UpdateCheck::Outcome o) { outcome = o; });
  check.Run();
  EXPECT_TRUE(check.IsRunning());
  QEventLoop loop;
  QTimer::singleShot(200, &loop, &QEventLoop::quit);
  loop.exec();
  auto began = std::chrono::steady_clock::now();
  check.Abort();
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(2));
  EXPECT_EQ(UpdateCheck::Aborted, outcome);
  EXPECT_FALSE(check.IsRunning());
  EXPECT_EQ(0, profile->value("last/Dorvex#pad#update#check").toLongLong());
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
