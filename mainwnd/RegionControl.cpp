#include "mainwnd/RegionControl.h"

#include <QAbstractButton>
#include <QTimer>

#include <glog/logging.h>

#include "config/ConfigKeys.h"
#include "overlay/ToolWindow.h"
#include "overlay/UserDefineRegion.h"
#include "overlay/VideoMask.h"
#include "ui/SettingBinding.h"

namespace kal {
namespace {

constexpr const char* kControls[] = {RegionControl::kCheck, RegionControl::kSelect};
// Long enough for the main window to leave the screen and the windows under
// it to repaint before the screen is frozen for the selection.
constexpr int kSelectionDelayMs = 300;

}  // namespace

RegionControl::RegionControl(MainHost& host) : host_(host) {}
RegionControl::~RegionControl() {
  if (selection_) delete selection_.data();
}

ui::ControlList RegionControl::Controls() const { return kControls; }

void RegionControl::Init() {
  mask_ = std::make_unique<CVideoMask>();
  mask_->Create();
  mask_->OnClosed([this] { host_.Control<QAbstractButton>(kCheck)->setChecked(false); });
}

bool RegionControl::Notify(const ui::TNotifyUI& msg) {
  if (msg.senderName == kCheck && msg.type == "selectchanged") {
    Switch(msg.value != 0, false);
    return true;
  }
  if (msg.senderName == kSelect && msg.type == "click") {
    ui::PostTo(ui::WindowRole::kMain, WMU_SELECT_REGION);
    return true;
  }
  return false;
}

bool RegionControl::Handle(ui::Message& msg) {
  switch (msg.id) {
    case WMU_SELECT_REGION:
      OpenSelection();
      return true;
    case WMU_REGION_CHOSEN: {
      host_.ShowMain();
      auto* check = host_.Control<QAbstractButton>(kCheck);
      if (msg.wParam != 0 && !check->isChecked()) {
        check->setChecked(true);  // switches on with the stored region
      } else if (check->isChecked()) {
        Switch(true, msg.wParam != 0);
      }
      return true;
    }
    default:
      return false;
  }
}

void RegionControl::Switch(bool on, bool reload) {
  // Through the window layer, so the settings dialog shows it at once.
  ui::WriteSetting(cfg::kUserDefinedRegionCheck, on ? 1 : 0);
  if (!on) {
    mask_->HideAll();
    return;
  }
  ui::WriteSetting(cfg::kMouseFollowCheck, 0);
  // A region stored by the selection replaces the frame shown before.
  mask_->Load(reload || !mask_->isVisible());
  mask_->show();
  mask_->ShowToolbar();
}

void RegionControl::SwitchTo(bool on) {
  auto* check = host_.Control<QAbstractButton>(kCheck);
  if (!check->isEnabled()) return;
  if (check->isChecked() != on) check->setChecked(on);  // its notification switches
  else if (on) Switch(true, false);
}

void RegionControl::OpenSelection() {
  if (selection_ || !host_.Control(kSelect)->isEnabled()) return;
  // Neither the main window nor the frame belongs in the frozen picture.
  host_.Window()->hide();
  mask_->HideAll();
  QTimer::singleShot(kSelectionDelayMs, host_.Window(), [this] {
    selection_ = new CUserDefineRegion();
    if (!selection_->TryCreate() || !selection_->Open()) {
      delete selection_.data();
      ui::PostTo(ui::WindowRole::kMain, WMU_REGION_CHOSEN, 0);
    }
  });
}

bool RegionControl::Active() const { return mask_ && mask_->isVisible(); }

QRect RegionControl::FrameOnScreen() const {
  return Active() ? mask_->Pixels().ToLogical(mask_->Frame()) : QRect();
}

QRect RegionControl::ToolbarOnScreen() const {
  return Active() ? mask_->Pixels().ToLogical(mask_->ToolbarRect()) : QRect();
}

void RegionControl::Lock(bool locked) {
  host_.Control(kCheck)->setEnabled(!locked);
  host_.Control(kSelect)->setEnabled(!locked);
  if (locked) mask_->SetEditable(false);
  else ui::PostTo(ui::WindowRole::kRegionFrame, WMU_RECORD_STOP);
}

}  // namespace kal
