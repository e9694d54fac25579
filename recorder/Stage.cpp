#include "recorder/Stage.h"

#include <exception>

namespace kal {

void Stage::Launch() {
  Join();
  {
    std::lock_guard<std::mutex> lock(errorLock_);
    error_.clear();
  }
  thread_ = std::thread(&Stage::Top, this);
}

void Stage::Join() {
  if (thread_.joinable()) thread_.join();
}

std::string Stage::Error() const {
  std::lock_guard<std::mutex> lock(errorLock_);
  return error_;
}

void Stage::Top() {
  std::string what;
  try {
    Body();
    Ended();
    return;
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
    what = "unknown error";
  }
  {
    std::lock_guard<std::mutex> lock(errorLock_);
    error_ = what;
  }
  Ended();
  if (session_.listener)
    session_.listener->StageFailed(kFailureInternal, std::string("the ") + name_ + " failed: " + what);
}

}  // namespace kal
