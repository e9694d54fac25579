// The camera source: the first video4linux2 device, at its own picture size
// and frame rate, read into the packet queue.

#include <cstdio>

#include <glog/logging.h>

extern "C" {
#include <libavdevice/avdevice.h>
}

#include "recorder/Recorder.h"
#include "recorder/Trace.h"

namespace kal {

constexpr std::chrono::milliseconds kCameraGateWait{400};
constexpr std::chrono::milliseconds kCameraQueueFullPause{100};

int Recorder::SetupCameraSource() {
  std::string format = cameraFormatOverride_;
  std::string url = cameraUrlOverride_;
  if (url.empty()) {
    const auto devices = EnumerateCaptureDevices(CaptureKind::kCamera);
    if (devices.empty()) {
      LOG(ERROR) << "not get video device";
      return ERR_NO_VIDEO_DEVICE;
    }
    std::printf("device name: %s\n", devices.front().friendlyName.c_str());
    format = "video4linux2,v4l2";
    url = devices.front().displayName;
  }
  AVFormatContext* ic = nullptr;
  int ret = avformat_open_input(&ic, url.c_str(), av_find_input_format(format.c_str()), nullptr);
  if (ret < 0) {
    LOG(ERROR) << "not open the file, error code = " << ret;
    return -1;
  }
  videoInput_.reset(ic);
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
  videoDecoder_.reset(avcodec_alloc_context3(codec));
  if (!videoDecoder_ || avcodec_parameters_to_context(videoDecoder_.get(), st->codecpar) < 0 ||
      avcodec_open2(videoDecoder_.get(), codec, nullptr) < 0) {
    LOG(ERROR) << "not open video decoder";
    return -1;
  }
  // 4:2:0 pictures need even sizes; odd camera sizes are scaled down by one.
  videoWidth_ = videoDecoder_->width & ~1;
  videoHeight_ = videoDecoder_->height & ~1;
  const AVRational rate = st->avg_frame_rate.den > 0 ? st->avg_frame_rate : st->r_frame_rate;
  if (rate.den > 0 && rate.num / rate.den > 0) frameRate_ = rate.num / rate.den;
  videoDecoder_->time_base = AVRational{1, frameRate_};
  if (videoDecoder_->bit_rate <= 0) {
    videoDecoder_->bit_rate = static_cast<std::int64_t>(videoWidth_) * videoHeight_ * 32 * frameRate_;
  }
  LOG(ERROR) << "videoWidth:" << videoWidth_;
  LOG(ERROR) << "videoWidth:" << videoHeight_;
  return videoFifo_.Allocate(videoWidth_, videoHeight_) ? 0 : -1;
}

void Recorder::CameraReadThread() {
  while (!stopRequested_) {
    PacketPtr packet = MakePacket();
    int ret = 0;
    {
      std::unique_lock<std::mutex> lock(readGateLock_);
      while (!capturing_ && !stopRequested_) {
        Trace("read video packet thread lock\n");
        readGateCond_.wait_for(lock, kCameraGateWait);
        Trace("read video packet thread unlock\n");
      }
      if (stopRequested_) break;
      ret = av_read_frame(videoInput_.get(), packet.get());
    }
    if (ret < 0) {
      LOG(ERROR) << "read frame finish, ret = " << ret;
      break;
    }
    ++picturesGrabbed_;
    if (!packetQueue_.TryPush(std::move(packet))) {
      LOG(ERROR) << "video queue size: " << packetQueue_.Size();
      ++picturesDropped_;
      std::this_thread::sleep_for(kCameraQueueFullPause);
    }
  }
  Trace("%s\n", "video camera thread exit");
  ReaderEnded();
}

}  // namespace kal
