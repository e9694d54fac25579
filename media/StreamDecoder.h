#pragma once
// Decodes the frames of one stream from a PacketQueue with the
// send/receive interface. A new serial of the queue (a seek) flushes what
// the decoder holds; an empty packet drains it at the end of the file. One
// thread, except the Any-thread reads.

#include <atomic>
#include <string>

#include "media/FfmpegPtr.h"
#include "media/PacketQueue.h"

namespace kal {

class StreamDecoder {
 public:
  explicit StreamDecoder(PacketQueue& queue) : queue_(queue) {}
  StreamDecoder(const StreamDecoder&) = delete;
  StreamDecoder& operator=(const StreamDecoder&) = delete;

  // Opens the decoder for `stream` (`kind` names it in messages: "Video",
  // "Audio"); `threads` lets it decode on all cores. False with `why`.
  bool Open(const AVStream* stream, const char* kind, bool threads, std::string& why);
  // True, after flushing, when the queue has moved on to a new serial since
  // the last frame: nothing decoded before the seek comes out after it.
  bool CatchUp();
  // The next frame, or nullptr when none is ready yet (or at the end).
  const AVFrame* Next();
  // The serial whose last frame has been decoded, or -1. Any thread.
  int EndedSerial() const { return endedSerial_.load(); }
  int Serial() const { return serial_; }
  AVRational TimeBase() const { return timeBase_; }
  const AVCodecContext* Context() const { return decoder_.get(); }

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
};

}  // namespace kal
