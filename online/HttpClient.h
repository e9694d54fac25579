#pragma once
// JSON requests to the vendor's web service: the body is sent as it is and
// the answer comes back as text (the callers parse it). One instance per
// process; every request has its own handle, so any thread may ask.

#include <atomic>
#include <cstddef>
#include <string>

namespace kal::online {

class HttpClient {
 public:
  static HttpClient& Instance();

  // 0: a 2xx answer with a body; 2: no handle could be made; -1 otherwise.
  int Get(const std::string& url, std::string& response, const std::atomic<bool>* cancel = nullptr);
  // 0: any answer with a body; -1 otherwise. The status is logged, not
  // judged: the service answers errors in its JSON.
  int Post(const std::string& body, const std::string& url, std::string& response,
           const std::atomic<bool>* cancel = nullptr);

  // An answer longer than this is not read to its end and counts as none.
  static constexpr std::size_t kMaxAnswer = 1 << 20;

 private:
  HttpClient() = default;
};

}  // namespace kal::online
