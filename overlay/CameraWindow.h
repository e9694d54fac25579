#pragma once
// CCameraWindow: a small always-on-top window showing the live camera, so
// a screen recording takes the speaker's picture in. A 28-pixel band with
// "camera-close" above a 230 x 160 picture, at the screen's top right.
// Without a camera it says so and still closes normally; a camera that goes
// away leaves its last picture and says so.

#include <memory>
#include <string>

#include "ui/WindowImplBase.h"

namespace kal {

class CVideoArea;
class CameraPreview;

class CCameraWindow : public ui::WindowImplBase {
  Q_OBJECT
 public:
  static constexpr int kWidth = 230, kHeight = 188, kBand = 28;
  static constexpr const char* kClose = "camera-close";
  static constexpr const char* kTitle = "camera-title";
  static constexpr const char* kStatus = "camera-status";
  static constexpr const char* kControls[] = {kClose, kTitle, kStatus};
  static constexpr ui::ControlList kLists[] = {kControls};
  static constexpr ui::SkinSpec kSkin{"CCameraWindow", "CameraWindow.xml", kLists};

  CCameraWindow();
  ~CCameraWindow() override;
  const ui::SkinSpec* Skin() const override { return &kSkin; }
  // Any FFmpeg input instead of the first camera, for tests.
  static void SetInputForTesting(const std::string& format, const std::string& url);
  // Opens the window at its place, showing the camera. UI thread.
  static CCameraWindow* Open();

 protected:
  QString ClassName() const override { return kSkin.className; }
  void InitWindow() override;
  void Notify(const ui::TNotifyUI& msg) override;
  void HandleCustomMessage(ui::Message& msg, bool& handled) override;

 private:
  void StopCamera();
  CVideoArea* area_ = nullptr;
  std::unique_ptr<CameraPreview> preview_;
};

}  // namespace kal
