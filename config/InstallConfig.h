#pragma once
// Config.ini beside the executable: read-only install-time settings.

#include <string>

namespace kal {

// The distribution agent string: section "global", key "ag" of Config.ini in
// `folder` (default: the executable's folder), at most 99 characters; empty
// when the file or the key is missing. Any thread.
std::string ReadDistributionAgent(const std::string& folder = {});

// The address the upgrade check asks: "upgrade-url" of the user's
// configure.ini when set there, else of Config.ini in `folder` (an
// installed package may name its own), else the vendor's. Any thread.
std::string ReadUpgradeUrl(const std::string& folder = {});

}  // namespace kal
