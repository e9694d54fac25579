#include "recorder/SoundChoice.h"

#include <glog/logging.h>

#include "recorder/MixerWrap.h"

namespace kal {

bool ChooseSoundSources(SessionSettings& s,
                        const std::function<void(SoundSource, const std::string&)>& missing) {
  if (s.audioMuteCheck) return true;
  std::string micName;
  const bool mic = HasDefaultCaptureEndpoint(micName);
  const bool render = HasDefaultRenderEndpoint();
  if (WantsMicrophone(s.voiceSource) && !mic) missing(kSoundMicrophone, "no microphone found; recording without it");
  if (WantsSystemSound(s.voiceSource) && !render)
    missing(kSoundSystem, "no playback device to record system sound from; recording without it");
  bool muted = false;
  switch (s.voiceSource) {
    case VoiceSource::kBoth:
      if (!mic && !render) {
        muted = true;
      } else if (!mic) {
        s.voiceSource = VoiceSource::kSystem;
      } else if (!render) {
        s.voiceSource = VoiceSource::kMicrophone;
      }
      break;
    case VoiceSource::kMicrophone:
      muted = !mic;
      break;
    case VoiceSource::kSystem:
      muted = !render;
      break;
    case VoiceSource::kNone:
      muted = true;  // an unknown choice records no sound
      break;
  }
  LOG(INFO) << "sound: "
            << (muted ? "muted" : "voice-source " + std::to_string(static_cast<int>(s.voiceSource)));
  return muted;
}

}  // namespace kal
