#pragma once
// Decodes the pictures of one video stream from a PacketQueue with the
// send/receive interface, and converts each to packed YUYV 4:2:2 for SDL's
// YUY2 textures. A packet of a new serial (a seek) flushes what the decoder
// held; an empty packet drains it at the end of the file. One thread.

#include <atomic>
#include <string>
#include <vector>

#include "media/FfmpegPtr.h"
#include "media/PacketQueue.h"

namespace kal {

class PictureDecoder {
 public:
  explicit PictureDecoder(PacketQueue& queue) : queue_(queue) {}
  ~PictureDecoder() { sws_freeContext(scaler_); }
  PictureDecoder(const PictureDecoder&) = delete;
  PictureDecoder& operator=(const PictureDecoder&) = delete;

  // Opens the decoder for `stream` ("threads" auto). False with `why`.
  bool Open(const AVStream* stream, std::string& why);
  // The next picture, or nullptr when none is ready yet (or at the end).
  const AVFrame* Next();
  // The serial whose last picture has been decoded, or -1.
  // Any thread.
  int EndedSerial() const { return endedSerial_.load(); }
  int Serial() const { return serial_; }
  AVRational TimeBase() const { return timeBase_; }
  // The planes to draw `picture` from: its own when it is planar YUV 4:2:0
  // (`planar`), else its YUYV conversion. False when it cannot be converted.
  bool Planes(const AVFrame* picture, const std::uint8_t* planes[3], int pitches[3], bool& planar);
  // The picture as YUYV; false when it cannot be converted.
  bool ToYuyv(const AVFrame* picture);
  const std::uint8_t* Yuyv() const { return yuyv_.data(); }
  int YuyvPitch() const { return pitch_; }

 private:
  PacketQueue& queue_;
  CodecContextPtr decoder_;
  AVRational timeBase_{1, 1};
  FramePtr frame_ = MakeFrame();
  PacketPtr pending_;
  int pendingSerial_ = 0;
  bool primed_ = false;
  int serial_ = -1;
  std::atomic<int> endedSerial_{-1};
  SwsContext* scaler_ = nullptr;  // owned; sws_getCachedContext replaces it
  std::vector<std::uint8_t> yuyv_;
  int pitch_ = 0;
};

}  // namespace kal
