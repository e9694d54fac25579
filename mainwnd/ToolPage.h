#pragma once
// The cut, convert and compress pages. Each names its controls now; what
// the pages do (the transcoder jobs and the preview player) comes from
// tools/ behind this interface.

#include "mainwnd/Controller.h"

namespace kal {

class ToolPage : public Controller {
 public:
  ToolPage(const char* name, ui::ControlList controls) : name_(name), controls_(controls) {}
  ui::ControlList Controls() const override { return controls_; }
  const char* Name() const { return name_; }
  // The page is left for another: its preview player stops first.
  virtual void Leave() {}

 private:
  const char* name_;
  ui::ControlList controls_;
};

// The open-file dialog's filter for the videos the pages take, in either
// case of their extensions.
inline constexpr const char* kVideoFileFilter =
    "视频格式(*.mp4 *.flv *.wmv *.avi *.mov *.mkv *.3gp *.MP4 *.FLV *.WMV *.AVI *.MOV *.MKV *.3GP)";

// The three pages' controls.
extern const ui::ControlList kCutPageControls;
extern const ui::ControlList kConvertPageControls;
extern const ui::ControlList kCompressPageControls;

}  // namespace kal
