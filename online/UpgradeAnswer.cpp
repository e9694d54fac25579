#include "online/UpgradeAnswer.h"

#include <json/json.h>

#include <cctype>
#include <charconv>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "online/HttpClient.h"
#include "online/HttpDownload.h"
#include "online/HttpTransport.h"

namespace kal::online {
namespace {

bool ParseNumber(const std::string& s, int& out, bool allowSign) {
  if (s.empty() || s.size() > 10) return false;
  const char* first = s.data();
  if (allowSign && *first == '-') ++first;
  if (first == s.data() + s.size()) return false;
  for (const char* c = first; c != s.data() + s.size(); ++c)
    if (!std::isdigit(static_cast<unsigned char>(*c))) return false;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size();
}

bool HexDigest(const std::string& s) {
  if (s.size() != 64) return false;
  for (char c : s)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

AnswerKind Unusable(std::string& why, const char* reason) {
  why = reason;
  return AnswerKind::kUnusable;
}

}  // namespace

bool ParseVersion(const std::string& text, Version& v) {
  std::istringstream in(text);
  std::string part[3];
  for (std::string& p : part)
    if (!std::getline(in, p, '.')) return false;
  return ParseNumber(part[0], v.major, false) && ParseNumber(part[1], v.minor, false) &&
         ParseNumber(part[2], v.revision, false);
}

bool IsNewer(const Version& r, const Version& l) {
  if (r.major != l.major) return r.major > l.major;
  if (r.minor != l.minor) return r.minor > l.minor;
  return r.revision > l.revision;
}

AnswerKind ReadUpgradeAnswer(const std::string& answer, const Version& local, UpgradeOffer& offer,
                             std::string& why) {
  if (answer.size() > HttpClient::kMaxAnswer) return Unusable(why, "too long");
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  builder["strictRoot"] = true;
  builder["rejectDupKeys"] = true;
  builder["stackLimit"] = 64;  // nesting deep enough to exhaust the stack is refused
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string errors;
  try {
    // Nesting past the limit throws rather than failing.
    if (!reader->parse(answer.data(), answer.data() + answer.size(), &root, &errors))
      return Unusable(why, "not JSON");
  } catch (const std::exception&) {
    return Unusable(why, "nested too deep");
  }
  if (!root.isObject()) return Unusable(why, "not an object");
  const Json::Value& ret = root["ret"];
  if (!ret.isIntegral() || !ret.isInt64() || ret.asInt64() != 0) return Unusable(why, "ret is not 0");
  const Json::Value& data = root["data"];
  if (!data.isObject()) return Unusable(why, "no data");
  const Json::Value& version = data["app_version"];
  if (!version.isString() || !ParseVersion(version.asString(), offer.version))
    return Unusable(why, "app_version is not major.minor.revision");
  if (!IsNewer(offer.version, local)) return AnswerKind::kCurrent;

  const Json::Value& url = data["download_url"];
  if (!url.isString()) return Unusable(why, "download_url is not text");
  offer.url = url.asString();
  std::string refusal;
  if (!AddressAllowed(offer.url, refusal)) return Unusable(why, "download_url is not https");
  offer.fileName = FileNameOf(offer.url);
  if (!SafeFileName(offer.fileName)) return Unusable(why, "download_url names no usable file");

  const Json::Value& force = data["force_upgrade"];
  int forced = 0;
  if (force.isString()) {
    if (!ParseNumber(force.asString(), forced, true)) return Unusable(why, "force_upgrade is not a number");
  } else if (force.isIntegral() && force.isInt()) {
    forced = force.asInt();
  } else {
    return Unusable(why, "force_upgrade is not a number");
  }
  offer.force = forced != 0;

  offer.sha256.clear();
  if (data.isMember("sha256")) {
    const Json::Value& sha = data["sha256"];
    if (!sha.isString() || !HexDigest(sha.asString())) return Unusable(why, "sha256 is not 64 hex digits");
    for (char c : sha.asString()) offer.sha256 += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return AnswerKind::kNewer;
}

}  // namespace kal::online
