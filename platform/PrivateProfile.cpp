#include "platform/PrivateProfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

namespace platform {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view s) {
  const auto b = s.find_first_not_of(kBlanks);
  if (b == std::string_view::npos) return {};
  const auto e = s.find_last_not_of(kBlanks);
  return s.substr(b, e - b + 1);
}

// One parsed file: its lines without line ends, and the line end it uses.
struct IniText {
  std::vector<std::string> lines;
  std::string eol = "\n";
  bool bom = false;  // kept on write, as editors that add one expect it back
};

enum class LineKind { kOther, kSection, kComment, kKey };

struct LineInfo {
  LineKind kind = LineKind::kOther;
  std::string_view name;   // section name or key
  std::string_view value;  // key lines only, untrimmed
};

LineInfo Classify(std::string_view line) {
  LineInfo info;
  const std::string_view t = Trim(line);
  if (t.empty()) return info;
  if (t.front() == '[') {
    info.kind = LineKind::kSection;
    std::string_view inner = t.substr(1);
    const auto close = inner.find(']');
    // A header without its closing bracket still names a section, as the
    // classic profile reader does; it keeps hand-edited files readable.
    info.name = Trim(close == std::string_view::npos ? inner : inner.substr(0, close));
    return info;
  }
  if (t.front() == ';' || t.front() == '#') {
    info.kind = LineKind::kComment;
    return info;
  }
  const auto eq = t.find('=');
  if (eq == std::string_view::npos) return info;
  info.kind = LineKind::kKey;
  info.name = Trim(t.substr(0, eq));
  info.value = t.substr(eq + 1);
  return info;
}

IniText Load(const std::string& file) {
  IniText ini;
  std::ifstream in(file, std::ios::binary);
  if (!in) return ini;
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string_view rest(data);
  if (rest.substr(0, 3) == "\xEF\xBB\xBF") {
    rest.remove_prefix(3);
    ini.bom = true;
  }
  bool first = true;
  while (!rest.empty()) {
    const auto nl = rest.find('\n');
    std::string_view line = rest.substr(0, nl);
    // CRs before LF, or at the file's end, belong to the line end: a write
    // puts back a single line end, and the value must read the same after it.
    if (!line.empty() && line.back() == '\r') {
      while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (first && nl != std::string_view::npos) ini.eol = "\r\n";
    }
    first = false;
    ini.lines.emplace_back(line);
    if (nl == std::string_view::npos) break;
    rest.remove_prefix(nl + 1);
  }
  return ini;
}

// Range [begin, end) of lines that belong to a section, header excluded.
struct SectionRange {
  std::size_t header;
  std::size_t begin;
  std::size_t end;
};

std::optional<SectionRange> FindSection(const IniText& ini, std::string_view section) {
  for (std::size_t i = 0; i < ini.lines.size(); ++i) {
    const LineInfo info = Classify(ini.lines[i]);
    if (info.kind != LineKind::kSection || !ProfileNamesEqual(info.name, section)) continue;
    std::size_t end = i + 1;
    while (end < ini.lines.size() && Classify(ini.lines[end]).kind != LineKind::kSection) ++end;
    return SectionRange{i, i + 1, end};
  }
  return std::nullopt;
}

std::optional<std::size_t> FindKey(const IniText& ini, const SectionRange& range,
                                   std::string_view key) {
  for (std::size_t i = range.begin; i < range.end; ++i) {
    const LineInfo info = Classify(ini.lines[i]);
    if (info.kind == LineKind::kKey && ProfileNamesEqual(info.name, key)) return i;
  }
  return std::nullopt;
}

std::string_view CleanValue(std::string_view raw) {
  std::string_view v = Trim(raw);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return v;
}

// The value of section/key, or nothing when either is missing.
std::optional<std::string> Lookup(const std::string& file, std::string_view section,
                                  std::string_view key) {
  const IniText ini = Load(file);
  const auto range = FindSection(ini, section);
  if (!range) return std::nullopt;
  const auto line = FindKey(ini, *range, key);
  if (!line) return std::nullopt;
  return std::string(CleanValue(Classify(ini.lines[*line]).value));
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// Holds an exclusive lock on "<file>.lock" for its lifetime. A separate lock
// file is used because the profile itself is replaced by rename, which would
// leave a lock on the old inode behind.
class ProfileLock {
 public:
  explicit ProfileLock(const std::string& file) {
    fd_ = ::open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~ProfileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  ProfileLock(const ProfileLock&) = delete;
  ProfileLock& operator=(const ProfileLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Replaces `file` with `content` so that a reader or a crash sees either the
// old or the new file, never a mixture.
bool ReplaceFile(const std::string& file, const std::string& content) {
  std::string tmpl = file + ".XXXXXX";
  const int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return false;
  struct stat st {};
  const mode_t mode = ::stat(file.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, content) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(tmpl.c_str(), file.c_str()) == 0;
  if (!ok) {
    ::unlink(tmpl.c_str());
    return false;
  }
  const auto slash = file.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : file.substr(0, slash + 1);
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);  // make the rename itself durable
    ::close(dfd);
  }
  return true;
}

std::size_t Utf8SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead >> 5) == 0x6) return 2;
  if ((lead >> 4) == 0xE) return 3;
  if ((lead >> 3) == 0x1E) return 4;
  return 1;  // stray byte: counts as one character
}

}  // namespace

bool ProfileNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

int ParseProfileInt(std::string_view value, int def) {
  if (value.empty()) return def;
  std::string_view s = Trim(value);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  long long n = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') break;
    n = n * 10 + (c - '0');
    if (n > static_cast<long long>(INT_MAX) + 1) break;  // clamped below
  }
  if (negative) n = -n;
  return static_cast<int>(std::clamp<long long>(n, INT_MIN, INT_MAX));
}

int ProfileGetInt(const std::string& file, std::string_view section, std::string_view key,
                  int def) {
  const auto value = Lookup(file, section, key);
  return value ? ParseProfileInt(*value, def) : def;
}

std::size_t CutToBuffer(std::string_view src, std::string& out, std::size_t bufferSize) {
  out.clear();
  if (bufferSize == 0) return 0;
  std::size_t chars = 0;
  std::size_t pos = 0;
  while (pos < src.size() && chars + 1 < bufferSize) {
    const std::size_t len =
        std::min(Utf8SequenceLength(static_cast<unsigned char>(src[pos])), src.size() - pos);
    pos += len;
    ++chars;
  }
  out.assign(src.substr(0, pos));
  return chars;
}

std::size_t ProfileGetString(const std::string& file, std::string_view section,
                             std::string_view key, std::string_view def, std::string& out,
                             std::size_t bufferSize) {
  const auto value = Lookup(file, section, key);
  if (value) return CutToBuffer(*value, out, bufferSize);
  return CutToBuffer(def.substr(0, def.find_last_not_of(kBlanks) + 1), out, bufferSize);
}

bool ProfileWriteString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) ||
      HasLineBreak(value) || key.find('=') != std::string_view::npos ||
      section.find(']') != std::string_view::npos || key.front() == '[' ||
      key.front() == ';' || key.front() == '#') {
    return false;
  }
  ProfileLock lock(file);
  if (!lock.Held()) return false;

  IniText ini = Load(file);
  if (const auto range = FindSection(ini, section)) {
    if (const auto at = FindKey(ini, *range, key)) {
      // Keep the key as the file spells it.
      ini.lines[*at] = std::string(Classify(ini.lines[*at]).name) + "=" + std::string(value);
    } else {
      std::size_t insert = range->end;
      while (insert > range->begin && Trim(ini.lines[insert - 1]).empty()) --insert;
      ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(insert),
                       std::string(key) + "=" + std::string(value));
    }
  } else {
    ini.lines.push_back("[" + std::string(section) + "]");
    ini.lines.push_back(std::string(key) + "=" + std::string(value));
  }

  std::string content = ini.bom ? "\xEF\xBB\xBF" : "";
  for (const auto& l : ini.lines) {
    content += l;
    content += ini.eol;
  }
  return ReplaceFile(file, content);
}

std::vector<std::string> ProfileSectionNames(const std::string& file) {
  const IniText ini = Load(file);
  std::vector<std::string> names;
  for (const auto& l : ini.lines) {
    const LineInfo info = Classify(l);
    if (info.kind != LineKind::kSection) continue;
    const bool seen = std::any_of(names.begin(), names.end(),
                                  [&](const std::string& n) { return ProfileNamesEqual(n, info.name); });
    if (!seen) names.emplace_back(info.name);
  }
  return names;
}

std::vector<ProfileEntry> ProfileSectionEntries(const std::string& file,
                                                std::string_view section) {
  const IniText ini = Load(file);
  std::vector<ProfileEntry> entries;
  const auto range = FindSection(ini, section);
  if (!range) return entries;
  for (std::size_t i = range->begin; i < range->end; ++i) {
    const LineInfo info = Classify(ini.lines[i]);
    if (info.kind != LineKind::kKey) continue;
    const bool seen = std::any_of(entries.begin(), entries.end(),
                                  [&](const ProfileEntry& e) { return ProfileNamesEqual(e.key, info.name); });
    if (!seen) entries.push_back({std::string(info.name), std::string(CleanValue(info.value))});
  }
  return entries;
}

}  // namespace platform
