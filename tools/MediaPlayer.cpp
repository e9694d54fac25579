#include "tools/MediaPlayer.h"

#include <pthread.h>

#include <algorithm>
#include <cmath>

#include <glog/logging.h>

#include "ui/SdlCanvas.h"
#include "ui/VideoHost.h"

namespace kal {
namespace {

constexpr std::chrono::milliseconds kQueueFullWait{20};
constexpr std::chrono::milliseconds kEndOfFileWait{40};
// A picture whose time stamp says nothing shows this long.
constexpr double kDefaultFrameDuration = 0.04;
// How long the first picture waits for the sound to start, and how often it
// looks.
constexpr double kSoundStartWait = 3.0;
constexpr double kWaitForSound = 0.01;
// Pictures skipped after a seek in one pass, so a stop is never kept waiting.
constexpr int kMostSkipped = 50;
// Late pictures dropped in a row before one is drawn anyway, so a machine
// too slow for the file still sees the picture move.
constexpr int kMostDropped = 10;

}  // namespace

MediaPlayer::MediaPlayer(ui::VideoHost& host) : host_(host) {}

int MediaPlayer::Play(const std::string& path) {
  if (state_ != kCreated) return -1;
  path_ = path;
  if (Open(path) < 0) {
    LOG(ERROR) << "init error: " << path << ": " << error_;
    input_.reset();
    audio_.reset();
    pictures_.reset();
    return -1;
  }
  state_ = kPlaying;
  if (audio_) audio_->Start();
  reader_ = std::thread([this] { ReadThread(); });
  if (pictures_) {
    loop_ = std::make_unique<ui::PictureLoop>(host_);
    loop_->Start([this](ui::SdlCanvas& canvas) { return DrawPicture(canvas); });
  }
  return 0;
}

int MediaPlayer::Open(const std::string& path) {
  AVFormatContext* ic = nullptr;
  if (avformat_open_input(&ic, path.c_str(), nullptr, nullptr) < 0) {
    error_ = "avformat_open_input error";
    return -1;
  }
  input_.reset(ic);
  if (avformat_find_stream_info(ic, nullptr) < 0) {
    error_ = "Couldn't find stream information.";
    return -1;
  }
  double longest = 0;
  for (unsigned i = 0; i < ic->nb_streams; ++i) {
    const AVStream* s = ic->streams[i];
    const AVMediaType type = s->codecpar->codec_type;
    const bool picture = type == AVMEDIA_TYPE_VIDEO && !(s->disposition & AV_DISPOSITION_ATTACHED_PIC);
    if ((picture && videoIndex_ < 0) || (type == AVMEDIA_TYPE_AUDIO && audioIndex_ < 0)) {
      if (s->duration != AV_NOPTS_VALUE) longest = std::max(longest, s->duration * av_q2d(s->time_base));
    }
    if (picture && videoIndex_ < 0) {
      auto decoder = std::make_unique<PictureDecoder>(videoQueue_);
      if (!decoder->Open(s, error_)) return -1;
      pictures_ = std::move(decoder);
      videoIndex_ = static_cast<int>(i);
      if (s->avg_frame_rate.num > 0 && s->avg_frame_rate.den > 0)
        frameDuration_ = 1.0 / av_q2d(s->avg_frame_rate);
    } else if (type == AVMEDIA_TYPE_AUDIO && audioIndex_ < 0) {
      audioIndex_ = static_cast<int>(i);
      if (!ui::SdlHasAudio()) {
        LOG(ERROR) << "no sound device: the pictures play without sound";
        continue;
      }
      auto audio = std::make_unique<PlayerAudio>(audioQueue_, audioClock_);
      std::string why;
      if (!audio->Open(s, why)) {
        // Without a device the pictures still play, on the external clock.
        LOG(ERROR) << why << ": the pictures play without sound";
        if (why.rfind("no sound device", 0) != 0) {
          error_ = why;
          return -1;
        }
        continue;
      }
      audio->SetVolume(volume_);
      audio_ = std::move(audio);
    }
  }
  // The container's length covers every stream, to the fraction.
  duration_ = ic->duration != AV_NOPTS_VALUE ? ic->duration / static_cast<double>(AV_TIME_BASE) : longest;
  if (!pictures_ && !audio_) {
    error_ = audioIndex_ >= 0 ? "no sound device" : "no picture and no sound";
    return -1;
  }
  if (pictures_ && !ui::EnsureSdl()) {
    error_ = "Window could not be created!";
    return -1;
  }
  return 0;
}

void MediaPlayer::ReadThread() {
  pthread_setname_np(pthread_self(), "kal player read");
  for (;;) {
    if (stop_.Stopped()) break;
    if (videoQueue_.Full() || audioQueue_.Full()) {
      if (!stop_.Wait(kQueueFullWait)) break;
      continue;
    }
    const int eof = endOfFileSerial_.load();
    if (eof >= 0 && eof == videoQueue_.Serial()) {
      if (!finished_ && PlayedToEnd(eof)) {
        finished_ = true;
        LOG(INFO) << "played to the end: " << path_;
        if (callFinish_ && finish_) finish_();
      }
      if (!stop_.Wait(kEndOfFileWait)) break;
      continue;
    }
    PacketPtr p = MakePacket();
    int videoSerial = 0, audioSerial = 0, r = 0;
    {
      std::lock_guard<std::mutex> l(demuxLock_);
      videoSerial = videoQueue_.Serial();
      audioSerial = audioQueue_.Serial();
      r = av_read_frame(input_.get(), p.get());
    }
    if (r == AVERROR(EAGAIN)) {
      if (!stop_.Wait(std::chrono::milliseconds(10))) break;
      continue;
    }
    if (r < 0) {
      // The end, or a file that cannot be read further: what was read plays
      // out (an empty packet drains each decoder), then the end is told.
      if (r != AVERROR_EOF) LOG(ERROR) << "read error: " << AvError(r) << ": " << path_;
      videoQueue_.TryPush(MakePacket(), videoSerial);
      audioQueue_.TryPush(MakePacket(), audioSerial);
      endOfFileSerial_ = videoSerial;
      continue;
    }
    const bool toVideo = p->stream_index == videoIndex_ && pictures_;
    const bool toAudio = p->stream_index == audioIndex_ && audio_;
    if (!toVideo && !toAudio) continue;
    PacketQueue& q = toVideo ? videoQueue_ : audioQueue_;
    const int serial = toVideo ? videoSerial : audioSerial;
    // Only a full queue refuses, and this thread, the only one to push,
    // waited above while either was full.
    q.TryPush(std::move(p), serial);
  }
}

bool MediaPlayer::PlayedToEnd(int serial) const {
  const bool picturesDone = !pictures_ || (videoQueue_.Size() == 0 && pictures_->EndedSerial() == serial);
  const bool soundDone = !audio_ || (audioQueue_.Size() == 0 && audio_->EndedSerial() == serial);
  return picturesDone && soundDone;
}

}  // namespace kal

namespace kal {

double MediaPlayer::MasterClock() const {
  return audio_ ? audioClock_.Get() : externalClock_.Get();
}

// Refresh thread: the next picture, drawn now; the seconds until the one
// after it is due by the master clock.
double MediaPlayer::DrawPicture(ui::SdlCanvas& canvas) {
  const double now = NowSeconds();
  // The first picture waits for the sound to start (a sound server can take
  // a while), unless the sound never comes.
  if (audio_ && !std::isnan(lastPts_) && !audioClock_.Defined() && now - firstPictureAt_ < kSoundStartWait) {
    videoClock_.Set(lastPts_, now);  // the position stands with the picture
    return kWaitForSound;
  }
  const AVFrame* f = pictures_->Next();
  // After a seek, the pictures from the key picture before the place asked
  // for up to that place are decoded but not shown.
  for (int skipped = 0; f && pictures_->Serial() == skipSerial_.load(); ++skipped) {
    if (f->best_effort_timestamp == AV_NOPTS_VALUE) break;
    const double pts = f->best_effort_timestamp * av_q2d(pictures_->TimeBase());
    if (pts + frameDuration_ / 2 >= skipUntil_.load()) break;
    if (skipped == kMostSkipped) return 0;  // on with the skipping next pass
    f = pictures_->Next();
  }
  if (!f) return -1;
  // A picture over by more than its own length is not drawn: pictures that
  // fell behind the sound (a slow start, a busy machine) catch up at once
  // instead of at the speed of drawing. The first picture always shows.
  for (int dropped = 0; dropped < kMostDropped && f->best_effort_timestamp != AV_NOPTS_VALUE; ++dropped) {
    const double late = MasterClock() - f->best_effort_timestamp * av_q2d(pictures_->TimeBase());
    const double length = frameDuration_ > 0 ? frameDuration_ : kDefaultFrameDuration;
    if (std::isnan(lastPts_) || !(late > 2 * length)) break;
    lastPts_ = f->best_effort_timestamp * av_q2d(pictures_->TimeBase());
    videoClock_.Set(lastPts_, now);
    if (!(f = pictures_->Next())) return -1;
  }
  double pts = NAN;
  if (f->best_effort_timestamp != AV_NOPTS_VALUE)
    pts = f->best_effort_timestamp * av_q2d(pictures_->TimeBase());
  double duration = pts - lastPts_;
  if (std::isnan(duration) || duration < 1e-6 || duration > 1.0)
    duration = frameDuration_ > 0 ? frameDuration_ : kDefaultFrameDuration;
  if (std::isnan(lastPts_)) firstPictureAt_ = now;
  if (!std::isnan(pts)) {
    videoClock_.Set(pts, now);
    const double external = externalClock_.Get();
    if (std::isnan(external) || std::fabs(external - pts) > 10) externalClock_.Set(pts, now);
    lastPts_ = pts;
  }
  const std::uint8_t* planes[3];
  int pitches[3];
  bool planar = false;
  if (pictures_->Planes(f, planes, pitches, planar))
    canvas.Draw(planes, pitches, QSize(f->width, f->height), planar);
  // The next picture is due when the master reaches the end of this one;
  // a picture behind the master is drawn at once, one ahead waits.
  const double master = MasterClock();
  if (std::isnan(pts) || std::isnan(master)) return duration;
  return std::clamp(pts + duration - master, 0.0, 10.0);
}

void MediaPlayer::TogglePause() {
  if (state_ == kPaused) {
    audioClock_.SetPaused(false);
    videoClock_.SetPaused(false);
    externalClock_.SetPaused(false);
    if (audio_) audio_->Pause(false);
    if (loop_) loop_->SetPaused(false);
    state_ = kPlaying;
  } else if (state_ == kPlaying) {
    if (loop_) loop_->SetPaused(true);
    if (audio_) audio_->Pause(true);
    audioClock_.SetPaused(true);
    videoClock_.SetPaused(true);
    externalClock_.SetPaused(true);
    state_ = kPaused;
  }
}

void MediaPlayer::SeekToFraction(double fraction) { SeekTo(std::clamp(fraction, 0.0, 1.0) * duration_); }

void MediaPlayer::SeekTo(double seconds) {
  if (state_ != kPlaying && state_ != kPaused) return;
  const double target = std::clamp(seconds, 0.0, duration_);
  const int index = videoIndex_ >= 0 && pictures_ ? videoIndex_ : audioIndex_;
  const AVRational tb = input_->streams[index]->time_base;
  const auto ts = static_cast<std::int64_t>(target / av_q2d(tb));
  if (audio_) audio_->SetSeeking(true);
  {
    std::lock_guard<std::mutex> l(demuxLock_);
    if (av_seek_frame(input_.get(), index, ts, AVSEEK_FLAG_BACKWARD) < 0)
      LOG(ERROR) << "seek to " << target << " s failed: " << path_;
    // A new serial each: the decoders flush themselves at its first packet.
    videoQueue_.Flush();
    audioQueue_.Flush();
    skipUntil_ = target;
    skipSerial_ = videoQueue_.Serial();
    if (audio_) audio_->SkipUntil(audioQueue_.Serial(), target);
  }
  audioClock_.Set(target);
  videoClock_.Set(target);
  externalClock_.Set(target);
  if (audio_) audio_->SetSeeking(false);
  if (loop_) loop_->Refresh();
}

void MediaPlayer::SetVolume(int volume) {
  volume_ = std::clamp(volume, 0, SDL_MIX_MAXVOLUME);
  if (audio_) audio_->SetVolume(volume_);
}

double MediaPlayer::Position() const {
  const double p = pictures_ ? videoClock_.Get() : audioClock_.Get();
  if (std::isnan(p)) return 0;
  return std::clamp(p, 0.0, duration_);
}

void MediaPlayer::Close() {
  const int state = state_.load();
  if (state != kPlaying && state != kPaused) return;
  state_ = kStopped;
  stop_.Stop();
  if (audio_) audio_->Close();
  if (loop_) loop_->Stop();
  if (reader_.joinable()) reader_.join();
  videoQueue_.Flush();
  audioQueue_.Flush();
  loop_.reset();
  audio_.reset();
  pictures_.reset();
  input_.reset();
}

}  // namespace kal
