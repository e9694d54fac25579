#include "ui/OpenOnDesktop.h"

#include <glog/logging.h>

#include "platform/DesktopOpen.h"
#include "ui/WindowRegistry.h"

namespace kal::ui {

bool OpenOnDesktop(const std::string& urlOrPath, const QString& what) {
  std::string error;
  if (platform::OpenWithDesktop(urlOrPath, error)) return true;
  LOG(ERROR) << "cannot open " << urlOrPath << ": " << error;
  const QString line = QString("无法打开%1：%2").arg(what, QString::fromStdString(error));
  PostTo(WindowRole::kMain, WMU_PAGE_NOTICE, 0, 0, std::make_unique<TextPayload>(line.toStdString()));
  return false;
}

}  // namespace kal::ui
