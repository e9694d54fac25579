#include "online/HttpClient.h"

#include <curl/curl.h>

#include <glog/logging.h>

#include "online/HttpTransport.h"

namespace kal::online {
namespace {

class TextSink : public BodySink {
 public:
  explicit TextSink(std::string& text) : text_(text) {}
  bool Take(const char* data, std::size_t size, long, long long) override {
    if (text_.size() + size > HttpClient::kMaxAnswer) return false;
    text_.append(data, size);
    return true;
  }

 private:
  std::string& text_;
};

}  // namespace

HttpClient& HttpClient::Instance() {
  static HttpClient client;
  return client;
}

int HttpClient::Get(const std::string& url, std::string& response, const std::atomic<bool>* cancel) {
  response.clear();
  TextSink sink(response);
  TransferOptions o;
  o.cancel = cancel;
  const TransferResult r = Transfer(url, sink, o);
  if (r.curlCode == CURLE_FAILED_INIT) return 2;
  return r.Ok() && r.status >= 200 && r.status < 300 && !response.empty() ? 0 : -1;
}

int HttpClient::Post(const std::string& body, const std::string& url, std::string& response,
                     const std::atomic<bool>* cancel) {
  response.clear();
  TextSink sink(response);
  TransferOptions o;
  o.postBody = &body;
  o.headers = {"Accept: application/json", "Content-Type:application/json;charset=UTF-8"};
  o.cancel = cancel;
  const TransferResult r = Transfer(url, sink, o);
  if (r.refused || r.cancelled) return -1;
  if (r.curlCode != CURLE_OK) {
    LOG(ERROR) << "curl code:" << r.curlCode << ",strerror:" << r.error;
    return -1;
  }
  LOG(INFO) << "response code:" << r.status;
  if (response.empty()) {
    LOG(ERROR) << "response result:" << response;
    return -1;
  }
  return 0;
}

}  // namespace kal::online
