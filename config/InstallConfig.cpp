#include "config/InstallConfig.h"

#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"
#include "platform/PrivateProfile.h"
#include "platform/UserPaths.h"

namespace kal {

std::string ReadDistributionAgent(const std::string& folder) {
  const std::string dir = folder.empty() ? platform::ExecutableFolder() : folder;
  std::string agent;
  platform::ProfileGetString(dir + "/Config.ini", "global", "ag", "", agent, 100);
  return agent;
}

std::string ReadUpgradeUrl(const std::string& folder) {
  const cfg::TextKey& k = cfg::kUpgradeUrl;
  std::string url;
  ConfigStore::Instance()->GetString(k.section, k.key, "", url, k.size);
  if (!url.empty()) return url;
  const std::string dir = folder.empty() ? platform::ExecutableFolder() : folder;
  platform::ProfileGetString(dir + "/Config.ini", std::string(k.section), std::string(k.key),
                             std::string(k.def), url, k.size);
  return url;
}

}  // namespace kal
