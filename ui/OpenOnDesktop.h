#pragma once
// Opens a web address, file or folder with the desktop's own program. When
// that cannot be done (xdg-open missing, say), the record page says so,
// naming `what` the user asked for, instead of nothing happening.

#include <QString>

#include <string>

namespace kal::ui {

// True when the opener was started. UI thread.
bool OpenOnDesktop(const std::string& urlOrPath, const QString& what);

}  // namespace kal::ui
