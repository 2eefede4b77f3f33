/*
** The HTTP client and the download job against a loopback server that
** cuts, stalls, trickles, chunks, redirects and proxies.
*/
#include "filesink.h"
#include "httptestserver.h"
#include "ineturl.h"
#include "transferprogress.h"
#include "urldownload.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

std::string Body(size_t size) {
  std::string body(size, '\0');
  for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>('a' + i * 7 % 26);
  return body;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

/* Every entry of FOLDER (to see that no temporary file is left). */
std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().string());
  return names;
}

class NetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY",
                             "all_proxy", "no_proxy", "NO_PROXY"}) {
      unsetenv(name);
    }
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(dir.isValid());
    target = dir.filePath("file.bin").toStdString();
  }

  /* A download job with short limits for the tests. */
  void Configure(UrlDownload& job, int timeoutMs = 5000) {
    job.SetFileName(target);
    job.Source().SetTimeout(timeoutMs);
    job.Source().SetConnectRetries(2, 10);
  }

  HttpTestServer server;
  QTemporaryDir dir;
  std::string target;
};

struct FetchCase {
  const char* name;
  TestRoute route;
  bool succeeds;
};

TEST_F(NetTest, FetchOutcomes) {
  const std::string body = Body(20000);
  auto route = [&body](TestRoute::Mode mode, int status = 200) {
    TestRoute r;
    r.body = body;
    r.mode = mode;
    r.status = status;
    return r;
  };
  std::vector<FetchCase> cases = {
      {"plain", route(TestRoute::Normal), true},
      {"no length", route(TestRoute::NoLength), true},
      {"chunked", route(TestRoute::Chunked), true},
      {"trickled",
       [&] {
         auto r = route(TestRoute::Trickle);
         r.pieceSize = 4000;
         r.delayMs = 20;
         return r;
       }(),
       true},
      {"cut with length",
       [&] {
         auto r = route(TestRoute::Cut);
         r.cutAt = 12345;
         return r;
       }(),
       false},
      {"status 404", route(TestRoute::Normal, 404), false},
      {"status 500", route(TestRoute::Normal, 500), false},
      {"zero length",
       [] {
         TestRoute r;
         return r;
       }(),
       false},
      {"shorter than announced",
       [&] {
         auto r = route(TestRoute::Normal);
         r.announce = 30000;
         return r;
       }(),
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server.Route("/f", c.route);
    UrlDownload job;
    Configure(job);
    bool ok = job.Run(server.Url("/f"));
    EXPECT_EQ(c.succeeds, ok) << job.ErrorText();
    if (c.succeeds) {
      EXPECT_EQ(body, FileText(target));
    } else {
      EXPECT_FALSE(std::filesystem::exists(target));
    }
    EXPECT_EQ(c.succeeds ? 1u : 0u, Entries(dir.path().toStdString()).size());
    std::filesystem::remove(target);
  }
}

TEST_F(NetTest, ReadsAreBoundedAndVerdictComesAtTheEnd) {
  TestRoute longer;
  longer.body = Body(5000);
  longer.announce = 3000;  // the server sends more than it announced
  server.Route("/long", longer);
  InetURL url;
  ASSERT_TRUE(url.Open(server.Url("/long")));
  EXPECT_EQ(3000u, url.ContentLength());
  EXPECT_FALSE(url.Succeeded()) << "no verdict while the transfer runs";
  char buffer[1000];
  uint64_t total = 0;
  while (size_t n = url.Read(buffer, sizeof buffer)) total += n;
  EXPECT_EQ(3000u, total);
  EXPECT_TRUE(url.Verify());

  InetURL closed;
  EXPECT_EQ(999, closed.StatusCode());
  EXPECT_TRUE(closed.IsFinished());
  EXPECT_FALSE(closed.Verify());
}

TEST_F(NetTest, StalledServerTimesOutAndCancelStopsAtOnce) {
  TestRoute stall;
  stall.body = Body(10000);
  stall.mode = TestRoute::Stall;
  stall.cutAt = 0;
  server.Route("/stall", stall);
  {
    UrlDownload job;
    Configure(job, 1000);
    auto began = std::chrono::steady_clock::now();
    EXPECT_FALSE(job.Run(server.Url("/stall")));
    auto took = std::chrono::steady_clock::now() - began;
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_FALSE(std::filesystem::exists(target));
  }
  {
    UrlDownload job;
    Configure(job, 60000);
    std::thread canceller([&job] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      job.Cancel();
    });
    auto began = std::chrono::steady_clock::now();
    EXPECT_FALSE(job.Run(server.Url("/stall")));
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(5));
    EXPECT_EQ("cancelled", job.ErrorText());
    EXPECT_TRUE(Entries(dir.path().toStdString()).empty());
  }
}

TEST_F(NetTest, RefusedConnectionIsRetriedThenFails) {
  HttpTestServer gone;
  ASSERT_TRUE(gone.Start());
  std::string url = gone.Url("/x");
  gone.Stop();
  UrlDownload job;
  Configure(job);
  EXPECT_FALSE(job.Run(url));
  EXPECT_FALSE(std::filesystem::exists(target));
}

TEST_F(NetTest, AddressesAndRedirects) {
  std::string why;
  EXPECT_TRUE(InetURL::AddressAllowed("https://example.org/pad.xml", false, &why));
  EXPECT_TRUE(InetURL::AddressAllowed("http://127.0.0.1:80/x", false, &why));
  EXPECT_TRUE(InetURL::AddressAllowed("http://[::1]/x", false, &why));
  EXPECT_TRUE(InetURL::AddressAllowed("http://localhost/x", false, &why));
  for (const char* refused :
       {"http://example.org/x", "file:///etc/passwd", "ftp://127.0.0.1/x", "gopher://127.0.0.1/",
        "/relative", "https://exa mple.org/", "https://example.org/\x01", "dict://127.0.0.1/"}) {
    EXPECT_FALSE(InetURL::AddressAllowed(refused, false, &why)) << refused;
  }
  EXPECT_FALSE(InetURL::AddressAllowed("http://127.0.0.1/x", true, &why)) << "https to http";

  server.Serve("/final", "the content");
  auto redirect = [this](const std::string& from, const std::string& to) {
    TestRoute r;
    r.status = 302;
    r.location = to;
    r.body = "moved";
    server.Route(from, r);
  };
  redirect("/r1", "/r2");
  redirect("/r2", server.Url("/final"));
  UrlDownload job;
  Configure(job);
  EXPECT_TRUE(job.Run(server.Url("/r1"))) << job.ErrorText();
  EXPECT_EQ("the content", FileText(target));

  for (int i = 0; i < 6; ++i) redirect("/c" + std::to_string(i), "/c" + std::to_string(i + 1));
  redirect("/c6", "/final");
  std::filesystem::remove(target);
  int finalRequests = server.RequestCount("/final");
  EXPECT_FALSE(job.Run(server.Url("/c1"))) << "five hops lead to /c6, a sixth is refused";
  EXPECT_EQ(finalRequests, server.RequestCount("/final"));
  EXPECT_TRUE(job.Run(server.Url("/c2"))) << job.ErrorText();

  redirect("/tofile", "file:///etc/passwd");
  redirect("/toftp", "ftp://127.0.0.1/x");
  for (const char* path : {"/tofile", "/toftp"}) {
    std::filesystem::remove(target);
    EXPECT_FALSE(job.Run(server.Url(path))) << path;
    EXPECT_FALSE(std::filesystem::exists(target));
  }
}

TEST_F(NetTest, ProxyFromTheEnvironment) {
  HttpTestServer proxy;
  ASSERT_TRUE(proxy.Start());
  proxy.Serve("/via", "through the proxy");
  setenv("http_proxy", proxy.Url("").c_str(), 1);
  UrlDownload job;
  Configure(job);
  bool ok = job.Run(server.Url("/via"));
  unsetenv("http_proxy");
  EXPECT_TRUE(ok) << job.ErrorText();
  EXPECT_EQ("through the proxy", FileText(target));
  ASSERT_EQ(1u, proxy.Requests().size());
  EXPECT_TRUE(proxy.Requests()[0].proxied);
  EXPECT_EQ(0u, server.Requests().size());
}

TEST_F(NetTest, SizeLimitsAndDigest) {
  const std::string body = Body(10000);
  server.Serve("/f", body);
  std::string digest =
      QCryptographicHash::hash(QByteArray::fromStdString(body), QCryptographicHash::Sha256)
          .toHex()
          .toStdString();
  struct Case {
    uint64_t expected;
    uint64_t limit;
    std::string sha;
    bool ok;
  };
  std::vector<Case> cases = {
      {10000, UrlDownload::kDefaultSizeLimit, digest, true},
      {0, UrlDownload::kDefaultSizeLimit, "", true},
      {9999, UrlDownload::kDefaultSizeLimit, "", false},
      {10001, UrlDownload::kDefaultSizeLimit, "", false},
      {0, 9999, "", false},
      {10000, UrlDownload::kDefaultSizeLimit, std::string(64, '0'), false},
  };
  for (const auto& c : cases) {
    UrlDownload job;
    Configure(job);
    job.SetExpectedSize(c.expected);
    job.SetSizeLimit(c.limit);
    job.SetExpectedSha256(c.sha);
    EXPECT_EQ(c.ok, job.Run(server.Url("/f"))) << c.expected << " " << c.limit;
    EXPECT_EQ(c.ok, std::filesystem::exists(target));
    std::filesystem::remove(target);
  }

  TestRoute endless;  // no length announced: the limit must stop it
  endless.body = Body(200000);
  endless.mode = TestRoute::NoLength;
  server.Route("/endless", endless);
  UrlDownload job;
  Configure(job);
  job.SetSizeLimit(50000);
  std::string memory;
  EXPECT_FALSE(job.Fetch(server.Url("/endless"), memory));
  EXPECT_TRUE(memory.empty());
}

TEST_F(NetTest, OneTransferAtATime) {
  TestRoute slow;
  slow.body = Body(20000);
  slow.mode = TestRoute::Trickle;
  slow.pieceSize = 1000;
  slow.delayMs = 100;
  server.Route("/slow", slow);
  UrlDownload job;
  Configure(job);
  std::thread first([&] { EXPECT_TRUE(job.Run(server.Url("/slow"))); });
  // The first transfer takes two seconds; the deadline only keeps a starved
  // test from spinning for ever.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  bool seenBusy = false;
  while (!(seenBusy = job.IsBusy()) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::yield();
  std::string memory;
  bool second = job.Fetch(server.Url("/slow"), memory);
  bool stillBusy = job.IsBusy();
  first.join();
  ASSERT_TRUE(seenBusy) << "the first transfer never showed as busy";
  EXPECT_FALSE(second);
  EXPECT_TRUE(stillBusy) << "the refused transfer waited for the running one";
  EXPECT_EQ(Body(20000), FileText(target));
}

TEST_F(NetTest, FullDiskFailsAndLeavesNothing) {
  server.Serve("/big", Body(100000));
  // A file size limit stands in for a full disk.  It is set in this process
  // for the length of the download only: a forked child of this
  // multithreaded process (the server runs in a thread) could hang on a
  // lock held at the fork.  The server writes only to sockets, which the
  // limit does not cover.
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit limit = before;
  limit.rlim_cur = 30000;
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  UrlDownload job;
  Configure(job);
  bool ok = job.Run(server.Url("/big"));
  setrlimit(RLIMIT_FSIZE, &before);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(ok) << "a download that could not be written reported success";
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_TRUE(Entries(dir.path().toStdString()).empty()) << "a partial file was left";
}

TEST_F(NetTest, SinkIsPrivateAndAppearsOnlyWhenCommitted) {
  std::filesystem::create_symlink(dir.filePath("elsewhere").toStdString(), target);
  FileSink sink;
  sink.SetFileName(target);
  ASSERT_TRUE(sink.Open());
  struct stat info {};
  ASSERT_EQ(0, stat(sink.TempName().c_str(), &info));
  EXPECT_EQ(0600u, info.st_mode & 0777);
  EXPECT_NE(target, sink.TempName());
  ASSERT_TRUE(sink.Write("data", 4));
  ASSERT_TRUE(sink.Commit());
  EXPECT_FALSE(std::filesystem::is_symlink(target)) << "the link is replaced, not followed";
  EXPECT_FALSE(std::filesystem::exists(dir.filePath("elsewhere").toStdString()));
  EXPECT_EQ("data", FileText(target));
}

TEST(TransferProgressTest, RateShareAndSizes) {
  TransferProgress p;
  EXPECT_EQ(0.0, p.Rate());
  EXPECT_EQ(0.0, p.Percent());
  p.bytes = 5ULL << 30;  // 5 GiB
  p.total = 10ULL << 30;
  p.elapsedMs = 0;
  EXPECT_EQ(0.0, p.Rate());
  EXPECT_DOUBLE_EQ(50.0, p.Percent());
  p.elapsedMs = 1000;
  EXPECT_DOUBLE_EQ(5.0 * 1024 * 1024 * 1024, p.Rate());
  EXPECT_EQ("5.00GBps ", p.RateText());
  EXPECT_EQ("50.0% Dorvex - Update", p.TitleText("Dorvex - Update"));
  p.bytes = 600 * 1024;
  p.elapsedMs = 1000;
  EXPECT_EQ("600KBps ", p.RateText()) << "bytes, not bits, per second";
  EXPECT_EQ("4.00G", ByteSizeText(4ULL << 30));
  EXPECT_EQ("999", ByteSizeText(999));
}

}  // namespace
