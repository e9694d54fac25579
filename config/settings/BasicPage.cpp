#include "config/settings/BasicPage.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QSignalBlocker>

namespace kal {
namespace {

using P = BasicPage;
constexpr const char* kControls[] = {P::kFramerate, P::kScreen, P::kCamera, P::kCameraCheck,
                                     P::kVoiceDefault, P::kVoiceMicrophone, P::kVoiceSystem,
                                     P::kRegionCheck, P::kFollowCheck, P::kFollowRatio};

}  // namespace

BasicPage::BasicPage(ui::MainHost& dialog, SettingsHost& host) : SettingsPage(dialog, host) {
  // As the recording reads it: 24 when unset.
  bindings_.List(cfg::kVideoFramerate, kFramerate);
  bindings_.Options(cfg::kVideoSource, {{kScreen, "0"}, {kCamera, "1"}});
  bindings_.Options(cfg::kVoiceSource, {{kVoiceDefault, "0"}, {kVoiceMicrophone, "1"}, {kVoiceSystem, "2"}});
  bindings_.Check(cfg::kUserDefinedRegionCheck, kRegionCheck);
  bindings_.Check(cfg::kMouseFollowCheck, kFollowCheck);
}

ui::ControlList BasicPage::Controls() const { return kControls; }

void BasicPage::Init() {
  SettingsPage::Init();
  // The entry of the size the recording follows with; none for a size
  // that is not in the list, which is then left as it is.
  const int width = cfg::Read(cfg::kMouseFollowRatioWidth);
  const int height = cfg::Read(cfg::kMouseFollowRatioHeight);
  int index = -1;
  for (int i = 0; i < static_cast<int>(std::size(cfg::kFollowSizes)); ++i)
    if (cfg::kFollowSizes[i].width == width && cfg::kFollowSizes[i].height == height) index = i;
  auto* ratio = dialog_.Control<QComboBox>(kFollowRatio);
  const QSignalBlocker quiet(ratio);
  ratio->setCurrentIndex(index);
  auto* camera = dialog_.Control<QAbstractButton>(kCameraCheck);
  const QSignalBlocker quietCamera(camera);
  camera->setChecked(host_.CameraPreviewOpen());
}

bool BasicPage::Notify(const ui::TNotifyUI& msg) {
  if (msg.type == "selectchanged" && msg.senderName == kCameraCheck) {
    // Checked or not, the preview is opened (never a second one) and the
    // dialog makes way for it.
    host_.OpenCameraPreview();
    dialog_.Window()->close();
    return true;
  }
  if (!bindings_.Notify(msg)) return false;
  if (msg.type != "selectchanged") return true;
  if (msg.senderName == kRegionCheck) {
    if (msg.value) ui::WriteSetting(cfg::kMouseFollowCheck, 0);
    host_.SwitchRegion(msg.value != 0);
  } else if (msg.senderName == kFollowCheck && msg.value) {
    ui::WriteSetting(cfg::kUserDefinedRegionCheck, 0);
    host_.SwitchRegion(false);
  }
  return true;
}

void BasicPage::Commit() {
  bindings_.Commit();
  const int index = dialog_.Control<QComboBox>(kFollowRatio)->currentIndex();
  if (index < 0) return;
  cfg::Write(cfg::kMouseFollowRatioIndex, index);
  cfg::Write(cfg::kMouseFollowRatioWidth, cfg::kFollowSizes[index].width);
  cfg::Write(cfg::kMouseFollowRatioHeight, cfg::kFollowSizes[index].height);
}

void BasicPage::RecordingChanged(bool running) {
  // The frame belongs to the running recording.
  dialog_.Control(kRegionCheck)->setEnabled(!running);
  dialog_.Control(kFollowCheck)->setEnabled(!running);
}

}  // namespace kal
