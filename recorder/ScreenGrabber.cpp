#include "recorder/ScreenGrabber.h"

#include <algorithm>
#include <cstring>

#include <glog/logging.h>

namespace kal {
namespace {

Rect Intersect(const Rect& a, const Rect& b) {
  const int left = std::max(a.x, b.x);
  const int top = std::max(a.y, b.y);
  const int right = std::min(a.x + a.width, b.x + b.width);
  const int bottom = std::min(a.y + a.height, b.y + b.height);
  if (right <= left || bottom <= top) return {};
  return {left, top, right - left, bottom - top};
}

}  // namespace

bool ScreenGrabber::Setup(int x, int y, int width, int height) {
  Release();
  screen_ = std::make_unique<platform::X11Screen>();
  if (!screen_->Open()) {
    LOG(ERROR) << "screen grabber: " << screen_->Error();
    return false;
  }
  x_ = x;
  y_ = y;
  width_ = width;
  height_ = height;
  if (!screen_->WatchChanges()) LOG(INFO) << "screen grabber: no XDamage, every picture is grabbed";
  const platform::ScreenSize size = screen_->Size();
  screenWidth_ = size.width;
  screenHeight_ = size.height;
  format_.bitsPerPixel = screen_->BitsPerPixel();
  screen_->PixelMasks(format_.redMask, format_.greenMask, format_.blueMask);
  if (!CanConvert(format_)) {
    LOG(ERROR) << "screen grabber: unsupported pixel format, " << format_.bitsPerPixel
               << " bits per pixel";
    return false;
  }
  if (format_.bitsPerPixel != 32)
    LOG(INFO) << "screen grabber: " << format_.bitsPerPixel << " bits per pixel, converted";
  prepared_ = {};
  rowBytes_ = width * 4;
  pictureBytes_ = rowBytes_ * height;
  shared_ = std::make_unique<platform::X11SharedPictures>(*screen_, width, height);
  if (!shared_->Usable()) {
    LOG(INFO) << "screen grabber: no shared pictures, each grab is copied";
    shared_.reset();
  }
  // Prepared now, so that a rectangle that cannot be grabbed fails the start.
  const Rect seen = Intersect({x, y, width, height}, {0, 0, screenWidth_, screenHeight_});
  if (seen.width > 0 && !shared_) {
    if (!screen_->PrepareGrab(seen.width, seen.height)) {
      LOG(ERROR) << "screen grabber: " << screen_->Error();
      return false;
    }
    prepared_ = seen;
  }
  pool_.reset(av_buffer_pool_init(static_cast<size_t>(pictureBytes_) + AV_INPUT_BUFFER_PADDING_SIZE,
                                  av_buffer_allocz));
  return pool_ != nullptr;
}

void ScreenGrabber::Release() {
  GiveBackShot();
  shared_.reset();  // pictures still in packets are freed when those go
  pool_.reset();
  screen_.reset();
  converted_.clear();
  converted_.shrink_to_fit();
}

void ScreenGrabber::GiveBackShot() {
  if (shot_.token) platform::X11SharedPictures::GiveBack(shot_.token);
  shot_ = {};
}

bool ScreenGrabber::Grab() {
  GiveBackShot();
  const Rect want{x_, y_, width_, height_};
  const Rect seen = Intersect(want, {0, 0, screenWidth_, screenHeight_});
  direct_ = format_.bitsPerPixel == 32 && seen == want;
  // A shared picture that cannot be had (the system's shared-memory limit)
  // costs a copy, not the picture.
  if (direct_ && shared_ && shared_->Grab(x_, y_, shot_)) return true;
  if (!direct_) {
    converted_.resize(static_cast<size_t>(pictureBytes_));
    if (!(seen == want)) std::fill(converted_.begin(), converted_.end(), 0);
    if (seen.width == 0) return true;  // nothing of it on the screen: black
  }
  if (seen.width != prepared_.width || seen.height != prepared_.height) {
    if (!screen_->PrepareGrab(seen.width, seen.height)) {
      LOG(ERROR) << "screen grabber: " << screen_->Error();
      prepared_ = {};
      return false;
    }
  }
  prepared_ = seen;
  if (!screen_->Grab(seen.x, seen.y)) return false;
  if (!direct_) {
    std::uint8_t* to = converted_.data() + static_cast<size_t>(seen.y - y_) * rowBytes_ +
                       static_cast<size_t>(seen.x - x_) * 4;
    ConvertToBgrx(screen_->Pixels(), screen_->BytesPerLine(), format_, seen.width, seen.height,
                  to, rowBytes_);
  }
  return true;
}

std::uint8_t* ScreenGrabber::Pixels() {
  if (shot_.data) return shot_.data;
  return direct_ ? screen_->Pixels() : converted_.data();
}

int ScreenGrabber::Stride() const {
  if (shot_.data) return shot_.bytesPerLine;
  return direct_ ? screen_->BytesPerLine() : rowBytes_;
}

bool ScreenGrabber::Refit() {
  if (!screen_) return false;
  const platform::ScreenSize now = screen_->CurrentSize();
  if (now.width <= 0 || (now.width == screenWidth_ && now.height == screenHeight_)) return false;
  LOG(ERROR) << "the screen is now " << now.width << "x" << now.height << ", was "
             << screenWidth_ << "x" << screenHeight_;
  screenWidth_ = now.width;
  screenHeight_ = now.height;
  prepared_ = {};  // grabbed anew at the next picture
  return true;
}

namespace {

void GiveBackShared(void* token, std::uint8_t*) { platform::X11SharedPictures::GiveBack(token); }

}  // namespace

bool ScreenGrabber::BuildPacket(AVPacket* packet) {
  av_packet_unref(packet);
  AVBufferRef* buf = nullptr;
  if (shot_.token && shot_.bytesPerLine == rowBytes_) {
    buf = av_buffer_create(shot_.data, static_cast<size_t>(pictureBytes_),
                                        GiveBackShared, shot_.token, 0);
    if (!buf) return false;  // the shot goes back at the next grab
    shot_ = {};
  } else {
    AVBufferRef* copy = av_buffer_pool_get(pool_.get());
    if (!copy) return false;
    const std::uint8_t* src = Pixels();
    const int stride = Stride();
    const int bytes = std::min(rowBytes_, stride);
    for (int row = 0; row < height_; ++row) {
      std::memcpy(copy->data + static_cast<size_t>(row) * rowBytes_,
                  src + static_cast<size_t>(row) * stride, bytes);
    }
    buf = copy;
  }
  packet->buf = buf;
  packet->data = buf->data;
  packet->size = pictureBytes_;
  return true;
}

CodecContextPtr ScreenGrabber::MakeDecoder(int width, int height, int frameRate) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_RAWVIDEO);
  if (!codec) {
    LOG(ERROR) << "not found video decoder";
    return nullptr;
  }
  CodecContextPtr c(avcodec_alloc_context3(codec));
  if (!c) return nullptr;
  c->width = width;
  c->height = height;
  c->pix_fmt = AV_PIX_FMT_BGR0;
  c->codec_type = AVMEDIA_TYPE_VIDEO;
  c->time_base = AVRational{1, frameRate};
  c->bit_rate = static_cast<std::int64_t>(static_cast<double>(width) * height * 4 * frameRate * 8);
  if (avcodec_open2(c.get(), codec, nullptr) < 0) {
    LOG(ERROR) << "not open video decoder";
    return nullptr;
  }
  return c;
}

}  // namespace kal
