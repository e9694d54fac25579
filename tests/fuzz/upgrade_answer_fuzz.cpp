// Any answer of the upgrade service: it is refused, found current, or read
// into an offer that is safe to act on (a version newer than ours, an
// address we may ask, a file name we may create, a digest of 64 hex digits).

#include <cstdint>
#include <string>

#include "FuzzFile.h"
#include "online/HttpDownload.h"
#include "online/HttpTransport.h"
#include "online/UpgradeAnswer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using kal::fuzz::Fail;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const kal::online::Version local{2, 5, 0};
  kal::online::UpgradeOffer offer;
  std::string why;
  const auto kind = kal::online::ReadUpgradeAnswer(text, local, offer, why);
  if (kind == kal::online::AnswerKind::kUnusable && why.empty()) Fail("refused without a reason");
  if (kind != kal::online::AnswerKind::kNewer) return 0;
  if (!kal::online::IsNewer(offer.version, local)) Fail("offered a version that is not newer");
  std::string refusal;
  if (!kal::online::AddressAllowed(offer.url, refusal)) Fail("offered an address we may not ask");
  if (!kal::online::SafeFileName(offer.fileName) || offer.fileName.find('/') != std::string::npos)
    Fail("offered a file name we may not create");
  if (!offer.sha256.empty() && offer.sha256.size() != 64) Fail("offered a digest of the wrong size");
  return 0;
}
