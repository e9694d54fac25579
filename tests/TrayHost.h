#pragma once
// A real tray host (trayer) at the bottom-right corner, where the program's
// icon is the only one: its place on the screen, and its menu's items.

#include <chrono>
#include <sstream>
#include <string>
#include <thread>

#include "Subprocess.h"
#include "WindowProgram.h"

namespace kaltest {

struct Box {
  int x = 0, y = 0, w = 0, h = 0;
};

inline Box Geometry(const std::string& command) {
  std::istringstream in(Output(command));
  Box b;
  in >> b.x >> b.y >> b.w >> b.h;
  return b;
}

class TrayHost {
 public:
  TrayHost()
      : trayer_({"trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request", "--height", "32"},
                Quiet()) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  // The panel, once the icon sits in it (within about 5 s).
  Box Panel() const {
    Box panel;
    for (int i = 0; i < 50 && panel.w < 20; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      panel = Geometry("for w in $(xdotool search --name '^panel$'); do "
                       "eval $(xdotool getwindowgeometry --shell $w); echo $X $Y $WIDTH $HEIGHT; done");
    }
    return panel;
  }
  // Opens the icon's menu.
  void OpenMenu() const {
    const Box p = Panel();
    Run("xdotool mousemove --sync " + std::to_string(p.x + p.w / 2) + " " + std::to_string(p.y + p.h / 2) +
        " click 3");
  }
  // Opens the menu and clicks `item`; false when it is not there.
  bool Choose(const std::string& item) const {
    OpenMenu();
    return Run(kA11y + " click 'push button' '" + item + "' MenuWnd");
  }

 private:
  Subprocess trayer_;
};

}  // namespace kaltest
