#include "recorder/ScreenGrabber.h"

#include <cstring>

#include <glog/logging.h>

namespace kal {
namespace {

void Put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
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
  bitsPerPixel_ = screen_->BitsPerPixel();
  if (bitsPerPixel_ != 32) {
    // Every TrueColor desktop of depth 24 or 32 uses 32-bit pixels; the
    // effects and the packet layout rely on it.
    LOG(ERROR) << "screen grabber: unsupported bits per pixel " << bitsPerPixel_;
    return false;
  }
  if (!screen_->PrepareGrab(width, height)) {
    LOG(ERROR) << "screen grabber: " << screen_->Error();
    return false;
  }
  rowBytes_ = ((width * bitsPerPixel_ + 31) / 32) * 4;
  pictureBytes_ = rowBytes_ * height;
  headerBytes_ = 54 + (bitsPerPixel_ <= 8 ? 4 * (1 << bitsPerPixel_) : 0);

  std::memset(infoHeader_, 0, sizeof infoHeader_);
  Put32(infoHeader_ + 0, 40);
  Put32(infoHeader_ + 4, static_cast<std::uint32_t>(width));
  Put32(infoHeader_ + 8, static_cast<std::uint32_t>(height));  // positive: bottom-up rows
  Put16(infoHeader_ + 12, 1);
  Put16(infoHeader_ + 14, static_cast<std::uint32_t>(bitsPerPixel_));
  // compression BI_RGB (0) and the remaining fields stay 0

  pool_.reset(av_buffer_pool_init(
      static_cast<size_t>(headerBytes_ + pictureBytes_) + AV_INPUT_BUFFER_PADDING_SIZE,
      av_buffer_allocz));
  return pool_ != nullptr;
}

void ScreenGrabber::Release() {
  pool_.reset();  // buffers still in packets are freed when those go
  screen_.reset();
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
  const std::uint8_t* src = screen_->Pixels();
  const int stride = screen_->BytesPerLine();
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

}  // namespace kal
