#include "overlay/CameraWindow.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include <glog/logging.h>

#include "overlay/CameraPreview.h"
#include "overlay/VideoArea.h"

namespace kal {
namespace {

struct TestInput {
  std::string format, url;
};
TestInput& Input() {
  static TestInput input;
  return input;
}

}  // namespace

void CCameraWindow::SetInputForTesting(const std::string& format, const std::string& url) {
  Input() = {format, url};
}

CCameraWindow::CCameraWindow() {
  MakeOverlay({.onTop = true, .takesFocus = false});
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(kWidth, kHeight);
}

CCameraWindow::~CCameraWindow() { StopCamera(); }

CCameraWindow* CCameraWindow::Open() {
  auto* w = new CCameraWindow;
  if (!w->TryCreate()) {
    delete w;
    return nullptr;
  }
  const QScreen* screen = QGuiApplication::primaryScreen();
  const int width = screen ? screen->geometry().width() : 1920;
  w->move(width - 250, 20);
  w->show();
  return w;
}

void CCameraWindow::InitWindow() {
  area_ = new CVideoArea(this);
  area_->Create();
  area_->Place(QRect(0, kBand, kWidth, kHeight - kBand));
  area_->hide();
  preview_ = std::make_unique<CameraPreview>(area_->Host());
  preview_->SetLostCallback([this] { PostMessage(this, WMU_CAMERA_LOST, 0, 0); });
  std::string why;
  if (!preview_->Start(Input().format, Input().url, why)) {
    LOG(ERROR) << "camera preview: " << why;
    preview_.reset();
    FindControl<QLabel>(kStatus)->setText(why == "no camera"            ? "未找到摄像头"
                                          : why == "the camera is busy" ? "摄像头正被其他程序使用"
                                                                        : "无法打开摄像头");
    return;
  }
  FindControl(kStatus)->hide();
  area_->show();
}

void CCameraWindow::StopCamera() {
  if (preview_) preview_->Stop();
  preview_.reset();
}

void CCameraWindow::Notify(const ui::TNotifyUI& msg) {
  if (msg.type == "click" && msg.senderName == kClose) {
    StopCamera();
    close();
  }
  NotifyBase(msg);
}

void CCameraWindow::HandleCustomMessage(ui::Message& msg, bool& handled) {
  if (msg.id != WMU_CAMERA_LOST) return;
  handled = true;
  FindControl<QLabel>(kTitle)->setText("摄像头已断开");
}

}  // namespace kal
