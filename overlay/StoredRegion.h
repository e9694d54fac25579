#pragma once
// The recorded region as configure.ini keeps it (section "global"), written
// by the frame, its toolbar and the region selection alike.

#include <QRect>

#include "config/ConfigKeys.h"

namespace kal {

inline void StoreRegion(const QRect& region) {
  cfg::Write(cfg::kRegionOffsetX, region.x());
  cfg::Write(cfg::kRegionOffsetY, region.y());
  cfg::Write(cfg::kRegionWidth, region.width());
  cfg::Write(cfg::kRegionHeight, region.height());
}

}  // namespace kal
