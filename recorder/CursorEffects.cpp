#include "recorder/CursorEffects.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

#include "recorder/ClickFlags.h"

namespace kal {

constexpr int kHighlightAlpha = 60;
constexpr qreal kRipplePenWidth = 2.0;

int CursorEffects::RippleGrowth(int fps) {
  if (fps >= 20) return 2;
  if (fps == 10) return 6;
  if (fps == 12 || fps == 15) return 4;
  return 0;
}

void CursorEffects::Draw(std::uint8_t* pixels, int width, int height, int stride, int px, int py,
                         const platform::CursorImage& cursor) {
  if (!AnyEffect() || px < 0 || px > width || py < 0 || py > height) return;
  // Wraps the buffer without copying; QPainter only touches what it draws.
  QImage picture(pixels, width, height, stride, QImage::Format_RGB32);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing, true);

  if (s_.highlight) {
    const Rgb& c = s_.highlightColor;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(c.r, c.g, c.b, kHighlightAlpha));
    painter.drawEllipse(QRectF(px - s_.highlightHalfWidth, py - s_.highlightHalfHeight,
                               s_.highlightWidth, s_.highlightHeight));
  }

  if (s_.ripples) {
    if (leftClickSeen.exchange(false)) {
      ripples_.push_back(ClickRipple{false, 0, px, py, px, py, 0, 0, 0, 0});
    }
    if (rightClickSeen.exchange(false)) {
      ripples_.push_back(ClickRipple{false, 1, px, py, px, py, 0, 0, 0, 0});
    }
    const int growth = RippleGrowth(s_.frameRate);
    const int quarter = s_.frameRate / 4;
    // Below 4 frames/s the fade quarter is 0: the ripple is drawn opaque.
    const int alphaStep = quarter > 0 ? 255 / quarter : 255;
    painter.setBrush(Qt::NoBrush);
    for (auto it = ripples_.begin(); it != ripples_.end();) {
      if (it->done) {
        it = ripples_.erase(it);
        continue;
      }
      ClickRipple& r = *it;
      r.alpha = r.steps < quarter ? std::min(r.alpha + alphaStep, 255)
                                  : std::max(r.alpha - alphaStep, 0);
      const Rgb& c = r.button == 0 ? s_.leftColor : s_.rightColor;
      painter.setPen(QPen(QColor(c.r, c.g, c.b, r.alpha), kRipplePenWidth));
      painter.drawEllipse(QRectF(r.left, r.top, r.width, r.height));
      r.width += growth;
      r.height += growth;
      r.steps += 1;
      r.left -= growth / 2;
      r.top -= growth / 2;
      if (r.steps >= std::max(s_.frameRate / 2, 1)) r.done = true;
      ++it;
    }
  }

  if (s_.drawCursor && cursor.width > 0 && cursor.height > 0 && !cursor.pixels.empty()) {
    const QImage icon(reinterpret_cast<const uchar*>(cursor.pixels.data()), cursor.width,
                      cursor.height, cursor.width * 4, QImage::Format_ARGB32_Premultiplied);
    painter.drawImage(QPoint(px - cursor.xhot, py - cursor.yhot), icon);
  }
}

}  // namespace kal
