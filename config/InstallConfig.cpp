#include "config/InstallConfig.h"

#include "platform/PrivateProfile.h"
#include "platform/UserPaths.h"

namespace kal {

std::string ReadDistributionAgent(const std::string& folder) {
  const std::string dir = folder.empty() ? platform::ExecutableFolder() : folder;
  std::string agent;
  platform::ProfileGetString(dir + "/Config.ini", "global", "ag", "", agent, 100);
  return agent;
}

}  // namespace kal
