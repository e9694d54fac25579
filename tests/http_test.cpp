// The HTTP client, the downloader and the reading of the upgrade answer,
// against loopback servers of the test's own: what is refused, what is
// trusted, and that only a whole, checked download keeps its name.

#include <QCryptographicHash>

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "LocalServer.h"
#include "TempDir.h"
#include "online/HttpClient.h"
#include "online/HttpDownload.h"
#include "online/UpgradeAnswer.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using kal::online::DownloadEnd;
using kal::online::HttpClient;
using kal::online::HttpDownload;

namespace {

std::string Sha256(const std::string& data) {
  return QCryptographicHash::hash(QByteArray::fromStdString(data), QCryptographicHash::Sha256).toHex().toStdString();
}

// Every entry of `folder` by name, one a line.
std::string Listing(const std::string& folder) {
  std::string names;
  for (const auto& e : fs::directory_iterator(folder)) names += e.path().filename().string() + "\n";
  return names;
}

TEST(HttpClientTest, AnswersRefusalsAndTrust) {
  kaltest::LocalServer plain;
  plain->Post("/json", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(R"({"got":)" + req.body + "}", "application/json");
  });
  plain->Get("/json", [](const httplib::Request&, httplib::Response& res) { res.set_content("{}", "application/json"); });
  plain->Post("/empty", [](const httplib::Request&, httplib::Response& res) { res.status = 200; });
  plain->Get("/missing", [](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("not here", "text/plain");
  });
  plain->Post("/missing", [](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("not here", "text/plain");
  });
  plain->Get("/huge", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(std::string(HttpClient::kMaxAnswer + 1, 'x'), "text/plain");
  });
  plain.Start();
  HttpClient& http = HttpClient::Instance();
  std::string answer;
  EXPECT_EQ(http.Post(R"({"app_name":"KalRecorder"})", plain.Url("/json"), answer), 0);
  EXPECT_EQ(answer, R"({"got":{"app_name":"KalRecorder"}})");
  EXPECT_EQ(http.Get(plain.Url("/json"), answer), 0);
  EXPECT_EQ(http.Post("{}", plain.Url("/empty"), answer), -1) << "an empty answer is none";
  EXPECT_EQ(http.Get(plain.Url("/missing"), answer), -1) << "a 404 is no answer to a GET";
  EXPECT_EQ(http.Post("{}", plain.Url("/missing"), answer), 0) << "a POST takes any answer with a body";
  EXPECT_EQ(answer, "not here");
  EXPECT_EQ(http.Get(plain.Url("/huge"), answer), -1) << "more than 1 MB is not read";

  // Plain http only to a loopback address given as a number: a name (even
  // one for this machine) is refused before anything is sent.
  const std::string before = plain.Seen();
  EXPECT_EQ(http.Get("http://localhost:" + std::to_string(plain.Port()) + "/json", answer), -1);
  EXPECT_EQ(http.Get("ftp://127.0.0.1:" + std::to_string(plain.Port()) + "/json", answer), -1);
  EXPECT_EQ(plain.Seen(), before);

  // TLS: only a certificate that a trusted CA signed for this address.
  kaltest::Certificates certs;
  ASSERT_TRUE(certs.Ok());
  kaltest::LocalServer self(certs / "self.crt", certs / "self.key");
  kaltest::LocalServer signedByCa(certs / "server.crt", certs / "server.key");
  for (kaltest::LocalServer* s : {&self, &signedByCa}) {
    (*s)->Get("/json", [](const httplib::Request&, httplib::Response& res) { res.set_content("{}", "application/json"); });
    // Down to plain http elsewhere: refused at the hop.
    (*s)->Get("/down", [](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("http://192.0.2.7:9/json");
    });
    (*s)->Get("/up", [&plain](const httplib::Request&, httplib::Response& res) { res.set_redirect(plain.Url("/json")); });
    s->Start();
  }
  ::unsetenv("KAL_CA_FILE");
  EXPECT_EQ(http.Get(signedByCa.Url("/json"), answer), -1) << "the test's CA is not the system's";
  ::setenv("KAL_CA_FILE", (certs / "ca.crt").c_str(), 1);
  EXPECT_EQ(http.Get(self.Url("/json"), answer), -1) << "a certificate that signed itself";
  EXPECT_EQ(http.Get(signedByCa.Url("/json"), answer), 0);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(http.Get(signedByCa.Url("/down"), answer), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2s) << "refused without trying to connect";
  EXPECT_EQ(http.Get(signedByCa.Url("/up"), answer), 0) << "loopback http, as the tests use, is followed";
  ::unsetenv("KAL_CA_FILE");
}

TEST(HttpDownloadTest, OnlyAWholeCheckedFileKeepsItsName) {
  auto body = std::make_shared<std::string>(kaltest::Payload(200 * 1024));
  kaltest::LocalServer server;
  server->Get("/kal.run", [body](const httplib::Request&, httplib::Response& res) {
    kaltest::ServeSlowly(res, body, 8 * 1024, 5);
  });
  server->Get("/moved/kal.run", [&server](const httplib::Request&, httplib::Response& res) {
    res.set_redirect(server.Url("/kal.run"));
  });
  server->Get("/chunked/kal.run", [body](const httplib::Request&, httplib::Response& res) {
    kaltest::ServeSlowly(res, body, 8 * 1024, 5, false);
  });
  server->Get("/drop/kal.run", [body](const httplib::Request&, httplib::Response& res) {
    kaltest::ServeSlowly(res, body, 8 * 1024, 5, true, 64 * 1024);
  });
  server->Get("/slow/kal.run", [body](const httplib::Request&, httplib::Response& res) {
    kaltest::ServeSlowly(res, body, 4 * 1024, 100);
  });
  server->Get("/missing/kal.run", [](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("not here", "text/plain");
  });
  server.Start();

  kaltest::TempDir folder;
  std::atomic<bool> cancel{false};
  std::vector<std::pair<long long, long long>> progress;
  const auto download = [&](const std::string& path, const std::string& sha) {
    kal::online::DownloadJob job;
    job.url = server.Url(path);
    job.folder = folder.path();
    job.fileName = kal::online::FileNameOf(job.url);
    job.sha256 = sha;
    job.cancel = &cancel;
    progress.clear();
    job.progress = [&](long long got, long long total) {
      progress.emplace_back(got, total);
      if (path.rfind("/slow", 0) == 0 && got >= 16 * 1024) cancel = true;
    };
    return HttpDownload::DownloadFile(job);
  };
  const std::string final = folder / "kal.run";

  for (const char* path : {"/kal.run", "/moved/kal.run", "/chunked/kal.run"}) {
    SCOPED_TRACE(path);
    const auto r = download(path, Sha256(*body));
    ASSERT_EQ(r.end, DownloadEnd::kComplete) << r.error;
    EXPECT_EQ(r.path, final);
    EXPECT_EQ(kaltest::ReadFile(final), *body);
    EXPECT_EQ(Listing(folder.path()), "kal.run\n") << "no partial file is left";
    ASSERT_GT(progress.size(), 5u);
    for (size_t i = 1; i < progress.size(); ++i) EXPECT_GT(progress[i].first, progress[i - 1].first);
    EXPECT_EQ(progress.back().first, static_cast<long long>(body->size()));
    EXPECT_EQ(progress.back().second, path[1] == 'c' ? -1 : static_cast<long long>(body->size()));
    fs::remove(final);
  }

  // Each failure leaves nothing, not even a partial file.
  const struct {
    const char* path;
    std::string sha;
    DownloadEnd end;
  } failures[] = {{"/kal.run", std::string(64, 'a'), DownloadEnd::kFailed},
                  {"/missing/kal.run", "", DownloadEnd::kFailed},
                  {"/drop/kal.run", "", DownloadEnd::kFailed},
                  {"/slow/kal.run", "", DownloadEnd::kCancelled}};
  for (const auto& f : failures) {
    SCOPED_TRACE(f.path);
    cancel = false;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(download(f.path, f.sha).end, f.end);
    EXPECT_EQ(Listing(folder.path()), "");
    if (f.end == DownloadEnd::kCancelled)
      EXPECT_LT(std::chrono::steady_clock::now() - started, 3s) << "the cancel ends it before the end";
  }
  cancel = false;
  EXPECT_EQ(HttpDownload::DownloadToProfile(server.Url("/kal.run")), 0);
  EXPECT_EQ(HttpDownload::DownloadToProfile(server.Url("/missing/kal.run")), -1);
}

TEST(UpgradeAnswerTest, VersionsOffersAndHostileAnswers) {
  using kal::online::AnswerKind;
  const kal::online::Version local{2, 5, 0};
  const auto read = [&](const std::string& text, kal::online::UpgradeOffer* out = nullptr) {
    kal::online::UpgradeOffer offer;
    std::string why;
    const AnswerKind kind = kal::online::ReadUpgradeAnswer(text, local, offer, why);
    if (out) *out = offer;
    return kind;
  };
  const auto answer = [](const std::string& version, const std::string& force,
                         const std::string& url = "\"https://dl.example.com/v/KalRecorder-x.run?t=1\"",
                         const std::string& more = "") {
    return R"({"ret":0,"data":{"app_version":)" + version + R"(,"download_url":)" + url +
           R"(,"force_upgrade":)" + force + more + "}}";
  };
  kal::online::UpgradeOffer offer;
  EXPECT_EQ(read(answer("\"2.5.1\"", "\"0\""), &offer), AnswerKind::kNewer);
  EXPECT_FALSE(offer.force);
  EXPECT_EQ(offer.fileName, "KalRecorder-x.run");
  EXPECT_EQ(read(answer("\"3.0.0\"", "1", "\"https://h/k.deb\"", R"(,"sha256":")" + std::string(64, 'A') + "\""),
                 &offer),
            AnswerKind::kNewer);
  EXPECT_TRUE(offer.force);
  EXPECT_EQ(offer.sha256, std::string(64, 'a'));
  EXPECT_EQ(read(answer("\"2.4.9\"", "\"0\"")), AnswerKind::kCurrent);
  EXPECT_EQ(read(answer("\"2.5.0\"", "\"1\"")), AnswerKind::kCurrent);
  EXPECT_EQ(read(answer("\"2.10.0\"", "\"0\"")), AnswerKind::kNewer) << "parts are numbers, not text";

  const std::string hostile[] = {
      "", "[]", "{", "null", R"({"ret":"0","data":{}})", R"({"ret":1,"data":{}})", R"({"ret":0,"data":[]})",
      answer("\"2.6\"", "\"0\""), answer("\"2.x.0\"", "\"0\""), answer("260", "\"0\""),
      answer("\"2.6.-1\"", "\"0\""), answer("\"99999999999.0.0\"", "\"0\""),
      answer("\"2.6.0\"", "\"yes\""), answer("\"2.6.0\"", "[1]"), answer("\"2.6.0\"", "\"0\"", "7"),
      answer("\"2.6.0\"", "\"0\"", "\"http://dl.example.com/k.run\""),
      answer("\"2.6.0\"", "\"0\"", "\"file:///etc/passwd\""), answer("\"2.6.0\"", "\"0\"", "\"https://h/\""),
      answer("\"2.6.0\"", "\"0\"", "\"https://h/a/..\""),
      answer("\"2.6.0\"", "\"0\"", "\"https://h/k.run\"", R"(,"sha256":"abc")"),
      answer("\"2.6.0\"", "\"0\"", "\"https://h/k.run\"", R"(,"sha256":7)"),
      std::string(100000, '[') + std::string(100000, ']'),
      answer("\"2.6.0\"", "\"0\"", "\"https://h/k.run\"", ",\"pad\":\"" + std::string(HttpClient::kMaxAnswer, 'x') + "\""),
  };
  for (const std::string& h : hostile) EXPECT_EQ(read(h), AnswerKind::kUnusable) << h.substr(0, 120);
}

}  // namespace
