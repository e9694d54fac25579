#include "online/HttpTransport.h"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <cstdlib>
#include <memory>
#include <mutex>

#include <glog/logging.h>

namespace kal::online {
namespace {

constexpr int kMaxRedirects = 5;
std::atomic<bool> gStopAll{false};

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
}

bool LoopbackHost(std::string host) {
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  in_addr v4{};
  if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  return ::inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

struct UrlFree {
  void operator()(CURLU* u) const { curl_url_cleanup(u); }
};
struct EasyFree {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct MultiFree {
  void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
struct ListFree {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

std::string Part(CURLU* u, CURLUPart part) {
  char* text = nullptr;
  if (curl_url_get(u, part, &text, 0) != CURLUE_OK || !text) return {};
  std::string s(text);
  curl_free(text);
  return s;
}

struct Hop {
  CURL* easy;
  BodySink* sink;
  bool aborted = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* hop = static_cast<Hop*>(user);
  const size_t n = size * count;
  long status = 0;
  curl_easy_getinfo(hop->easy, CURLINFO_RESPONSE_CODE, &status);
  if (status >= 300 && status < 400) return n;  // a redirect's page: we go on to its target
  curl_off_t length = -1;
  curl_easy_getinfo(hop->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  if (hop->sink->Take(data, n, status, length)) return n;
  hop->aborted = true;
  return 0;
}

bool Cancelled(const TransferOptions& o) {
  return gStopAll.load() || (o.cancel && o.cancel->load());
}

}  // namespace

bool AddressAllowed(const std::string& url, std::string& reason) {
  std::unique_ptr<CURLU, UrlFree> u(curl_url());
  if (!u || curl_url_set(u.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
    reason = "not an address";
    return false;
  }
  const std::string scheme = Part(u.get(), CURLUPART_SCHEME);
  if (scheme == "https") return true;
  if (scheme == "http" && LoopbackHost(Part(u.get(), CURLUPART_HOST))) return true;
  reason = scheme == "http" ? "plain http is only for loopback addresses" : "scheme '" + scheme + "' is not https";
  return false;
}

std::string TrustedCaFile() {
  const char* file = std::getenv("KAL_CA_FILE");
  return file ? file : "";
}

void CancelAllTransfers() { gStopAll = true; }

TransferResult Transfer(std::string url, BodySink& sink, const TransferOptions& o) {
  GlobalInit();
  TransferResult r;
  std::unique_ptr<curl_slist, ListFree> headers;
  for (const std::string& h : o.headers) {
    curl_slist* l = curl_slist_append(headers.get(), h.c_str());
    if (!l) {
      r.curlCode = CURLE_OUT_OF_MEMORY;
      return r;
    }
    headers.release();
    headers.reset(l);
  }
  const std::string ca = TrustedCaFile();
  for (int hop = 0; hop <= kMaxRedirects; ++hop) {
    if (!AddressAllowed(url, r.error)) {
      LOG(WARNING) << "refused " << url << ": " << r.error;
      r.refused = true;
      return r;
    }
    std::unique_ptr<CURL, EasyFree> easy(curl_easy_init());
    std::unique_ptr<CURLM, MultiFree> multi(curl_multi_init());
    if (!easy || !multi) {
      r.curlCode = CURLE_FAILED_INIT;
      return r;
    }
    CURL* e = easy.get();
    Hop state{e, &sink};
    // Each hop may use only its own scheme: libcurl refuses anything else.
    const char* protocol = url.rfind("https:", 0) == 0 ? "https" : "http";
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, protocol);
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!ca.empty()) curl_easy_setopt(e, CURLOPT_CAINFO, ca.c_str());
    // A proxy of the user's is used, never for this machine.
    curl_easy_setopt(e, CURLOPT_NOPROXY, "localhost,127.0.0.0/8,::1");
    curl_easy_setopt(e, CURLOPT_TIMEOUT, o.totalSeconds);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, o.connectSeconds);
    if (o.lowSpeedLimit) {
      curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
      curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, 30L);
    }
    if (headers) curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.get());
    if (o.postBody) {
      curl_easy_setopt(e, CURLOPT_POST, 1L);
      curl_easy_setopt(e, CURLOPT_POSTFIELDS, o.postBody->c_str());
      curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE, static_cast<long>(o.postBody->size()));
    }
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &state);

    curl_multi_add_handle(multi.get(), e);
    int running = 1;
    CURLcode code = CURLE_OK;
    while (running) {
      if (Cancelled(o)) {
        r.cancelled = true;
        break;
      }
      if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
        code = CURLE_FAILED_INIT;
        break;
      }
      // A tenth of a second at most between looks at the cancel.
      if (running) curl_multi_poll(multi.get(), nullptr, 0, 100, nullptr);
    }
    int left = 0;
    while (CURLMsg* m = curl_multi_info_read(multi.get(), &left))
      if (m->msg == CURLMSG_DONE) code = m->data.result;
    curl_multi_remove_handle(multi.get(), e);
    r.curlCode = code;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &r.status);
    if (r.cancelled) {
      r.error = "cancelled";
      return r;
    }
    if (code != CURLE_OK) {
      r.error = state.aborted ? "ended by its receiver" : curl_easy_strerror(code);
      return r;
    }
    char* next = nullptr;
    if (o.postBody || r.status < 300 || r.status >= 400 ||
        curl_easy_getinfo(e, CURLINFO_REDIRECT_URL, &next) != CURLE_OK || !next)
      return r;
    url = next;
  }
  r.error = "too many redirects";
  r.curlCode = CURLE_TOO_MANY_REDIRECTS;
  return r;
}

}  // namespace kal::online
