#pragma once
// Elapsed recording time as every window shows it: "%02d:%02d:%02d", hours
// growing past two digits (100 h shows 100:00:00).

#include <QString>

namespace kal::ui {

inline QString ElapsedText(long long seconds) {
  return QString::asprintf("%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                           seconds % 60);
}

}  // namespace kal::ui
