#pragma once
// Loopback HTTP and HTTPS servers for the online tests (cpp-httplib), on a
// port of their own, serving on a thread; and the certificates they need:
// a CA of the test's own, a server certificate it signed for 127.0.0.1,
// and one that signed itself.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Subprocess.h"
#include "TempDir.h"

namespace kaltest {

class Certificates {
 public:
  Certificates() {
    const std::string key = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    const std::string at = "cd '" + dir_.path() + "' && ";
    ok_ = Run(at + "openssl req -x509 " + key + " -keyout ca.key -out ca.crt -days 2 -subj /CN=KalTestCA 2>/dev/null") &&
          Run(at + "openssl req " + key + " -keyout server.key -out server.csr -subj /CN=127.0.0.1 2>/dev/null") &&
          Run(at + "printf 'subjectAltName=IP:127.0.0.1\\n' > ext && openssl x509 -req -in server.csr -CA ca.crt "
                   "-CAkey ca.key -CAcreateserial -out server.crt -days 2 -extfile ext 2>/dev/null") &&
          Run(at + "openssl req -x509 " + key + " -keyout self.key -out self.crt -days 2 -subj /CN=127.0.0.1 "
                   "-addext subjectAltName=IP:127.0.0.1 2>/dev/null");
  }
  bool Ok() const { return ok_; }
  std::string operator/(const std::string& name) const { return dir_ / name; }

 private:
  TempDir dir_;
  bool ok_ = false;
};

class LocalServer {
 public:
  LocalServer() : server_(std::make_unique<httplib::Server>()), scheme_("http") { Count(); }
  // HTTPS with the certificate and key files given.
  LocalServer(const std::string& cert, const std::string& key)
      : server_(std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str())), scheme_("https") {
    Count();
  }
  ~LocalServer() {
    server_->stop();
    if (thread_.joinable()) thread_.join();
  }
  httplib::Server* operator->() { return server_.get(); }
  // After the handlers are set.
  void Start() {
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::string Url(const std::string& path) const {
    return scheme_ + "://127.0.0.1:" + std::to_string(port_) + path;
  }
  int Port() const { return port_; }
  // "METHOD path" of every request answered so far, one a line.
  std::string Seen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }

 private:
  void Count() {
    server_->set_logger([this](const httplib::Request& req, const httplib::Response&) {
      std::lock_guard<std::mutex> lock(mutex_);
      seen_ += req.method + " " + req.path + "\n";
    });
  }
  std::unique_ptr<httplib::Server> server_;
  std::string scheme_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::string seen_;
};

// `size` bytes that differ from place to place.
inline std::string Payload(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
  return s;
}

// Serves `body` in `chunk`-byte pieces with `pause_ms` between them: with
// its length, or without (chunked); `dropAfter` bytes in, the connection
// is dropped.
inline void ServeSlowly(httplib::Response& res, std::shared_ptr<std::string> body, std::size_t chunk,
                        int pause_ms, bool withLength = true, std::size_t dropAfter = SIZE_MAX) {
  auto provide = [=](std::size_t offset, httplib::DataSink& sink) {
    if (offset >= dropAfter) return false;
    if (offset >= body->size()) {
      sink.done();
      return true;
    }
    if (offset > 0 && pause_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
    const std::size_t n = std::min(chunk, body->size() - offset);
    sink.write(body->data() + offset, n);
    return true;
  };
  if (withLength)
    res.set_content_provider(body->size(), "application/octet-stream",
                             [=](std::size_t offset, std::size_t, httplib::DataSink& sink) { return provide(offset, sink); });
  else
    res.set_chunked_content_provider("application/octet-stream", provide);
}

}  // namespace kaltest
