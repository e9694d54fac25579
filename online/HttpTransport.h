#pragma once
// What every request of ours shares: which addresses may be asked at all,
// TLS that verifies the peer and its name, redirects followed one hop at a
// time under the same rule, and a cancel that ends a transfer within a
// tenth of a second.

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace kal::online {

// https: anywhere; http: only to a loopback address given as a number
// (127.0.0.0/8, ::1). False, with the reason, for anything else.
bool AddressAllowed(const std::string& url, std::string& reason);

// Takes an answer's body as it arrives (never a redirect's). `status` is
// the HTTP status, `length` the Content-Length, -1 when the answer has
// none. False ends the transfer.
class BodySink {
 public:
  virtual ~BodySink() = default;
  virtual bool Take(const char* data, std::size_t size, long status, long long length) = 0;
};

struct TransferOptions {
  const std::string* postBody = nullptr;  // POST this; else GET
  std::vector<std::string> headers;
  long totalSeconds = 10;  // 0: no overall limit (a download may be long)
  long connectSeconds = 10;
  bool lowSpeedLimit = false;  // fail below 1 byte/s for 30 s
  const std::atomic<bool>* cancel = nullptr;
};

struct TransferResult {
  int curlCode = 0;        // CURLcode of the last hop
  long status = 0;         // HTTP status of the last answer
  bool refused = false;    // an address broke the rule; nothing was sent there
  bool cancelled = false;
  std::string error;
  bool Ok() const { return curlCode == 0 && !refused && !cancelled; }
};

// Runs one request on the calling thread. GETs follow up to five
// redirects; a POST is not redirected.
TransferResult Transfer(std::string url, BodySink& sink, const TransferOptions& options);

// The program is ending: transfers in flight and later ones fail at once.
void CancelAllTransfers();

// The CA file the program trusts instead of the system's, named by
// KAL_CA_FILE (for a test server's own CA); empty: the system's.
std::string TrustedCaFile();

}  // namespace kal::online
