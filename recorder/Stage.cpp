#include "recorder/Stage.h"

#include <pthread.h>

#include <cstdio>
#include <exception>

namespace kal {

void Stage::Launch() { thread_ = std::thread(&Stage::Top, this); }

void Stage::Join() {
  if (thread_.joinable()) thread_.join();
}

void Stage::Top() {
  char thread[16] = {};  // the kernel keeps 15 characters
  std::snprintf(thread, sizeof thread, "kal %s", name_);
  ::pthread_setname_np(::pthread_self(), thread);
  std::string what;
  try {
    Body();
    if (session_.gate.Aborted() || MayEndBeforeStop()) {
      Ended();
      return;
    }
    what = "it ended before the stop";
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
    what = "unknown error";
  }
  if (session_.listener)
    session_.listener->StageFailed(kFailureInternal, std::string("the ") + name_ + " failed: " + what);
  Ended();
}

}  // namespace kal
