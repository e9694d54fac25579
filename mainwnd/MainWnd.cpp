#include "mainwnd/MainWnd.h"

#include <QCloseEvent>
#include <QIcon>

#include <glog/logging.h>

#include "config/ConfigKeys.h"
#include "config/InstallConfig.h"

namespace kal {

CMainWnd::CMainWnd()
    : controllers_{&bar_, &page_, &region_, &recording_, &files_, &tray_, &cut_, &convert_, &compress_, &brush_,
                   &settings_, &upgrade_} {
  for (const Controller* c : controllers_) controls_.push_back(c->Controls());
  skin_ = {"CMainWnd", "MainWindow.xml", controls_};
  setWindowFlags(Qt::Window);
  setWindowTitle("KAL屏幕录制");
  setWindowIcon(QIcon(ui::WindowImplBase::SkinFolder() + "/KalRecorder.png"));
  TakeRole(ui::WindowRole::kMain);
}

CMainWnd::~CMainWnd() = default;

void CMainWnd::InitWindow() {
  // Every run starts with full-screen recording.
  cfg::Write(cfg::kUserDefinedRegionCheck, 0);
  setProperty("KalRecorder", 1);
  agent_ = ReadDistributionAgent();
  LOG(INFO) << "agent:" << agent_;
  for (Controller* c : controllers_) c->Init();
}

void CMainWnd::Notify(const ui::TNotifyUI& msg) {
  for (Controller* c : controllers_)
    if (c->Notify(msg)) break;
  NotifyBase(msg);
}

void CMainWnd::HandleCustomMessage(ui::Message& msg, bool& handled) {
  handled = true;
  switch (msg.id) {
    case WMU_QUIT:
      quitRequested_ = true;
      close();
      return;
    case WMU_SHOW_MAIN:
      ShowMain();
      raise();
      return;
    case WMU_OPEN_FEEDBACK:
      // The feedback form comes with its own part; until then the window
      // is shown.
      LOG(INFO) << "message " << msg.id << " waits for its part";
      ShowMain();
      return;
    default:
      break;
  }
  for (Controller* c : controllers_)
    if (c->Handle(msg)) return;
  handled = false;
}

void CMainWnd::OnTimer(int id) {
  for (Controller* c : controllers_)
    if (c->OnTimer(id)) return;
}

void CMainWnd::ShowMain() {
  showNormal();
  activateWindow();
}

void CMainWnd::closeEvent(QCloseEvent* e) {
  const bool quit = quitRequested_;
  quitRequested_ = false;
  if (!quit && cfg::Read(cfg::kWindowClose) != 0) {
    // The title bar's close only hides the window to the tray.
    showMinimized();
    e->ignore();
    return;
  }
  if (!recording_.ConfirmQuit()) {
    e->ignore();
    return;
  }
  e->accept();
}

}  // namespace kal
