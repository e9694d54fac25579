#pragma once
// The file of a session: its container, the H.264 and AAC encoders and
// their streams. It is written under a temporary ".part" name, locked for
// the session's whole life, and renamed when it is complete (see
// Recovery.h). A file that cannot be written any more (disk full, folder
// removed) ends the recording through the listener: what was written stays
// playable.

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/FileLock.h"
#include "media/FfmpegPtr.h"
#include "recorder/SessionState.h"

namespace kal {

class OutputFile {
 public:
  explicit OutputFile(SessionState& session) : session_(session) {}
  ~OutputFile() { Close(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // The container for `path` (from `extension`) and the picture encoder,
  // its bit rate taken from the source's. 0 or -1.
  int Open(const std::string& path, const std::string& extension, std::int64_t sourceBitRate,
           int quality);
  // Creates the ".part" file, adds the sound encoder and writes the header.
  // 0 or -1.
  int Begin();

  AVCodecContext* VideoEncoder() const { return videoEncoder_.get(); }
  AVCodecContext* AudioEncoder() const { return audioEncoder_.get(); }
  // The last picture written is later than the last sound.
  bool VideoAhead() const;
  // Encoder thread only.
  void WriteVideo(AVPacket* packet);
  void WriteAudio(AVPacket* packet);
  bool WriteFailed() const { return writeFailed_.load(); }

  // After the workers have ended: the trailer, then the file is closed and
  // renamed. Empty, or what went wrong (the recording then stays in the
  // ".part" file, which Path() names).
  std::string Finish();
  // Closes and removes the file (a start that failed).
  void Discard();
  void Close();
  std::string Path() const { return path_; }

 private:
  std::string PartPath() const;
  void NoteWriteResult(int ret);

  SessionState& session_;
  std::string path_;
  std::string extension_;
  OutputContextPtr output_;
  CodecContextPtr videoEncoder_;
  AVStream* videoStream_ = nullptr;
  CodecContextPtr audioEncoder_;
  AVStream* audioStream_ = nullptr;
  bool created_ = false;
  platform::FileLock partLock_;  // held on the unfinished file until it is renamed

  // Timestamps, in the streams' own time bases (encoder thread).
  std::int64_t lastVideoPts_ = 0;
  std::int64_t lastAudioPts_ = 0;
  std::int64_t audioSamplesOut_ = 0;  // samples in audio packets written
  std::int64_t lastSeconds_ = -1;
  int writeErrorsInARow_ = 0;
  std::atomic<bool> writeFailed_{false};
};

}  // namespace kal
