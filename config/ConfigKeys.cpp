#include "config/ConfigKeys.h"

#include <algorithm>

#include "config/ConfigStore.h"
#include "platform/PrivateProfile.h"

namespace kal::cfg {
namespace {

#define KAL_ROW_INT(name, section, key, form, def, lo, hi) KeyInfo{section, key, form, #def, lo, hi},
#define KAL_ROW_TEXT(name, section, key, form, def, size) KeyInfo{section, key, form, def},
constexpr KeyInfo kTable[] = {KAL_CONFIG_KEYS(KAL_ROW_INT, KAL_ROW_TEXT)};
#undef KAL_ROW_INT
#undef KAL_ROW_TEXT

}  // namespace

int Read(const IntKey& k) {
  return std::clamp(ConfigStore::Instance()->GetInt(k.section, k.key, k.def), k.min, k.max);
}

std::string Read(const TextKey& k) {
  std::string out;
  ConfigStore::Instance()->GetString(k.section, k.key, k.def, out, k.size);
  return out;
}

bool Write(const IntKey& k, int value) {
  return ConfigStore::Instance()->SetString(k.section, k.key, std::to_string(value));
}

bool Write(const TextKey& k, std::string_view value) {
  return ConfigStore::Instance()->SetString(k.section, k.key, value);
}

std::span<const KeyInfo> KeyTable() { return kTable; }

const KeyInfo* FindKeyInfo(std::string_view section, std::string_view key) {
  for (const KeyInfo& info : kTable) {
    if (platform::ProfileNamesEqual(info.section, section) && platform::ProfileNamesEqual(info.key, key)) return &info;
  }
  return nullptr;
}

}  // namespace kal::cfg
