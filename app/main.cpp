// Process entry of the window program: one instance per user, log and crash
// report, skins, FFmpeg, the main window and its message loop, then the
// shutdown in reverse order.

#include <QApplication>
#include <QScreen>

#include <glog/logging.h>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
}

#include "app/CrashDump.h"
#include "app/LogSetup.h"
#include "app/SessionEnd.h"
#include "app/SingleInstance.h"
#include "config/UserFolders.h"
#include "mainwnd/MainWnd.h"
#include "online/HttpTransport.h"
#include "ui/SdlCanvas.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  kal::SingleInstance instance(QString::fromStdString(kal::GetUserDataFolder("KalRecorder")),
                               QString("KalRecorder-%1").arg(::getuid()));
  if (!instance.Acquire()) return 0;  // the running one shows its window

  kal::InstallCrashDump(kal::GetUserDataFolder(kal::kDumpFolder) + "/KalRecorder.dmp");
  const std::string logFolder = kal::GetUserDataFolder(kal::kLogFolder);
  kal::DeleteOldLogs(logFolder, kal::TodayStamp());
  kal::LogSession log("KalRecorder", logFolder);
  LOG(INFO) << "start";

  avdevice_register_all();
  avformat_network_init();

  int code = 0;
  {
    kal::CMainWnd window;
    try {
      window.Create();
    } catch (const std::exception& e) {
      LOG(ERROR) << e.what();
      return -1;
    }
    instance.OnActivate([&window] {
      LOG(INFO) << "activated by a second start";
      window.showNormal();
      window.raise();
      window.activateWindow();
    });
    window.resize(960, 680);
    if (const QScreen* screen = window.screen()) {
      const QRect area = screen->availableGeometry();
      window.move(area.center() - window.rect().center());
    }
    window.show();
    // Destroyed before the window: from then on nothing calls into it.
    kal::SessionEnd sessionEnd([&window] { window.FinishRecordingForExit(); });
    // On a thread of its own: nothing waits for the network.
    window.CheckUpgradeAtStart();
    code = app.exec();
    // A check still asking ends now, not at its time-out.
    kal::online::CancelAllTransfers();
  }
  // Every player and preview closed with the window.
  kal::ui::ShutdownSdl();
  avformat_network_deinit();
  LOG(INFO) << "exit " << code;
  return code;
}
