#include "mainwnd/RecordPage.h"

#include <QAbstractButton>
#include <QLabel>
#include <QSlider>

#include <cstdlib>

#include "config/ConfigKeys.h"

namespace kal {
namespace {

struct Option {
  const char* control;
  const char* value;
};
using P = RecordPage;
constexpr Option kVoiceSources[] = {
    {P::kVoiceSourceDefault, "0"}, {P::kVoiceSourceMicrophone, "1"}, {P::kVoiceSourceSystem, "2"}};
constexpr Option kFormats[] = {{P::kMp4, "mp4"}, {P::kFlv, "flv"}, {P::kWmv, "wmv"},
                               {P::kAvi, "avi"}, {P::kMov, "mov"}, {P::kMkv, "mkv"}};
constexpr Option kQualities[] = {{P::kQualityHigh, "0"}, {P::kQualityMiddle, "1"}, {P::kQualityLow, "2"}};

constexpr const char* kControls[] = {
    P::kVoiceSourceDefault, P::kVoiceSourceMicrophone, P::kVoiceSourceSystem, P::kMp4, P::kFlv,
    P::kWmv, P::kAvi, P::kMov, P::kMkv, P::kQualityHigh, P::kQualityMiddle, P::kQualityLow,
    P::kMicrophoneCheck, P::kAudioMuteCheck, P::kVoiceSlider, P::kVoiceSize};

template <size_t N>
const Option* Find(const Option (&options)[N], const QString& control) {
  for (const Option& o : options)
    if (control == o.control) return &o;
  return nullptr;
}

}  // namespace

ui::ControlList RecordPage::Controls() const { return kControls; }

void RecordPage::Init() {
  extension_ = "mp4";
  // Selecting raises the same notifications as a click, so the stored
  // values are written back unchanged; unknown values select nothing.
  const std::string format = cfg::Read(cfg::kVideoFormat);
  for (const Option& o : kFormats)
    if (format == o.value) host_.Control<QAbstractButton>(o.control)->setChecked(true);
  const std::string source = std::to_string(cfg::Read(cfg::kVoiceSource));
  for (const Option& o : kVoiceSources)
    if (source == o.value) host_.Control<QAbstractButton>(o.control)->setChecked(true);
  const std::string quality = std::to_string(cfg::Read(cfg::kQuality));
  for (const Option& o : kQualities)
    if (quality == o.value) host_.Control<QAbstractButton>(o.control)->setChecked(true);
  host_.Control<QAbstractButton>(kMicrophoneCheck)->setChecked(cfg::Read(cfg::kMicrophoneCheck) != 0);
  host_.Control<QAbstractButton>(kAudioMuteCheck)->setChecked(cfg::Read(cfg::kAudioMuteCheck) != 0);
  auto* slider = host_.Control<QSlider>(kVoiceSlider);
  // The gain control's whole range, so no stored value is cut down.
  slider->setRange(cfg::kVoiceSize.min, cfg::kVoiceSize.max);
  slider->setValue(cfg::Read(cfg::kVoiceSize));
  host_.Control<QLabel>(kVoiceSize)->setText(QString("%1dB").arg(slider->value()));
}

bool RecordPage::Notify(const ui::TNotifyUI& msg) {
  const QString& name = msg.senderName;
  if (msg.type == "selectchanged") {
    if (msg.value == 1) {
      if (const Option* o = Find(kVoiceSources, name)) {
        cfg::Write(cfg::kVoiceSource, std::atoi(o->value));
        return true;
      }
      if (const Option* f = Find(kFormats, name)) {
        extension_ = f->value;
        cfg::Write(cfg::kVideoFormat, f->value);
        return true;
      }
      if (const Option* q = Find(kQualities, name)) {
        cfg::Write(cfg::kQuality, std::atoi(q->value));
        return true;
      }
    }
    if (name == kMicrophoneCheck) return cfg::Write(cfg::kMicrophoneCheck, msg.value), true;
    if (name == kAudioMuteCheck) return cfg::Write(cfg::kAudioMuteCheck, msg.value), true;
  }
  if (msg.type == "valuechanged" && name == kVoiceSlider) {
    host_.Control<QLabel>(kVoiceSize)->setText(QString("%1dB").arg(msg.value));
    cfg::Write(cfg::kVoiceSize, msg.value);
    return true;
  }
  return false;
}

}  // namespace kal
