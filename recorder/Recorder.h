#pragma once
// The recording engine. One object lives as long as its owner; each
// recording is one session: Start sets it up, Run makes it capture, Pause
// holds it, Run resumes it and Stop ends it. A finaliser thread completes the
// file (trailer) after Stop.
//
// Start, Run, Pause, Stop and WaitFinished are called on the owner's thread.
// The engine reports to the owner through MessagePoster (the recorded
// seconds, failures, lost sound) and its state.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/FileLock.h"
#include "recorder/CaptureDevices.h"
#include "recorder/FfmpegPtr.h"
#include "recorder/PacketQueue.h"
#include "recorder/PictureConverter.h"
#include "recorder/RecorderTypes.h"
#include "recorder/ScreenGrabber.h"
#include "recorder/SessionSettings.h"
#include "recorder/VideoFifo.h"

namespace kal {

class Recorder {
 public:
  explicit Recorder(MessagePoster* owner);
  // Stops a running session and waits for its file to be completed.
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Sets up a session writing `folder`/`fileName` (UTF-8; the container
  // follows the name's extension). Returns 0, ERR_NO_VIDEO_DEVICE,
  // ERR_NO_AUDIO_DEVICE, -1, or a negative FFmpeg code from the header.
  // Refuses (-1) while the previous session's file is still being completed.
  // On failure nothing of the session is left, the file included.
  int Start(const std::string& fileName, const std::string& folder, const std::string& extension,
            int frameRate, int quality);
  int Run();
  int Pause();
  // Returns at once; the file is complete when WaitFinished returns true.
  int Stop();

  int State() const { return state_.load(); }
  // Number of the last started session, 1 for the first; the recorded
  // seconds carry it so that the owner can drop stale ones.
  int Session() const { return session_; }
  // Waits until the last session's file is complete. True at once when no
  // session is being completed.
  bool WaitFinished(std::chrono::milliseconds timeout);

  // Why the last session ended by itself, or why its file could not be
  // finished (empty when neither happened). Any thread.
  std::string Failure() const;

  // What went wrong with the session's sound sources, one line each
  // (empty when nothing did). Any thread.
  std::vector<std::string> SoundProblems() const;

  // Full path of the session's file (after Start). Once WaitFinished is
  // true, where the recording really is: the unfinished ".part" file when
  // it could not be completed.
  std::string FilePath() const;
  int VideoWidth() const { return videoWidth_; }
  int VideoHeight() const { return videoHeight_; }
  int FrameRate() const { return frameRate_; }
  // Any thread.
  RecorderStats Stats() const;

  // Tests: record from this FFmpeg input instead of the first camera
  // (for example "lavfi" with "testsrc=size=640x480:rate=15").
  // Tests: the encode thread takes no turns while held, as if the disk or
  // the encoder had stalled.
  void HoldEncoderForTesting(bool hold) { encodeHeld_ = hold; }
  void SetCameraInputForTesting(const std::string& format, const std::string& url) {
    cameraFormatOverride_ = format;
    cameraUrlOverride_ = url;
  }

 // The microphone thread's own state (RecorderMicrophone.cpp).
  struct MicState;

 private:
  struct EncodeBuffers;

  // Start, step by step.
  void ResetSession();
  int SetupScreenSource();
  int SetupCameraSource();
  int BuildWatermarkGraph(AVPixelFormat format);
  std::string WatermarkDescription() const;
  bool ApplyWatermark(AVFrame* decoded, AVFrame* filtered);
  int OpenBitmapDecoder();
  int SetupOutput();
  void SourceCheck();
  int AudioSetup();
  int SetupAudioEncoder();
  void StartThreads();
  // The top of every worker thread.
  void Worker(const char* name, void (Recorder::*body)(), void (Recorder::*ended)());
  void ReaderEnded();
  void MicrophoneEnded();
  void SpeakerEnded();
  void DecodeEnded();
  void EncodeEnded();
  void FreeSession();
  void DiscardFile();
  std::string PartPath() const;

  // Worker threads.
  void ScreenReadThread();
  void CameraReadThread();
  void GrabPicture(class PacingClock& clock, class CursorEffects& effects,
                   struct CursorState& cursor);
  void VideoDecodeThread();
  void EncodeThread();
  void FinishThread();

  // EncodeThread's turns.
  bool WaitEncodeGate();
  bool VideoAhead() const;
  bool VideoTurn(EncodeBuffers& b, bool draining);
  bool ConvertIntoFifo(const AVFrame* picture);
  void RepeatIntoFifo();
  std::uint8_t* WaitForFreeSlot();
  void CommitSlot(std::uint8_t* slot);
  void QueuePicture(PacketPtr packet);
  bool AudioTurn(bool draining);  // true when a packet was written
  bool TakeMicrophone(AVFrame* frame, bool draining);
  void TakeSystemSound(AVFrame* frame, bool draining);
  bool MixFrames(AVFrame* mic, AVFrame* speaker, AVFrame* mixed);
  int BuildMixGraph();
  int PrepareMicrophone();
  void MicrophoneCapture();
  int TakeMicrophoneFragment(MicState& m, const void* data, int frames);
  void WriteMicSilence(class SoundTimeline& timeline, std::int64_t samples);
  // A source that is ready, or that has ended and will never be: the start
  // alignment waits for no source that has ended.
  bool MicSettled() const { return micReady_ || micDone_; }
  bool SpeakerSettled() const { return speakerReady_ || speakerDone_; }
  // Tells the owner, once per source, that a wanted sound source is missing
  // or gone (MessagePoster::SoundLost); the recording goes on without it.
  void ReportSoundLost(SoundSource source, const std::string& why, bool whileRecording);
  void SpeakerCapture();
  bool WriteMicFifo(std::uint8_t** data, int samples);
  void EncodeVideo(AVFrame* frame);
  bool EncodeAudio(AVFrame* frame);
  void WriteVideoPacket(AVPacket* packet);
  void WriteAudioPacket(AVPacket* packet);
  void NoteWriteResult(int ret);
  void SetFailure(RecordFailure kind, const std::string& text);
  void FinishEncoding(EncodeBuffers& b);

  MessagePoster* owner_;

  // Settings of the session, read once at Start (the source check may
  // change the sound source for the session).
  SessionSettings settings_;
  std::atomic<int> state_{kIdle};
  bool audioMuted_ = false;

  // Sound of the session.
  std::vector<CaptureDeviceInfo> micDevices_;
  SwrPtr micResampler_;  // 32 kHz mono 16-bit to the encoder's format
  AudioFifoPtr micFifo_;
  AudioFifoPtr speakerFifo_;
  std::mutex speakerFifoLock_;
  FilterGraphPtr mixGraph_;
  AVFilterContext* mixSpeaker_ = nullptr;  // "in0"
  AVFilterContext* mixMic_ = nullptr;      // "in1"
  AVFilterContext* mixSink_ = nullptr;     // "out"
  std::atomic<bool> micDone_{false};
  std::atomic<bool> speakerDone_{false};

  // Watermark graph of the session.
  FilterGraphPtr watermarkGraph_;
  AVFilterContext* watermarkSource_ = nullptr;  // "in"
  AVFilterContext* watermarkSink_ = nullptr;    // "out"
  AVPixelFormat watermarkFormat_ = AV_PIX_FMT_NONE;  // what the graph takes in
  std::int64_t watermarkPts_ = 0;

  // Camera: the opened device (and, for tests, what stands in for one).
  InputContextPtr videoInput_;
  std::string cameraFormatOverride_;
  std::string cameraUrlOverride_;

  // Media objects of the session.
  CodecContextPtr videoDecoder_;
  VideoFifo videoFifo_;
  std::uint8_t* lastSlot_ = nullptr;  // decode thread: the last picture written
  OutputContextPtr output_;
  CodecContextPtr videoEncoder_;
  AVStream* videoStream_ = nullptr;
  CodecContextPtr audioEncoder_;
  AVStream* audioStream_ = nullptr;
  PictureConverter converter_;
  PacketQueue packetQueue_{34};  // readers drop pictures rather than queue more
  ScreenGrabber grabber_;

  // Run state shared by the threads.
  std::int64_t frameIndex_ = 0;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> capturing_{false};
  std::atomic<bool> decodeDone_{false};
  std::atomic<bool> encodeDone_{false};
  std::atomic<bool> videoReady_{false};
  std::atomic<bool> micReady_{false};
  std::atomic<bool> speakerReady_{false};
  std::atomic<bool> audioReady_{false};
  std::atomic<bool> speakerActive_{false};
  std::atomic<bool> encodeHeld_{false};
  std::atomic<bool> writeFailed_{false};
  int writeErrorsInARow_ = 0;  // encode thread only
  mutable std::mutex failureLock_;
  std::string failure_;
  std::vector<std::string> soundProblems_;  // under failureLock_

  // Gates: each guards `capturing_` for one waiting thread.
  std::mutex readGateLock_;
  std::condition_variable readGateCond_;
  std::mutex encodeGateLock_;
  std::condition_variable encodeGateCond_;
  std::mutex micFifoLock_;
  std::condition_variable micFifoCond_;

  // Finish event and completion of the session's file.
  std::mutex finishLock_;
  std::condition_variable finishCond_;
  bool finishSignalled_ = false;
  bool finished_ = true;

  // Geometry and inputs.
  int screenWidth_ = 0;
  int screenHeight_ = 0;
  int frameRate_ = 10;
  int regionX_ = 0;
  int regionY_ = 0;
  int videoWidth_ = 0;
  int videoHeight_ = 0;
  std::string fileName_;
  std::string folder_;
  std::string extension_;
  int quality_ = 1;
  bool fileCreated_ = false;
  platform::FileLock partLock_;  // held on the unfinished file until it is renamed

  // Timestamps, in the streams' own time bases.
  std::int64_t lastVideoPts_ = 0;
  std::int64_t lastAudioPts_ = 0;
  std::int64_t audioSamplesOut_ = 0;    // samples in audio packets written
  std::int64_t audioSamplesIn_ = 0;     // samples given to the audio encoder
  std::int64_t lastSecondsPosted_ = 0;  // kept across sessions
  int session_ = 0;

  // Statistics.
  std::atomic<std::int64_t> picturesGrabbed_{0};
  std::atomic<std::int64_t> picturesDropped_{0};
  std::atomic<std::int64_t> picturesRepeated_{0};
  std::atomic<std::int64_t> picturesEncoded_{0};
  std::atomic<std::int64_t> audioFramesEncoded_{0};
  std::atomic<std::int64_t> firstRunAt_{0};  // microseconds, monotonic; 0 before Run
  std::atomic<std::int64_t> firstPictureMicros_{-1};

  std::vector<std::thread> workers_;
  std::thread finisher_;
};

}  // namespace kal
