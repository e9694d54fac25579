#include "recorder/ScreenGrabber.h"

#include <algorithm>
#include <cstring>

#include <glog/logging.h>

namespace kal {
namespace {

constexpr int kBmpHeaderBytes = 54;  // file header and info header

void Put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

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
  headerBytes_ = kBmpHeaderBytes;

  std::memset(infoHeader_, 0, sizeof infoHeader_);
  Put32(infoHeader_ + 0, 40);
  Put32(infoHeader_ + 4, static_cast<std::uint32_t>(width));
  Put32(infoHeader_ + 8, static_cast<std::uint32_t>(height));  // positive: bottom-up rows
  Put16(infoHeader_ + 12, 1);
  Put16(infoHeader_ + 14, 32);
  // compression BI_RGB (0) and the remaining fields stay 0

  // Prepared now, so that a rectangle that cannot be grabbed fails the start.
  const Rect seen = Intersect({x, y, width, height}, {0, 0, screenWidth_, screenHeight_});
  if (seen.width > 0) {
    if (!screen_->PrepareGrab(seen.width, seen.height)) {
      LOG(ERROR) << "screen grabber: " << screen_->Error();
      return false;
    }
    prepared_ = seen;
  }
  pool_.reset(av_buffer_pool_init(
      static_cast<size_t>(headerBytes_ + pictureBytes_) + AV_INPUT_BUFFER_PADDING_SIZE,
      av_buffer_allocz));
  return pool_ != nullptr;
}

void ScreenGrabber::Release() {
  pool_.reset();  // buffers still in packets are freed when those go
  screen_.reset();
  converted_.clear();
  converted_.shrink_to_fit();
}

bool ScreenGrabber::Grab() {
  const Rect want{x_, y_, width_, height_};
  const Rect seen = Intersect(want, {0, 0, screenWidth_, screenHeight_});
  direct_ = format_.bitsPerPixel == 32 && seen == want;
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

std::uint8_t* ScreenGrabber::Pixels() { return direct_ ? screen_->Pixels() : converted_.data(); }

int ScreenGrabber::Stride() const { return direct_ ? screen_->BytesPerLine() : rowBytes_; }

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

bool ScreenGrabber::BuildPacket(AVPacket* packet) {
  AVBufferRef* buf = av_buffer_pool_get(pool_.get());
  if (!buf) return false;
  std::uint8_t* out = buf->data;
  const std::uint32_t total = static_cast<std::uint32_t>(headerBytes_ + pictureBytes_);
  out[0] = 'B';
  out[1] = 'M';
  Put32(out + 2, total);
  Put32(out + 6, 0);
  Put32(out + 10, static_cast<std::uint32_t>(headerBytes_));
  std::memcpy(out + 14, infoHeader_, sizeof infoHeader_);
  // X delivers top-down rows; the bitmap wants them bottom-up.
  const std::uint8_t* src = Pixels();
  const int stride = Stride();
  const int copy = std::min(rowBytes_, stride);
  std::uint8_t* dst = out + headerBytes_;
  for (int row = 0; row < height_; ++row) {
    std::memcpy(dst + static_cast<size_t>(row) * rowBytes_,
                src + static_cast<size_t>(height_ - 1 - row) * stride, copy);
  }
  av_packet_unref(packet);
  packet->buf = buf;
  packet->data = out;
  packet->size = static_cast<int>(total);
  return true;
}

bool ScreenGrabber::WrapPicture(const AVPacket* packet, int width, int height, AVFrame* frame) {
  const std::size_t stride = static_cast<std::size_t>(width) * 4;
  if (!packet->buf || packet->size != kBmpHeaderBytes + static_cast<int>(stride) * height ||
      packet->data[0] != 'B' || packet->data[1] != 'M')
    return false;
  frame->buf[0] = av_buffer_ref(packet->buf);
  if (!frame->buf[0]) return false;
  // Bottom-up rows: the top row is the last one.
  frame->data[0] = packet->data + kBmpHeaderBytes + stride * static_cast<std::size_t>(height - 1);
  frame->linesize[0] = -static_cast<int>(stride);
  frame->format = AV_PIX_FMT_BGR0;
  frame->width = width;
  frame->height = height;
  return true;
}

}  // namespace kal
