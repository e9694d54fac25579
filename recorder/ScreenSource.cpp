#include "recorder/ScreenSource.h"

#include <thread>

#include <glog/logging.h>

extern "C" {
#include <libavutil/time.h>
}

#include "recorder/CaptureGeometry.h"
#include "recorder/ClickFlags.h"
#include "recorder/Trace.h"

namespace kal {

constexpr std::chrono::milliseconds kReadGateWait{400};

int ScreenSource::Setup(int screenWidth, int screenHeight) {
  const SessionSettings& s = session_.settings;
  int width = screenWidth;
  int height = screenHeight;
  regionX_ = regionY_ = 0;
  if (s.userDefinedRegionCheck) {
    const Rect region = FitRegion(s.region, screenWidth, screenHeight);
    regionX_ = region.x;
    regionY_ = region.y;
    width = region.width;
    height = region.height;
    LOG(INFO) << "region: " << width << "x" << height << "+" << regionX_ << "+" << regionY_;
  }
  if (s.mouseFollowCheck) {
    const Rect follow = FitRegion({0, 0, s.followWidth, s.followHeight}, screenWidth, screenHeight);
    width = follow.width;
    height = follow.height;
  }
  if (!s.userDefinedRegionCheck && !s.mouseFollowCheck) {
    // Full screen is the primary monitor (with several, the root window
    // also holds the others and the dead areas between them), with an even
    // size for 4:2:0 pictures.
    const platform::Monitor m =
        platform::PrimaryMonitor(platform::QueryMonitors(), {screenWidth, screenHeight});
    const Rect full = FitRegion({m.x, m.y, m.width, m.height}, screenWidth, screenHeight);
    regionX_ = full.x;
    regionY_ = full.y;
    width = full.width;
    height = full.height;
    LOG(INFO) << "full screen: monitor " << m.name << " " << full.width << "x" << full.height
              << "+" << full.x << "+" << full.y;
  }
  session_.width = width;
  session_.height = height;
  return grabber_.Setup(regionX_, regionY_, width, height) ? 0 : -1;
}

CodecContextPtr ScreenSource::MakeDecoder() const {
  return ScreenGrabber::MakeDecoder(session_.width, session_.height, session_.frameRate);
}

CursorEffectSettings ScreenSource::EffectSettings() const {
  const SessionSettings& s = session_.settings;
  CursorEffectSettings fx;
  fx.drawCursor = s.mouseCheck != 0;
  fx.ripples = s.mouseEffectClickCheck != 0;
  fx.highlight = s.mouseHotRegionCheck != 0;
  fx.leftColor = s.leftColor;
  fx.rightColor = s.rightColor;
  fx.highlightColor = s.highlightColor;
  fx.highlightWidth = fx.highlightHeight = s.highlightSize;
  fx.highlightHalfWidth = fx.highlightHalfHeight = s.highlightSize / 2;
  fx.frameRate = session_.frameRate;
  return fx;
}

void ScreenSource::Body() {
  PacingClock clock(session_.frameRate, session_.sync);
  CursorEffects effects(EffectSettings());
  Cursor cursor;
  RunGate& gate = session_.gate;

  clock.Begin();
  clock.HoldAtStart();
  while (!gate.Aborted()) {
    clock.NextTurn();
    if (!WaitForTurn(clock, gate, kReadGateWait, [](bool before) {
          Trace(before ? "read video packet thread lock\n" : "read video packet thread unlock\n");
        }))
      break;
    TakePicture(clock, effects, cursor);
  }
  // The last picture lasts to the stop: the file is as long as the
  // recording.
  if (session_.pictureTimes && clock.Grabbed() > 0 && lastQueued_ < clock.Grabbed() - 1)
    Queue(MakePacket(), clock.Grabbed() - 1);
  grabber_.Release();
  const std::int64_t running = clock.RunningMicros();
  LOG(ERROR) << "frames: " << clock.Grabbed();
  LOG(ERROR) << "diff time: " << running;
  LOG(ERROR) << "diff frames: "
             << static_cast<std::int64_t>(running / 1000000.0 * session_.frameRate - clock.Grabbed());
  Trace("%s\n", "video read thread exit");
}

// A picture may repeat the last one when neither the screen nor the cursor
// (its place, its shape, a ripple) changed since. Once a second the screen
// is grabbed anyway, in case a change went unreported.
bool ScreenSource::Still(const PacingClock& clock, const CursorEffects& effects,
                         const Cursor& cursor) {
  if (grabber_.Changed()) return false;  // asked every picture: it takes what XDamage reported
  if (session_.settings.mouseFollowCheck || clock.Grabbed() % session_.frameRate == 0) return false;
  if (!cursor.grabbedOnce || cursor.image.x != cursor.drawnX || cursor.image.y != cursor.drawnY ||
      cursor.image.serial != cursor.drawnSerial)
    return false;
  return !session_.settings.mouseEffectClickCheck ||
         (effects.Ripples().empty() && !leftClickSeen && !rightClickSeen);
}

// A screen that changed size (XRandR) fails the grab, or, grown back, is
// noticed once a second: the grab follows it and the recording goes on.
bool ScreenSource::GrabScreen(const PacingClock& clock) {
  const int failEvery = session_.faults ? session_.faults->grabFailsEvery.load() : 0;
  if (failEvery > 0 && clock.Grabbed() % failEvery == failEvery - 1) return false;
  bool grabbed = grabber_.Grab();
  if ((!grabbed || clock.Grabbed() % session_.frameRate == 0) && grabber_.Refit())
    grabbed = grabber_.Grab();
  return grabbed;
}

void ScreenSource::TakePicture(PacingClock& clock, CursorEffects& effects, Cursor& cursor) {
  SessionCounters& counters = session_.counters;
  // The hotspot and image stay from the last successful read.
  if (grabber_.ReadCursor(cursor.image)) cursor.valid = true;
  int px = cursor.image.x - regionX_;
  int py = cursor.image.y - regionY_;
  if (session_.settings.mouseFollowCheck) {
    const FollowPlacement p =
        PlaceFollowWindow(cursor.image.x, cursor.image.y, session_.width, session_.height,
                          grabber_.ScreenWidth(), grabber_.ScreenHeight());
    grabber_.MoveTo(p.left, p.top);
    px = p.pictureX;
    py = p.pictureY;
  }
  const std::int64_t index = clock.Grabbed();  // the picture's place on the grid
  if (Still(clock, effects, cursor)) {
    clock.CountGrab();
    ++counters.picturesGrabbed;
    ++counters.picturesRepeated;
    // The last picture again (an empty packet), unless pictures carry
    // their times: then the last one simply lasts.
    if (!session_.pictureTimes) Queue(MakePacket(), index);
    return;
  }
  const bool grabbed = GrabScreen(clock);
  if (counters.firstPictureMicros < 0 && counters.firstRunAt > 0)
    counters.firstPictureMicros = av_gettime_relative() - counters.firstRunAt;
  if (grabbed && cursor.valid) {
    effects.Draw(grabber_.Pixels(), session_.width, session_.height, grabber_.Stride(), px, py,
                 cursor.image);
  }
  clock.CountGrab();
  ++counters.picturesGrabbed;
  if (!grabbed) {
    // The last picture stands in, so the picture keeps its time against
    // the sound.
    if (!cursor.grabFailing) LOG(ERROR) << "screen grab failed: the last picture is repeated";
    cursor.grabFailing = true;
    ++counters.picturesRepeated;
    Queue(MakePacket(), index);
    return;
  }
  cursor.grabFailing = false;
  cursor.grabbedOnce = true;
  cursor.drawnX = cursor.image.x;
  cursor.drawnY = cursor.image.y;
  cursor.drawnSerial = cursor.image.serial;
  PacketPtr packet = MakePacket();
  if (packet && grabber_.BuildPacket(packet.get())) Queue(std::move(packet), index);
}

// Queues a picture for the converter, or counts it dropped when the queue
// is full.
void ScreenSource::Queue(PacketPtr packet, std::int64_t index) {
  if (!packet) return;
  packet->pts = packet->dts = index;
  lastQueued_ = index;
  if (out_.TryPush(std::move(packet))) return;
  LOG(ERROR) << "video queue size: " << out_.Size();
  ++session_.counters.picturesDropped;
}

}  // namespace kal
