#pragma once
// The screen source stage: fits the recorded rectangle to the screen at
// Start, then grabs it at the frame rate, draws the cursor effects and
// queues each picture for the converter. A picture that would repeat the
// last one (nothing changed on the screen or of the cursor) is queued
// empty and never grabbed.

#include "recorder/CursorEffects.h"
#include "recorder/PacingClock.h"
#include "media/PacketQueue.h"
#include "recorder/ScreenGrabber.h"
#include "recorder/Stage.h"

namespace kal {

class ScreenSource : public Stage {
 public:
  ScreenSource(SessionState& session, PacketQueue& out) : Stage("screen", session), out_(out) {}

  // Fits the rectangle (full screen, region or the follow window) and
  // sets session.width/height. 0 or -1.
  int Setup(int screenWidth, int screenHeight);
  // The decoder of what this source queues.
  CodecContextPtr MakeDecoder() const;

 protected:
  void Body() override;
  void Ended() override { out_.Close(); }

 private:
  // What the reader knows of the cursor between pictures.
  struct Cursor {
    platform::CursorImage image;
    bool valid = false;
    bool grabFailing = false;  // the last grab failed: logged once a stretch
    bool grabbedOnce = false;
    int drawnX = 0;  // where the last grabbed picture had it
    int drawnY = 0;
    unsigned long drawnSerial = 0;
  };
  CursorEffectSettings EffectSettings() const;
  void TakePicture(PacingClock& clock, CursorEffects& effects, Cursor& cursor);
  bool Still(const PacingClock& clock, const CursorEffects& effects, const Cursor& cursor);
  bool GrabScreen(const PacingClock& clock);
  // `index`: the picture's place on the grid of picture intervals.
  void Queue(PacketPtr packet, std::int64_t index);
  std::int64_t lastQueued_ = -1;

  PacketQueue& out_;
  ScreenGrabber grabber_;
  int regionX_ = 0;
  int regionY_ = 0;
};

}  // namespace kal
