#pragma once
// An X server of the test's own, which it can change or take away: Xvfb, or
// Xorg with the dummy driver where XRandR must add monitors or change the
// screen's size (Xvfb cannot).

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "Subprocess.h"
#include "TempDir.h"

namespace kaltest {

class PrivateX {
 public:
  enum class Kind { kXvfb, kDummy };

  // `depth` and `size` are the Xvfb screen's bits (16 or 24) and pixels;
  // the dummy runs at 24.
  explicit PrivateX(Kind kind, int depth = 24, const std::string& size = "1920x1080") {
    std::string command;
    if (kind == Kind::kXvfb) {
      command = "exec Xvfb -displayfd 3 -screen 0 " + size + "x" + std::to_string(depth) +
                " -noreset -nolisten tcp +extension MIT-SHM";
    } else {
      WriteFile(dir_ / "dummy.conf", kDummyConfig);
      command = "exec Xorg -config " + (dir_ / "dummy.conf") + " -displayfd 3 -noreset -nolisten tcp " +
                "-logfile " + (dir_ / "xorg.log");
    }
    server_ = std::make_unique<Subprocess>(
        std::vector<std::string>{"sh", "-c", command + " 3>" + (dir_ / "display")}, Quiet());
    for (int i = 0; i < 200 && display_.empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      const std::string n = ReadFile(dir_ / "display");
      if (n.find('\n') != std::string::npos) display_ = ":" + n.substr(0, n.find('\n'));
    }
  }
  ~PrivateX() { Kill(); }

  bool Ok() const { return !display_.empty(); }
  const std::string& Display() const { return display_; }
  // Runs a shell command against this display; true when it succeeded.
  bool Run(const std::string& command) const {
    return kaltest::Run("export DISPLAY=" + display_ + "; " + command);
  }
  // The server goes away, as when it crashes or the session ends.
  void Kill() {
    if (!server_) return;
    server_->Signal(SIGKILL);
    server_->Wait();
    server_.reset();
  }

 private:
  static constexpr const char* kDummyConfig = R"(Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1920x1080" 148.50 1920 2008 2052 2200 1080 1084 1089 1125
  Modeline "1280x720" 74.25 1280 1390 1430 1650 720 725 730 750
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "1920x1080" "1280x720"
    Virtual 3840 1080
  EndSubSection
EndSection
)";
  TempDir dir_;
  std::unique_ptr<Subprocess> server_;
  std::string display_;
};

}  // namespace kaltest
