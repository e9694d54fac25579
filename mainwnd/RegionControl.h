#pragma once
// Region recording on the record page: the "区域录制" switch shows or hides
// the red frame with its toolbar, and "选择区域" opens the region selection
// (WMU_SELECT_REGION), whose choice switches region recording on. While a
// recording runs the region is locked.

#include <QPointer>
#include <QRect>

#include <memory>

#include "mainwnd/Controller.h"

namespace kal {

class CVideoMask;
class CUserDefineRegion;

class RegionControl : public Controller {
 public:
  static constexpr const char* kCheck = "recordRegionCheck";
  static constexpr const char* kSelect = "recordSelectRegionBtn";

  explicit RegionControl(MainHost& host);
  ~RegionControl() override;
  ui::ControlList Controls() const override;
  void Init() override;
  bool Notify(const ui::TNotifyUI& msg) override;
  bool Handle(ui::Message& msg) override;

  // For the recording: whether the region is recorded, and its frame and
  // toolbar (logical pixels; empty when not shown), which the pause box
  // keeps clear of.
  bool Active() const;
  QRect FrameOnScreen() const;
  QRect ToolbarOnScreen() const;
  // As the switch does: shows or hides the frame with its toolbar; nothing
  // while the region is locked.
  void SwitchTo(bool on);
  // Locked while recording; unlocking tells the frame the recording ended.
  void Lock(bool locked);

 private:
  void Switch(bool on, bool reload);
  void OpenSelection();
  MainHost& host_;
  std::unique_ptr<CVideoMask> mask_;
  QPointer<CUserDefineRegion> selection_;
};

}  // namespace kal
