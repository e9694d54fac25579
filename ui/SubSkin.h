#pragma once
// Skins built while the program runs: a row of a list, a menu, a dialog's
// body. A sub-skin is a Qt Designer layout in the skin folder, as a
// window's own skin is.

#include <QString>

class QWidget;

namespace kal::ui {

// "skin" beside the executable.
QString SubSkinFolder();

// Builds `file` of the skin folder as a child of `parent`. Throws
// std::runtime_error naming the file when it is missing or unreadable.
QWidget* LoadSubSkin(const QString& file, QWidget* parent);

}  // namespace kal::ui
