#include "overlay/CameraPreview.h"

#include <pthread.h>

#include <glog/logging.h>

extern "C" {
#include <libavdevice/avdevice.h>
}

#include "media/CameraClaim.h"
#include "media/CaptureDevices.h"
#include "ui/SdlCanvas.h"

namespace kal {
namespace {

constexpr double kRefreshEvery = 0.02;
// A camera with nothing ready, or a full queue, is asked again this soon.
constexpr std::chrono::milliseconds kRetry{5};

}  // namespace

bool CameraPreview::Start(const std::string& formatOverride, const std::string& urlOverride,
                          std::string& why) {
  Stop();
  RegisterCaptureDevices();
  std::string format = formatOverride, url = urlOverride;
  if (url.empty()) {
    const auto devices = EnumerateCaptureDevices(CaptureKind::kCamera);
    if (devices.empty()) {
      why = "no camera";
      return false;
    }
    LOG(INFO) << "device name: " << devices.front().friendlyName;
    format = "video4linux2,v4l2";
    url = devices.front().displayName;
  }
  AVFormatContext* ic = avformat_alloc_context();
  if (!ic) {
    why = "avformat_alloc_context error";
    return false;
  }
  ic->flags |= AVFMT_FLAG_NONBLOCK;
  const int r = avformat_open_input(&ic, url.c_str(), av_find_input_format(format.c_str()), nullptr);
  if (r < 0) {
    why = r == AVERROR(EBUSY) ? "the camera is busy" : "avformat_open_input error: " + AvError(r);
    return false;
  }
  input_.reset(ic);
  if (avformat_find_stream_info(ic, nullptr) < 0) {
    why = "Couldn't find stream information.";
    input_.reset();
    return false;
  }
  videoIndex_ = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (videoIndex_ < 0) {
    why = "no picture from the camera";
    input_.reset();
    return false;
  }
  auto decoder = std::make_unique<PictureDecoder>(queue_);
  if (!decoder->Open(ic->streams[videoIndex_], why)) {
    input_.reset();
    return false;
  }
  pictures_ = std::move(decoder);
  url_ = url;
  ClaimCamera(url_);
  stop_.Reset();
  queue_.Flush();
  reader_ = std::thread([this] { ReadThread(); });
  loop_ = std::make_unique<ui::PictureLoop>(host_);
  loop_->Start([this](ui::SdlCanvas& canvas) { return Draw(canvas); });
  return true;
}

void CameraPreview::ReadThread() {
  pthread_setname_np(pthread_self(), "kal camera read");
  for (;;) {
    if (stop_.Stopped()) break;
    PacketPtr p = MakePacket();
    const int r = av_read_frame(input_.get(), p.get());
    if (r == AVERROR(EAGAIN)) {
      if (!stop_.Wait(kRetry)) break;
      continue;
    }
    if (r < 0) {
      LOG(ERROR) << "the camera delivers no more: " << AvError(r);
      if (lost_) lost_();
      break;
    }
    if (p->stream_index != videoIndex_) continue;
    // Newer pictures are dropped while older ones wait: the preview stays
    // close to the camera.
    if (queue_.Size() >= kQueueBound - 1 || !queue_.TryPush(std::move(p))) {
      if (!stop_.Wait(kRetry)) break;
    }
  }
}

double CameraPreview::Draw(ui::SdlCanvas& canvas) {
  const AVFrame* f = pictures_->Next();
  if (!f) return -1;
  const std::uint8_t* planes[3];
  int pitches[3];
  bool planar = false;
  if (pictures_->Planes(f, planes, pitches, planar))
    canvas.Draw(planes, pitches, QSize(f->width, f->height), planar);
  return kRefreshEvery;
}

void CameraPreview::Stop() {
  stop_.Stop();
  if (loop_) loop_->Stop();
  if (reader_.joinable()) reader_.join();
  loop_.reset();
  queue_.Flush();
  pictures_.reset();
  input_.reset();
  if (!url_.empty()) ReleaseCamera(url_);
  url_.clear();
}

}  // namespace kal
