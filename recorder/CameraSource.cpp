#include "recorder/CameraSource.h"

#include <thread>

#include <glog/logging.h>

extern "C" {
#include <libavdevice/avdevice.h>
}

#include "media/CameraClaim.h"
#include "media/CaptureDevices.h"
#include "recorder/PacingClock.h"
#include "recorder/Trace.h"

namespace kal {

constexpr std::chrono::milliseconds kCameraGateWait{400};
constexpr std::chrono::milliseconds kCameraQueueFullPause{100};
// A device with no picture ready yet is asked again this soon.
constexpr std::chrono::milliseconds kCameraRetry{5};

int CameraSource::Setup(const std::string& formatOverride, const std::string& urlOverride) {
  std::string format = formatOverride;
  std::string url = urlOverride;
  if (url.empty()) {
    const auto devices = EnumerateCaptureDevices(CaptureKind::kCamera);
    if (devices.empty()) {
      LOG(ERROR) << "not get video device";
      return ERR_NO_VIDEO_DEVICE;
    }
    LOG(INFO) << "camera: " << devices.front().friendlyName;
    format = "video4linux2,v4l2";
    url = devices.front().displayName;
  }
  if (CameraClaimed(url)) {
    LOG(ERROR) << "the camera is held by the preview: " << url;
    return ERR_CAMERA_BUSY;
  }
  AVFormatContext* ic = nullptr;
  int ret = avformat_open_input(&ic, url.c_str(), av_find_input_format(format.c_str()), nullptr);
  if (ret == AVERROR(EBUSY)) {
    LOG(ERROR) << "the camera is busy: " << url;
    return ERR_CAMERA_BUSY;
  }
  if (ret < 0) {
    LOG(ERROR) << "not open the file, error code = " << ret;
    return -1;
  }
  input_.reset(ic);
  if (avformat_find_stream_info(ic, nullptr) < 0) {
    LOG(ERROR) << "not find stream information";
    return -1;
  }
  const int index = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) {
    LOG(ERROR) << "Didn't find a video stream";
    return -1;
  }
  const AVStream* st = ic->streams[index];
  const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
  if (!codec) {
    LOG(ERROR) << "not found video decoder";
    return -1;
  }
  decoder_.reset(avcodec_alloc_context3(codec));
  if (!decoder_ || avcodec_parameters_to_context(decoder_.get(), st->codecpar) < 0 ||
      avcodec_open2(decoder_.get(), codec, nullptr) < 0) {
    LOG(ERROR) << "not open video decoder";
    return -1;
  }
  // 4:2:0 pictures need even sizes; odd camera sizes are scaled down by one.
  session_.width = decoder_->width & ~1;
  session_.height = decoder_->height & ~1;
  const AVRational rate = st->avg_frame_rate.den > 0 ? st->avg_frame_rate : st->r_frame_rate;
  if (rate.den > 0 && rate.num / rate.den > 0) session_.frameRate = rate.num / rate.den;
  decoder_->time_base = AVRational{1, session_.frameRate};
  if (decoder_->bit_rate <= 0) {
    decoder_->bit_rate =
        static_cast<std::int64_t>(session_.width) * session_.height * 32 * session_.frameRate;
  }
  return 0;
}

void CameraSource::Body() {
  RunGate& gate = session_.gate;
  while (!gate.Aborted()) {
    const bool open = gate.WaitOpen(kCameraGateWait, [](bool before) {
      Trace(before ? "read video packet thread lock\n" : "read video packet thread unlock\n");
    });
    if (!open) break;
    PacketPtr packet = MakePacket();
    const int ret = av_read_frame(input_.get(), packet.get());
    if (ret == AVERROR(EAGAIN)) {
      std::this_thread::sleep_for(kCameraRetry);
      continue;
    }
    if (ret < 0) {
      LOG(ERROR) << "read frame finish, ret = " << ret;
      if (session_.listener)
        session_.listener->CameraLost("the camera stopped delivering pictures (" + AvError(ret) +
                                      "); recording on with its last picture");
      RepeatLastPicture();
      break;
    }
    ++session_.counters.picturesGrabbed;
    StampArrival(*packet);
    if (!out_.TryPush(std::move(packet))) {
      LOG(ERROR) << "video queue size: " << out_.Size();
      ++session_.counters.picturesDropped;
      std::this_thread::sleep_for(kCameraQueueFullPause);
    }
  }
  Trace("%s\n", "video camera thread exit");
}

// The converter places each picture by the running time it arrived at.
void CameraSource::StampArrival(AVPacket& packet) const {
  packet.pts = packet.dts = session_.sync.RunningMicros(Synchroniser::Clock::now());
}

// A camera that is gone (unplugged, its input ended): its last picture
// goes on at the recording's frame rate, pauses excluded, until the stop,
// so the recording keeps its running time and its sound.
void CameraSource::RepeatLastPicture() {
  PacingClock clock(session_.frameRate, session_.sync);
  clock.Begin();
  while (!session_.gate.Aborted()) {
    clock.NextTurn();
    if (!WaitForTurn(clock, session_.gate, kCameraGateWait)) break;
    clock.CountGrab();
    ++session_.counters.picturesGrabbed;
    ++session_.counters.picturesRepeated;
    PacketPtr packet = MakePacket();
    StampArrival(*packet);
    if (!out_.TryPush(std::move(packet))) ++session_.counters.picturesDropped;
  }
}

}  // namespace kal
