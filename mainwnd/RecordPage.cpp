#include "mainwnd/RecordPage.h"

#include <QAbstractButton>
#include <QSlider>

#include "config/ConfigKeys.h"

namespace kal {
namespace {

using P = RecordPage;
constexpr ui::Bindings::Option kFormats[] = {{P::kMp4, "mp4"}, {P::kFlv, "flv"}, {P::kWmv, "wmv"},
                                             {P::kAvi, "avi"}, {P::kMov, "mov"}, {P::kMkv, "mkv"}};

constexpr const char* kControls[] = {
    P::kVoiceSourceDefault, P::kVoiceSourceMicrophone, P::kVoiceSourceSystem, P::kMp4, P::kFlv,
    P::kWmv, P::kAvi, P::kMov, P::kMkv, P::kQualityHigh, P::kQualityMiddle, P::kQualityLow,
    P::kMicrophoneCheck, P::kAudioMuteCheck, P::kVoiceSlider, P::kVoiceSize};

}  // namespace

RecordPage::RecordPage(MainHost& host) : host_(host), bindings_(host) {
  bindings_.Options(cfg::kVoiceSource, {{kVoiceSourceDefault, "0"}, {kVoiceSourceMicrophone, "1"},
                                        {kVoiceSourceSystem, "2"}});
  bindings_.Options(cfg::kVideoFormat, {kFormats[0], kFormats[1], kFormats[2], kFormats[3],
                                        kFormats[4], kFormats[5]});
  bindings_.Options(cfg::kQuality, {{kQualityHigh, "0"}, {kQualityMiddle, "1"}, {kQualityLow, "2"}});
  bindings_.Check(cfg::kMicrophoneCheck, kMicrophoneCheck);
  bindings_.Check(cfg::kAudioMuteCheck, kAudioMuteCheck);
  bindings_.Slider(cfg::kVoiceSize, kVoiceSlider, kVoiceSize, "%1dB");
}

ui::ControlList RecordPage::Controls() const { return kControls; }

void RecordPage::Init() {
  // The gain control's whole range, so no stored value is cut down.
  host_.Control<QSlider>(kVoiceSlider)->setRange(cfg::kVoiceSize.min, cfg::kVoiceSize.max);
  bindings_.Show();
}

bool RecordPage::Notify(const ui::TNotifyUI& msg) { return bindings_.Notify(msg); }

std::string RecordPage::Extension() const {
  for (const auto& f : kFormats)
    if (host_.Control<QAbstractButton>(f.control)->isChecked()) return std::string(f.value);
  return "mp4";
}

}  // namespace kal
