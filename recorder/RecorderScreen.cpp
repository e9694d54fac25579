// The screen source: geometry, grabber and bitmap decoder set-up, and the
// reader thread that grabs at the frame rate.

#include <cstdio>

#include <glog/logging.h>

extern "C" {
#include <libavutil/time.h>
}

#include "config/ConfigKeys.h"
#include "recorder/CaptureGeometry.h"
#include "recorder/CursorEffects.h"
#include "recorder/PacingClock.h"
#include "recorder/ClickFlags.h"
#include "recorder/Recorder.h"
#include "recorder/Trace.h"

namespace kal {

constexpr std::chrono::milliseconds kReadGateWait{400};

// What the reader knows of the cursor between pictures.
struct CursorState {
  platform::CursorImage image;
  bool valid = false;
  bool grabFailing = false;  // the last grab failed: logged once a stretch
  // Where the last grabbed picture had the cursor.
  bool grabbedOnce = false;
  int drawnX = 0;
  int drawnY = 0;
  unsigned long drawnSerial = 0;
};

namespace {

// A picture may repeat the last one when neither the screen nor the cursor
// (its place, its shape, a ripple) changed since.
bool SameAsLast(const CursorState& cursor, const CursorEffects& effects, bool ripples) {
  if (!cursor.grabbedOnce) return false;
  if (cursor.image.x != cursor.drawnX || cursor.image.y != cursor.drawnY ||
      cursor.image.serial != cursor.drawnSerial)
    return false;
  return !ripples || (effects.Ripples().empty() && !leftClickSeen && !rightClickSeen);
}

}  // namespace

int Recorder::SetupScreenSource() {
  if (settings_.userDefinedRegionCheck) {
    const Rect region = FitRegion(settings_.region, screenWidth_, screenHeight_);
    regionX_ = region.x;
    regionY_ = region.y;
    videoWidth_ = region.width;
    videoHeight_ = region.height;
    std::printf("regionOffsetX: %d\nregionOffsetY: %d\nvideoWidth: %d\nvideoHeight: %d\n",
                regionX_, regionY_, videoWidth_, videoHeight_);
  }
  if (settings_.mouseFollowCheck) {
    const Rect follow = FitRegion({0, 0, settings_.followWidth, settings_.followHeight},
                                  screenWidth_, screenHeight_);
    videoWidth_ = follow.width;
    videoHeight_ = follow.height;
  }
  if (!settings_.userDefinedRegionCheck && !settings_.mouseFollowCheck) {
    // Full screen is the primary monitor (with several, the root window
    // also holds the others and the dead areas between them), with an even
    // size for 4:2:0 pictures.
    const platform::Monitor m =
        platform::PrimaryMonitor(platform::QueryMonitors(), {screenWidth_, screenHeight_});
    const Rect full = FitRegion({m.x, m.y, m.width, m.height}, screenWidth_, screenHeight_);
    regionX_ = full.x;
    regionY_ = full.y;
    videoWidth_ = full.width;
    videoHeight_ = full.height;
    LOG(INFO) << "full screen: monitor " << m.name << " " << full.width << "x" << full.height
              << "+" << full.x << "+" << full.y;
  }
  if (!grabber_.Setup(regionX_, regionY_, videoWidth_, videoHeight_)) return -1;

  const int ret = OpenBitmapDecoder();
  if (ret != 0) return ret;
  LOG(ERROR) << "videoWidth:" << videoWidth_;
  LOG(ERROR) << "videoWidth:" << videoHeight_;
  return videoFifo_.Allocate(videoWidth_, videoHeight_) ? 0 : -1;
}

int Recorder::OpenBitmapDecoder() {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_BMP);
  if (!codec) {
    LOG(ERROR) << "not found video decoder";
    return -1;
  }
  videoDecoder_.reset(avcodec_alloc_context3(codec));
  if (!videoDecoder_) return -1;
  AVCodecContext* c = videoDecoder_.get();
  c->width = videoWidth_;
  c->height = videoHeight_;
  c->pix_fmt = AV_PIX_FMT_BGRA;
  c->codec_type = AVMEDIA_TYPE_VIDEO;
  c->time_base = AVRational{1, frameRate_};
  c->bit_rate = static_cast<std::int64_t>(static_cast<double>(videoWidth_) * videoHeight_ * 4 /
                                          (1.0 / frameRate_) * 8);
  c->thread_count = 4;
  if (avcodec_open2(c, codec, nullptr) < 0) {
    LOG(ERROR) << "not open video decoder";
    return -1;
  }
  return 0;
}

void Recorder::ScreenReadThread() {
  PacingClock clock(frameRate_);
  CursorEffectSettings fx;
  fx.drawCursor = settings_.mouseCheck != 0;
  fx.ripples = settings_.mouseEffectClickCheck != 0;
  fx.highlight = settings_.mouseHotRegionCheck != 0;
  fx.leftColor = settings_.leftColor;
  fx.rightColor = settings_.rightColor;
  fx.highlightColor = settings_.highlightColor;
  fx.highlightWidth = fx.highlightHeight = settings_.highlightSize;
  fx.highlightHalfWidth = fx.highlightHalfHeight = settings_.highlightSize / 2;
  fx.frameRate = frameRate_;
  CursorEffects effects(fx);
  CursorState cursor;

  clock.Begin();
  videoReady_ = true;
  const auto stop = [this] { return stopRequested_.load(); };
  while (!stopRequested_) {
    clock.NextTurn();
    // Start alignment: all sources begin together.
    while (!audioReady_ && !stopRequested_) {
      const VoiceSource v = settings_.voiceSource;
      const bool ready = v == VoiceSource::kBoth         ? (MicSettled() && SpeakerSettled())
                         : v == VoiceSource::kMicrophone ? MicSettled()
                                                         : SpeakerSettled();
      if (ready) audioReady_ = true;
      clock.HoldAtStart();
      if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    {
      std::unique_lock<std::mutex> lock(readGateLock_);
      while (!capturing_ && !stopRequested_) {
        clock.PauseStep();
        Trace("read video packet thread lock\n");
        readGateCond_.wait_for(lock, kReadGateWait);
        Trace("read video packet thread unlock\n");
        clock.PauseResume();
      }
    }
    if (stopRequested_) break;
    clock.WaitForPicture(stop);
    if (stopRequested_) break;
    GrabPicture(clock, effects, cursor);
  }
  grabber_.Release();
  const std::int64_t running = clock.RunningMicros();
  LOG(ERROR) << "frames: " << clock.Grabbed();
  LOG(ERROR) << "diff time: " << running;
  LOG(ERROR) << "diff frames: "
             << static_cast<std::int64_t>(running / 1000000.0 * frameRate_ - clock.Grabbed());
  Trace("%s\n", "video read thread exit");
  ReaderEnded();
}

void Recorder::GrabPicture(PacingClock& clock, CursorEffects& effects, CursorState& cursor) {
  // The hotspot and image stay from the last successful read.
  if (grabber_.ReadCursor(cursor.image)) cursor.valid = true;
  int px = cursor.image.x - regionX_;
  int py = cursor.image.y - regionY_;
  if (settings_.mouseFollowCheck) {
    const FollowPlacement p =
        PlaceFollowWindow(cursor.image.x, cursor.image.y, videoWidth_, videoHeight_,
                          grabber_.ScreenWidth(), grabber_.ScreenHeight());
    grabber_.MoveTo(p.left, p.top);
    px = p.pictureX;
    py = p.pictureY;
  }
  // A still screen is not grabbed again: the last picture repeats. Once a
  // second it is grabbed anyway, in case a change went unreported.
  const bool changed = grabber_.Changed();
  if (!changed && !settings_.mouseFollowCheck && clock.Grabbed() % frameRate_ != 0 &&
      SameAsLast(cursor, effects, settings_.mouseEffectClickCheck != 0)) {
    clock.CountGrab();
    ++picturesGrabbed_;
    ++picturesRepeated_;
    QueuePicture(MakePacket());  // empty: the last picture again
    return;
  }
  // A screen that changed size (XRandR) fails the grab, or, grown back,
  // is noticed once a second: the grab follows it and the recording goes on.
  bool grabbed = grabber_.Grab();
  if ((!grabbed || clock.Grabbed() % frameRate_ == 0) && grabber_.Refit()) grabbed = grabber_.Grab();
  if (firstPictureMicros_ < 0 && firstRunAt_ > 0)
    firstPictureMicros_ = av_gettime_relative() - firstRunAt_;
  if (grabbed && cursor.valid) {
    effects.Draw(grabber_.Pixels(), videoWidth_, videoHeight_, grabber_.Stride(), px, py,
                 cursor.image);
  }
  clock.CountGrab();
  ++picturesGrabbed_;
  if (!grabbed) {
    if (!cursor.grabFailing) LOG(ERROR) << "screen grab failed";
    cursor.grabFailing = true;
    ++picturesDropped_;
    return;
  }
  cursor.grabFailing = false;
  cursor.grabbedOnce = true;
  cursor.drawnX = cursor.image.x;
  cursor.drawnY = cursor.image.y;
  cursor.drawnSerial = cursor.image.serial;
  PacketPtr packet = MakePacket();
  if (packet && grabber_.BuildPacket(packet.get())) QueuePicture(std::move(packet));
}

// Queues a picture for the decode thread, or counts it dropped when the
// queue is full.
void Recorder::QueuePicture(PacketPtr packet) {
  if (!packet || packetQueue_.TryPush(std::move(packet))) return;
  LOG(ERROR) << "video queue size: " << packetQueue_.Size();
  ++picturesDropped_;
}

}  // namespace kal
