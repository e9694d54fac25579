#include "online/UpgradePrompt.h"

#include "online/DownloadDialog.h"
#include "ui/NoticeBoxes.h"

namespace kal::online {

void ShowUpgradePrompt(QWidget* owner, const UpgradeOffer& offer) {
  if (offer.force) {
    // Whatever the user answers, the download follows.
    ui::PromptBoxDialog(owner, kNewVersionFound).ShowModal();
  } else if (ui::MessageBoxDialog(owner, kNewVersionFound).ShowModal() == 0) {
    return;
  }
  DownloadDialog(owner, offer).ShowModal();
}

}  // namespace kal::online
