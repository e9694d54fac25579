#pragma once
// INI files with the behaviour of the classic private-profile calls:
// sections and keys are matched without regard to ASCII case, values are
// trimmed and stripped of one pair of surrounding quotes, and a write keeps
// every other line of the file (sections, keys, comments, order) as it was.
//
// Writes are crash-safe and serialised between threads and processes: an
// exclusive lock on "<file>.lock" is held across read-modify-write, the new
// content goes to a temporary file beside the target, is flushed and then
// renamed over it. Readers never see a torn file.
//
// All functions may be called from any thread. Text is UTF-8.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The key's value read as a decimal number: optional blanks, an optional sign,
// then leading digits ("abc" gives 0, "12px" gives 12). A missing key or an
// empty value gives `def`. Values beyond the 32-bit range are clamped.
int ProfileGetInt(const std::string& file, std::string_view section,
                  std::string_view key, int def);

// Copies the key's value (or `def` when the key is missing) into `out`,
// cut to at most bufferSize - 1 characters (code points; a multi-byte
// sequence is never split). Returns the number of characters copied.
std::size_t ProfileGetString(const std::string& file, std::string_view section,
                             std::string_view key, std::string_view def,
                             std::string& out, std::size_t bufferSize);

// Section and key names match without regard to ASCII case.
bool ProfileNamesEqual(std::string_view a, std::string_view b);

// The value rules above applied to a text of one's own: the integer reading
// of GetInt, and the cut of GetString (returns the characters copied).
int ParseProfileInt(std::string_view value, int def);
std::size_t CutToBuffer(std::string_view value, std::string& out, std::size_t bufferSize);

// Sets section/key to value, creating the file and the section when needed.
// Returns false when the file cannot be written, or when a name or the value
// holds a line break (it would inject lines), a key holds '=' or a section ']'.
bool ProfileWriteString(const std::string& file, std::string_view section,
                        std::string_view key, std::string_view value);

// Section names in file order, and the key=value pairs of one section; used
// by listings. Repeats after the first are left out, as readers ignore them.
struct ProfileEntry {
  std::string key;
  std::string value;
};
std::vector<std::string> ProfileSectionNames(const std::string& file);
std::vector<ProfileEntry> ProfileSectionEntries(const std::string& file,
                                                std::string_view section);

}  // namespace platform
