// Any file, section, key and value: a write is either refused and leaves the
// file byte for byte as it was, or it stores the value so that it reads back,
// and every other key and section keeps its value.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "FuzzFile.h"
#include "platform/PrivateProfile.h"

namespace {

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// What a reader gives back for a stored value: blanks trimmed, one pair of
// matching quotes taken off.
std::string AsRead(const std::string& value) {
  std::string v = Trim(value);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  return v;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

using Snapshot = std::map<std::pair<std::string, std::string>, std::string>;

Snapshot Read(const std::string& file) {
  Snapshot all;
  for (const std::string& s : platform::ProfileSectionNames(file))
    for (const auto& e : platform::ProfileSectionEntries(file, s))
      all.emplace(std::make_pair(Lower(s), Lower(e.key)), e.value);
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kal::fuzz;
  static const std::string file = ScratchFolder() + "/write.ini";
  FuzzedDataProvider in(data, size);
  const std::string section = in.ConsumeRandomLengthString(64);
  const std::string key = in.ConsumeRandomLengthString(64);
  const std::string value = in.ConsumeRandomLengthString(256);
  const std::string content = in.ConsumeRemainingBytesAsString();
  WriteFile(file, content);

  const Snapshot before = Read(file);
  const std::size_t sectionsBefore = platform::ProfileSectionNames(file).size();
  if (!platform::ProfileWriteString(file, section, key, value)) {
    if (ReadFile(file) != content) Fail("a refused write changed the file");
    return 0;
  }

  const std::string s = Trim(section);
  const std::string k = Trim(key);
  std::string got;
  platform::ProfileGetString(file, s, k, "\x01missing", got, value.size() + 2);
  if (got != AsRead(value)) Fail("the written value does not read back", AsRead(value), got);

  Snapshot after = Read(file);
  const auto written = std::make_pair(Lower(s), Lower(k));
  for (const auto& [where, v] : before) {
    if (where == written) continue;
    const auto it = after.find(where);
    if (it == after.end()) Fail("a key vanished");
    if (it->second != v) Fail("another key's value changed", v, it->second);
  }
  after.erase(written);
  for (const auto& entry : after)
    if (!before.count(entry.first)) Fail("a key appeared that was not written");
  const std::size_t sectionsAfter = platform::ProfileSectionNames(file).size();
  if (sectionsAfter != sectionsBefore && sectionsAfter != sectionsBefore + 1)
    Fail("sections were lost or added");
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0 && ReadFile(file).compare(0, 3, "\xEF\xBB\xBF") != 0)
    Fail("the byte order mark was dropped");
  return 0;
}
