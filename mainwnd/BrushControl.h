#pragma once
// Drawing on the screen: "brushBtn" opens the canvas, the screen-brush key
// opens it or closes the one that is open. There is never more than one.

#include <memory>

#include "mainwnd/Controller.h"

namespace kal {

class CScreenMask;

class BrushControl : public Controller {
 public:
  static constexpr const char* kBrush = "brushBtn";

  BrushControl();
  ~BrushControl() override;
  ui::ControlList Controls() const override;
  bool Notify(const ui::TNotifyUI& msg) override;
  bool Handle(ui::Message& msg) override;

 private:
  void Open();
  std::unique_ptr<CScreenMask> canvas_;
};

}  // namespace kal
