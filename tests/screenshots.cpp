// Saves a picture of each page of the main window, for the documentation.
// Usage: kal_screenshots OUTPUT_FOLDER (run under a display).

#include <QAbstractButton>
#include <QApplication>
#include <QPixmap>

#include <cstdio>

#include "mainwnd/MainWnd.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  kal::CMainWnd window;
  window.Create();
  window.resize(960, 680);
  window.show();
  const char* pages[][2] = {{"video-record-page", "record"}, {"video-cut-page", "cut"},
                            {"video-convert-page", "convert"}, {"video-compress-page", "compress"}};
  for (const auto& page : pages) {
    window.FindControl<QAbstractButton>(page[0])->click();
    for (int i = 0; i < 20; ++i) app.processEvents();
    const QString path = QString("%1/mainwindow-%2.png").arg(argv[1], page[1]);
    if (!window.grab().save(path)) return 1;
  }
  return 0;
}
