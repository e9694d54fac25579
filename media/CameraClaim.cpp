#include "media/CameraClaim.h"

#include <mutex>
#include <set>

namespace kal {
namespace {

struct Claims {
  std::mutex lock;
  std::multiset<std::string> urls;
};
Claims& All() {
  static Claims claims;
  return claims;
}

}  // namespace

void ClaimCamera(const std::string& url) {
  std::lock_guard<std::mutex> hold(All().lock);
  All().urls.insert(url);
}

void ReleaseCamera(const std::string& url) {
  std::lock_guard<std::mutex> hold(All().lock);
  const auto it = All().urls.find(url);
  if (it != All().urls.end()) All().urls.erase(it);
}

bool CameraClaimed(const std::string& url) {
  std::lock_guard<std::mutex> hold(All().lock);
  return All().urls.count(url) > 0;
}

}  // namespace kal
