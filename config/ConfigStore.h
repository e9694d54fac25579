#pragma once
// The one accessor through which every setting is read from and written to
// the per-user configure.ini. There is no cache: each call goes to the file.
//
// Usage: ConfigStore::Instance()->GetInt(...). Any thread may call every
// operation; concurrent writers are serialised by the profile layer.

#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace kal {

class ConfigStore {
 public:
  // The process-wide instance, created on first use and never destroyed.
  static ConfigStore* Instance();

  // Decimal value of section/key; `def` when the key is missing.
  int GetInt(std::string_view section, std::string_view key, int def) const;

  // Value (or `def`) cut to bufferSize - 1 characters into `out`; true when
  // at least one character was copied.
  bool GetString(std::string_view section, std::string_view key, std::string_view def,
                 std::string& out, std::size_t bufferSize) const;

  // Writes section/key = value at once; true on success.
  bool SetString(std::string_view section, std::string_view key, std::string_view value) const;

  // Values that stand in for the file's in this process only (a command
  // line's choices for one run); they are never written. Any thread.
  void SetOverride(std::string_view section, std::string_view key, std::string_view value);
  void ClearOverrides();

  // Full path of configure.ini.
  const std::string& Path() const { return path_; }

  ConfigStore(const ConfigStore&) = delete;
  ConfigStore& operator=(const ConfigStore&) = delete;

 private:
  explicit ConfigStore(std::string path) : path_(std::move(path)) {}
  std::optional<std::string> Override(std::string_view section, std::string_view key) const;
  std::string path_;
  mutable std::mutex overrideLock_;
  std::map<std::string, std::string> overrides_;  // "section\nkey" in lower case
};

}  // namespace kal
