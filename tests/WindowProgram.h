#pragma once
// Where the window program and the accessibility helper are, for tests that
// drive the program from outside (kal_test(... RUNS KalRecorder)).

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

#include "Subprocess.h"
#include "TempDir.h"

namespace kaltest {

inline const std::string kProgram = std::string(KAL_BIN_DIR) + "/KalRecorder";
// Finds and clicks controls by role and text (tests/harness/a11y.py).
inline const std::string kA11yScript = std::string(KAL_SOURCE_DIR) + "/tests/harness/a11y.py";
// The same as a shell command aimed at the program: append "VERB ROLE TEXT".
inline const std::string kA11y = "/usr/bin/python3 " + kA11yScript + " KalRecorder";

using namespace std::chrono_literals;

// The desktop's opener (xdg-open), replaced by one that notes what it was
// asked to open. Start the program with Env() among its settings.
class FakeOpener {
 public:
  FakeOpener() {
    WriteFile(bin_ / "xdg-open", "#!/bin/sh\necho \"$@\" >>'" + (bin_ / "opened") + "'\n");
    std::filesystem::permissions(bin_ / "xdg-open", std::filesystem::perms::owner_all);
  }
  std::string Env() const { return "PATH=" + bin_.path() + ":" + std::getenv("PATH"); }
  // Every line it was called with, after waiting up to 5 s for `expected`.
  std::string Opened(const std::string& expected = "") const {
    for (int i = 0; i < 50 && ReadFile(bin_ / "opened").find(expected) == std::string::npos; ++i)
      std::this_thread::sleep_for(100ms);
    return ReadFile(bin_ / "opened");
  }

 private:
  TempDir bin_;
};

// The program on `display` (empty: the session's), with `env` settings.
class Program {
 public:
  // `scale`: Qt's scale factor set in `env`, by which the accessibility
  // bus reports control places smaller than the screen's pixels.
  explicit Program(const std::string& display = "", const std::string& env = "", int scale = 1)
      : prefix_(display.empty() ? "" : "DISPLAY=" + display + " "),
        scale_(scale),
        process_({"sh", "-c", "exec env " + prefix_ + env + " " + kProgram},
                 Quiet()) {
    for (int i = 0; i < 60 && Shell("xdotool search --name '^KAL屏幕录制$'").empty(); ++i)
      std::this_thread::sleep_for(100ms);
    std::this_thread::sleep_for(700ms);
  }
  std::string Shell(const std::string& command) const {
    return Output(prefix_.empty() ? command : "export " + prefix_ + "; " + command);
  }
  std::string A11y(const std::string& verb, const std::string& role, const std::string& name) {
    if (verb == "click" && scale_ != 1) {
      std::istringstream at(A11y("find", role, name));
      int x = 0, y = 0, w = 0, h = 0;
      at >> x >> y >> w >> h;
      Xdo("mousemove --sync " + std::to_string((x + w / 2) * scale_) + " " +
          std::to_string((y + h / 2) * scale_) + " click 1");
      return {};
    }
    return Shell(kA11y + " " + verb + " '" + role + "' '" + name + "'");
  }
  void Xdo(const std::string& args) const { Shell("xdotool " + args); }
  // Waits for the program to end: its exit code, -1 when a signal ended it.
  int Wait() { return process_.Wait(); }
  // A control's rectangle on the screen, in the screen's pixels; false when
  // it is not there.
  bool Find(const std::string& role, const std::string& name, int& x, int& y, int& w, int& h) {
    std::istringstream at(Shell(kA11y + " find '" + role + "' '" + name + "'"));
    if (!(at >> x >> y >> w >> h)) return false;
    x *= scale_, y *= scale_, w *= scale_, h *= scale_;
    return true;
  }
  // A drag with the left button through the points given.
  void Drag(std::initializer_list<std::pair<int, int>> points) const {
    std::string args;
    bool first = true;
    for (const auto& [x, y] : points) {
      args += "mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " ";
      if (first) args += "mousedown 1 ";
      first = false;
    }
    Xdo(args + "mouseup 1");
    std::this_thread::sleep_for(300ms);
  }
  // Types `path` into the open-file dialog titled `title` and takes it.
  // xdotool may drop characters outside ASCII on a loaded machine: keep
  // them out of `path`.
  void ChooseFile(const std::string& title, const std::string& path) {
    const std::string shown = "xdotool search --onlyvisible --name '" + title + "'";
    for (int i = 0; i < 100 && Shell(shown).empty(); ++i) std::this_thread::sleep_for(100ms);
    std::this_thread::sleep_for(1500ms);  // its folder view filled and its name edit focused
    Xdo("type --delay 10 '" + path + "'");
    // The first Return may only take the completer's offer.
    std::this_thread::sleep_for(300ms);
    for (int i = 0; i < 3; ++i) {
      Xdo("key Return");
      std::this_thread::sleep_for(500ms);
      if (Shell(shown).empty()) break;
    }
  }
  // Whether a control of `role` reads `text`, waiting up to 10 s for it to
  // appear; with `gone`, whether it still does after waiting as long for it
  // to go.
  bool Shows(const std::string& role, const std::string& text, bool gone = false) {
    if (!gone) {
      int x, y, w, h;
      return Find(role, text, x, y, w, h);
    }
    for (int i = 0; i < 50; ++i) {
      const std::string names = "\n" + Names(role);
      if (names.find("\n" + text + "\n") == std::string::npos) return false;
      std::this_thread::sleep_for(200ms);
    }
    return true;
  }
  // "ROLE<tab>TEXT<tab>DESCRIPTION" of the control with the focus.
  std::string Focus() { return Shell(kA11y + " focus"); }
  std::string Names(const std::string& role) { return Shell(kA11y + " names '" + role + "'"); }
  // The centre of every control of `role` in the window titled `window`, by
  // its text, in the screen's pixels (one look at the bus for them all).
  std::map<std::string, std::pair<int, int>> Centres(const std::string& role,
                                                     const std::string& window) {
    std::map<std::string, std::pair<int, int>> centres;
    std::istringstream lines(Shell(kA11y + " places '" + role + "' '" + window + "'"));
    std::string line;
    while (std::getline(lines, line)) {
      const size_t tab = line.find('\t');
      if (tab == std::string::npos) continue;
      std::istringstream at(line.substr(tab + 1));
      int x = 0, y = 0, w = 0, h = 0;
      if (at >> x >> y >> w >> h)
        centres[line.substr(0, tab)] = {(x + w / 2) * scale_, (y + h / 2) * scale_};
    }
    return centres;
  }
  // Presses `keys` (xdotool's names) one after another.
  void Keys(const std::string& keys) {
    Xdo("key --delay 120 " + keys);
    std::this_thread::sleep_for(300ms);
  }
  void OpenSelection() {
    A11y("click", "push button", "选择区域");
    std::this_thread::sleep_for(1200ms);
  }
  void DoubleClickAt(int x, int y) {
    // No --sync: the pointer may be there already (the wait would be long).
    Xdo("mousemove " + std::to_string(x) + " " + std::to_string(y) +
        " click --repeat 2 --delay 60 1");
    std::this_thread::sleep_for(800ms);
  }

 private:
  std::string prefix_;
  int scale_;
  Subprocess process_;
};

}  // namespace kaltest
