#pragma once
// What the player's tests share: media files made once with ffmpeg (colour
// bars with a 440 Hz tone, sound only, pictures only, 5.5 s, a file that is
// no video), a window with a VideoHost at the screen's top-left corner, and
// a recording of what reaches the test sink's monitor.

#include <QApplication>
#include <QElapsedTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "MediaProbe.h"
#include "Subprocess.h"
#include "TempDir.h"
#include "ui/VideoHost.h"

namespace kaltest {

// How many entries a folder of /proc has (threads, open files).
inline int Entries(const char* folder) {
  int n = 0;
  if (DIR* d = opendir(folder)) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
}

// Runs the event loop for `ms`, or until `done` says so.
inline bool PumpUntil(int ms, const std::function<bool()>& done = {}) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    if (done && done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done && done();
}

// What the test sink plays, as mono float at 16 kHz, from construction to
// Stop().
class MonitorRecording {
 public:
  static constexpr int kRate = 16000;
  explicit MonitorRecording(const std::string& file)
      : file_(file),
        parec_({"parec", "-d", "kal_sink.monitor", "--raw", "--format=float32le", "--channels=1",
                "--rate=16000", file},
               Quiet()) {}
  std::vector<float> Stop() {
    parec_.Stop();
    std::vector<float> s;
    if (FILE* f = std::fopen(file_.c_str(), "rb")) {
      float buf[4096];
      size_t n = 0;
      while ((n = std::fread(buf, sizeof(float), 4096, f)) > 0) s.insert(s.end(), buf, buf + n);
      std::fclose(f);
    }
    return s;
  }

 private:
  std::string file_;
  Subprocess parec_;
};

class PlayerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    const std::string d = dir_->path() + "/";
    const std::string ff = "ffmpeg -y -loglevel error ";
    ASSERT_TRUE(kaltest::Run(ff + "-f lavfi -i smptebars=size=320x240:rate=25:duration=5 -f lavfi -i "
                         "sine=frequency=440:sample_rate=48000:duration=5 -ac 2 -c:v libx264 "
                         "-pix_fmt yuv420p -c:a aac " + d + "bars.mp4"));
    ASSERT_TRUE(kaltest::Run(ff + "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=3 -ac 2 "
                         "-c:a aac " + d + "sound.m4a"));
    ASSERT_TRUE(kaltest::Run(ff + "-f lavfi -i smptebars=size=320x240:rate=25:duration=3 -c:v libx264 "
                         "-pix_fmt yuv420p " + d + "pictures.mp4"));
    ASSERT_TRUE(kaltest::Run(ff + "-f lavfi -i testsrc=size=320x240:rate=20:duration=5.5 -f lavfi -i "
                         "sine=frequency=440:sample_rate=44100:duration=5.5 -c:v libx264 "
                         "-pix_fmt yuv420p -c:a aac " + d + "long.mp4"));
    // A flash of three pictures and a beep together at 0.6 s, 1.6 s, ... 5.6 s.
    for (const auto& [name, rate, channels] : {std::tuple{"flash48.mp4", 48000, 2},
                                                std::tuple{"flash16.mp4", 16000, 1}}) {
      const std::string beep = "if(lt(mod(t+0.4,1),0.1),0.5*sin(2*PI*1000*t),0)";
      ASSERT_TRUE(kaltest::Run(
          ff + "-f lavfi -i \"color=c=black:s=320x240:r=25:d=6,format=yuv420p,"
               "geq=lum='if(lt(mod(T+0.401,1),0.12),235,16)':cb=128:cr=128\" "
               "-f lavfi -i \"aevalsrc='" + beep + (channels == 2 ? "|" + beep : "") +
          "':s=" + std::to_string(rate) + ":d=6\" -c:v libx264 -pix_fmt yuv420p -c:a aac " + d + name));
    }
    WriteFile(d + "text.mp4", "no video in here\n");
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static std::string File(const std::string& name) { return dir_->path() + "/" + name; }
  // The position waits for the sound, which a loaded machine starts late.
  template <typename Player>
  static bool Started(const Player& p) {
    return PumpUntil(5000, [&] { return p.Position() > 0.2; });
  }

  void SetUp() override {
    window_ = std::make_unique<QWidget>();
    window_->setWindowFlags(Qt::FramelessWindowHint);
    auto* layout = new QVBoxLayout(window_.get());
    layout->setContentsMargins(0, 0, 0, 0);
    host = new kal::ui::VideoHost(window_.get());
    layout->addWidget(host);
    window_->setGeometry(0, 0, 640, 480);
    window_->show();
    PumpUntil(300);
  }
  void TearDown() override { window_.reset(); }

  static inline TempDir* dir_ = nullptr;
  std::unique_ptr<QWidget> window_;
  kal::ui::VideoHost* host = nullptr;
};

}  // namespace kaltest
