// Plays one file to its end in a 960x540 window with the preview player,
// for the player benchmark. Usage: kal_bench_play FILE
#include <QApplication>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <atomic>
#include <cstdio>

#include "tools/MediaPlayer.h"
#include "ui/SdlCanvas.h"
#include "ui/VideoHost.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* host = new kal::ui::VideoHost(&window);
  layout->addWidget(host);
  window.resize(960, 540);
  window.show();
  int code = 0;
  {
    kal::MediaPlayer player(*host);
    std::atomic<bool> ended{false};
    player.SetFinishCallback([&] { ended = true; });
    player.SetCallFinish(true);
    if (player.Play(argv[1]) != 0) {
      std::fprintf(stderr, "cannot play: %s\n", player.Error().c_str());
      return 1;
    }
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (ended) app.quit();
    });
    poll.start(50);
    code = app.exec();
    player.Close();
  }
  kal::ui::ShutdownSdl();
  return code;
}
