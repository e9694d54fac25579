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

int ConfigStore::GetInt(std::string_view section, std::string_view key, int def) const {
  return platform::ProfileGetInt(path_, section, key, def);
}

bool ConfigStore::GetString(std::string_view section, std::string_view key, std::string_view def,
                            std::string& out, std::size_t bufferSize) const {
  return platform::ProfileGetString(path_, section, key, def, out, bufferSize) != 0;
}

bool ConfigStore::SetString(std::string_view section, std::string_view key,
                            std::string_view value) const {
  return platform::ProfileWriteString(path_, section, key, value);
}

}  // namespace kal
