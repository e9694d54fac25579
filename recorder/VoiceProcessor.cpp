#include "recorder/VoiceProcessor.h"

#include <algorithm>
#include <cstring>

#include <glog/logging.h>
#include <webrtc/modules/audio_processing/include/audio_processing.h>
#include <webrtc/modules/interface/module_common_types.h>

#include "config/ConfigKeys.h"

namespace kal {


struct VoiceProcessor::FrameHolder {
  webrtc::AudioFrame frame;
};

VoiceProcessor::VoiceProcessor() : frame_(std::make_unique<FrameHolder>()) {}
VoiceProcessor::~VoiceProcessor() = default;

bool VoiceProcessor::Init(bool gainControl, int compressionGainDb) {
  apm_.reset(webrtc::AudioProcessing::Create());
  if (!apm_) {
    LOG(ERROR) << "WebRtcNs_Create error";
    return false;
  }
  if (apm_->noise_suppression()->set_level(webrtc::NoiseSuppression::kVeryHigh) != 0 ||
      apm_->noise_suppression()->Enable(true) != 0) {
    LOG(ERROR) << "WebRtcNs_set_policy error";
    return false;
  }
  if (gainControl) {
    webrtc::GainControl* agc = apm_->gain_control();
    if (agc->set_mode(webrtc::GainControl::kFixedDigital) != 0 ||
        agc->set_target_level_dbfs(3) != 0 ||
        agc->set_compression_gain_db(std::clamp(compressionGainDb, cfg::kVoiceSize.min, cfg::kVoiceSize.max)) != 0 ||
        agc->enable_limiter(true) != 0 || agc->Enable(true) != 0) {
      LOG(ERROR) << "WebRtcAgc_set_config error";
      return false;
    }
  }
  return true;
}

bool VoiceProcessor::Process(std::int16_t* chunk) {
  webrtc::AudioFrame& f = frame_->frame;
  f.UpdateFrame(0, 0, chunk, kChunkSamples, kSampleRate, webrtc::AudioFrame::kNormalSpeech,
                webrtc::AudioFrame::kVadUnknown, 1);
  if (apm_->ProcessStream(&f) != 0) return false;
  std::memcpy(chunk, f.data_, kChunkSamples * sizeof(std::int16_t));
  return true;
}

}  // namespace kal
