#pragma once
// Asks the upgrade service whether a newer version exists, on a thread of
// its own so that nothing waits for the network. The answer is posted to
// the main window (WMU_UPGRADE_ANSWER with an UpgradeAnswer); prompts are
// the receiver's, on the UI thread.

#include <atomic>
#include <string>
#include <thread>

#include "online/UpgradeAnswer.h"
#include "ui/Messages.h"

namespace kal::online {

enum class CheckResult { kFailed, kCurrent, kNewer };

struct UpgradeAnswer : ui::MessagePayload {
  CheckResult result = CheckResult::kFailed;
  UpgradeOffer offer;  // kNewer
};

// This program's version, from the build.
Version LocalVersion();

// One check, on the calling thread: ask `url`, read the answer. `cancel`
// ends it early (as a failure).
CheckResult RunUpgradeCheck(const std::string& url, UpgradeOffer& offer,
                            const std::atomic<bool>* cancel = nullptr);

class UpgradeCheck {
 public:
  UpgradeCheck() = default;
  ~UpgradeCheck();  // cancels a check still asking and waits for its thread
  UpgradeCheck(const UpgradeCheck&) = delete;
  UpgradeCheck& operator=(const UpgradeCheck&) = delete;

  // Starts a check of the address configured; false when one runs already
  // (its answer will come). UI thread.
  bool Start();

 private:
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> cancel_{false};
};

}  // namespace kal::online
