#include "config/ConfigStore.h"

#include <atomic>
#include <mutex>

#include "config/UserFolders.h"
#include "platform/PrivateProfile.h"

namespace kal {
namespace {
std::atomic<ConfigStore*> g_instance{nullptr};
std::mutex g_createLock;
}  // namespace

ConfigStore* ConfigStore::Instance() {
  ConfigStore* store = g_instance.load(std::memory_order_acquire);
  if (store) return store;
  std::lock_guard<std::mutex> lock(g_createLock);
  store = g_instance.load(std::memory_order_relaxed);
  if (!store) {
    store = new ConfigStore(GetUserDataFolder(kConfigFolder) + "/configure.ini");
    g_instance.store(store, std::memory_order_release);
  }
  return store;
}

namespace {
std::string OverrideName(std::string_view section, std::string_view key) {
  std::string name = std::string(section) + "\n" + std::string(key);
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return name;
}
}  // namespace

void ConfigStore::SetOverride(std::string_view section, std::string_view key,
                              std::string_view value) {
  std::lock_guard<std::mutex> lock(overrideLock_);
  overrides_[OverrideName(section, key)] = std::string(value);
}

void ConfigStore::ClearOverrides() {
  std::lock_guard<std::mutex> lock(overrideLock_);
  overrides_.clear();
}

std::optional<std::string> ConfigStore::Override(std::string_view section,
                                                 std::string_view key) const {
  std::lock_guard<std::mutex> lock(overrideLock_);
  const auto it = overrides_.find(OverrideName(section, key));
  if (it == overrides_.end()) return std::nullopt;
  return it->second;
}

int ConfigStore::GetInt(std::string_view section, std::string_view key, int def) const {
  if (const auto v = Override(section, key)) return platform::ParseProfileInt(*v, def);
  return platform::ProfileGetInt(path_, section, key, def);
}

bool ConfigStore::GetString(std::string_view section, std::string_view key, std::string_view def,
                            std::string& out, std::size_t bufferSize) const {
  if (const auto v = Override(section, key))
    return platform::CutToBuffer(*v, out, bufferSize) != 0;
  return platform::ProfileGetString(path_, section, key, def, out, bufferSize) != 0;
}

bool ConfigStore::SetString(std::string_view section, std::string_view key,
                            std::string_view value) const {
  return platform::ProfileWriteString(path_, section, key, value);
}

}  // namespace kal
