#pragma once
// The upgrade service's answer, read with distrust: every type is checked
// before it is read, and anything that is not a well-formed offer of ours
// counts as no answer.

#include <string>

namespace kal::online {

struct Version {
  int major = 0;
  int minor = 0;
  int revision = 0;
};

// "major.minor.revision[...]": the first three dot-separated parts, each
// 1 to 9 decimal digits. False for anything else.
bool ParseVersion(const std::string& text, Version& v);
bool IsNewer(const Version& remote, const Version& local);

// What the service offers.
struct UpgradeOffer {
  Version version;
  std::string url;       // https (or loopback http)
  std::string fileName;  // its last path segment, safe to create
  std::string sha256;    // lowercase hex, or empty when not named
  bool force = false;
};

enum class AnswerKind {
  kUnusable,  // malformed, an error, or hostile: the check ends
  kCurrent,   // nothing newer than `local`
  kNewer,     // `offer` is filled
};

// Reads `answer` (the service's JSON) against the local version; `why`
// says what made it unusable.
AnswerKind ReadUpgradeAnswer(const std::string& answer, const Version& local, UpgradeOffer& offer,
                             std::string& why);

}  // namespace kal::online
