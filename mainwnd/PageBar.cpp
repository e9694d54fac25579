#include "mainwnd/PageBar.h"

#include <QAbstractButton>
#include <QStackedWidget>

#include <glog/logging.h>

#include "config/ConfigKeys.h"
#include "mainwnd/ToolPage.h"
#include "ui/OpenOnDesktop.h"

namespace kal {
namespace {

using B = PageBar;
constexpr const char* kPages[] = {B::kRecordPage, B::kCutPage, B::kConvertPage, B::kCompressPage};
// The account area and the dialogs behind these come later; the skin has them.
constexpr const char* kControls[] = {B::kTabs,   B::kRecordPage, B::kCutPage, B::kConvertPage,
                                     B::kCompressPage, B::kHelp, "feedback",
                                     "login",    "register",     "username",  "usepic",
                                     "separator"};

}  // namespace

ui::ControlList PageBar::Controls() const { return kControls; }

void PageBar::Init() {
  host_.Control<QAbstractButton>(kRecordPage)->setChecked(true);
  host_.Control<QStackedWidget>(kTabs)->setCurrentIndex(0);
}

bool PageBar::Notify(const ui::TNotifyUI& msg) {
  if (msg.type != "click") return false;
  for (int i = 0; i < 4; ++i) {
    if (msg.senderName == kPages[i]) {
      SelectPage(i);
      return true;
    }
  }
  if (msg.senderName == kHelp) {
    OpenHelp();
    return true;
  }
  return false;
}

bool PageBar::Handle(ui::Message& msg) {
  if (msg.id != WMU_OPEN_HELP) return false;
  OpenHelp();
  return true;
}

// Also when the page is already shown, the preview player stops first.
void PageBar::SelectPage(int index) {
  for (ToolPage* page : pages_) page->Leave();
  host_.Control<QStackedWidget>(kTabs)->setCurrentIndex(index);
}

QUrl PageBar::HelpUrl() {
  const std::string configured = cfg::Read(cfg::kHelpUrl);
  return configured.empty()
             ? QUrl::fromLocalFile(ui::WindowImplBase::SkinFolder() + "/help.html")
             : QUrl::fromUserInput(QString::fromStdString(configured));
}

void PageBar::OpenHelp() { ui::OpenOnDesktop(HelpUrl().toString().toStdString(), "帮助页面"); }

}  // namespace kal
