// Any bytes as configure.ini: reading must not crash, and what the listings
// show must be what the single-key reads return.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzFile.h"
#include "platform/PrivateProfile.h"

namespace {

// Reference reading of a plain decimal (blanks, sign, up to 18 digits): the
// only form for which the C library gives the same answer without clamping.
bool PlainDecimal(const std::string& v, long long& n) {
  std::size_t i = v.find_first_not_of(" \t");
  if (i == std::string::npos) return false;
  std::size_t j = i + (v[i] == '+' || v[i] == '-');
  std::size_t digits = 0;
  while (j + digits < v.size() && v[j + digits] >= '0' && v[j + digits] <= '9') ++digits;
  if (digits == 0 || digits > 18) return false;
  n = std::strtoll(v.substr(i, j - i + digits).c_str(), nullptr, 10);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kal::fuzz;
  static const std::string file = ScratchFolder() + "/read.ini";
  WriteFile(file, std::string_view(reinterpret_cast<const char*>(data), size));

  for (const std::string& section : platform::ProfileSectionNames(file)) {
    for (const auto& e : platform::ProfileSectionEntries(file, section)) {
      std::string got;
      const std::size_t chars =
          platform::ProfileGetString(file, section, e.key, "\x01missing", got, e.value.size() + 2);
      if (got != e.value) Fail("GetString differs from the section listing");
      if (chars > e.value.size()) Fail("more characters than bytes");

      // A small buffer never splits a UTF-8 sequence and never overflows.
      std::string cut;
      platform::ProfileGetString(file, section, e.key, "", cut, 4);
      if (cut.size() > e.value.size() || e.value.compare(0, cut.size(), cut) != 0)
        Fail("cut value is not a prefix");

      const int n = platform::ProfileGetInt(file, section, e.key, -7);
      if (n != platform::ParseProfileInt(e.value, -7)) Fail("GetInt differs from ParseProfileInt");
      long long ref = 0;
      if (PlainDecimal(e.value, ref) && ref >= INT32_MIN && ref <= INT32_MAX && ref != n)
        Fail("GetInt misreads a plain decimal");
    }
  }
  std::string missing;
  platform::ProfileGetString(file, "\x02no such section", "k", "dflt ", missing, 64);
  if (missing != "dflt") Fail("default not returned for a missing section");
  return 0;
}
