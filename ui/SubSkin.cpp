#include "ui/SubSkin.h"

#include <QFile>
#include <QUiLoader>
#include <QWidget>

#include <stdexcept>

#include "platform/UserPaths.h"

namespace kal::ui {

QString SubSkinFolder() { return QString::fromStdString(platform::ExecutableFolder()) + "/skin"; }

QWidget* LoadSubSkin(const QString& file, QWidget* parent) {
  QFile f(SubSkinFolder() + "/" + file);
  if (!f.open(QFile::ReadOnly)) throw std::runtime_error("no skin " + file.toStdString());
  QUiLoader loader;
  QWidget* root = loader.load(&f, parent);
  if (!root) throw std::runtime_error("unreadable skin " + file.toStdString());
  return root;
}

}  // namespace kal::ui
