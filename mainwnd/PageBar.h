#pragma once
// The top of the main window: the four page buttons and the page stack,
// help, settings, feedback and the account area. Every page switch lets the
// page being left stop first (the preview player).

#include <QUrl>

#include <vector>

#include "mainwnd/Controller.h"

namespace kal {

class ToolPage;

class PageBar : public Controller {
 public:
  static constexpr const char* kTabs = "main-tab";
  static constexpr const char* kRecordPage = "video-record-page";
  static constexpr const char* kCutPage = "video-cut-page";
  static constexpr const char* kConvertPage = "video-convert-page";
  static constexpr const char* kCompressPage = "video-compress-page";
  static constexpr const char* kHelp = "help";

  // `pages` are the cut, convert and compress pages, in that order.
  PageBar(MainHost& host, std::vector<ToolPage*> pages) : host_(host), pages_(std::move(pages)) {}
  ui::ControlList Controls() const override;
  void Init() override;
  bool Notify(const ui::TNotifyUI& msg) override;
  bool Handle(ui::Message& msg) override;

  // The help page: "help-url", else the page shipped beside the program.
  static QUrl HelpUrl();

 private:
  void SelectPage(int index);
  void OpenHelp();

  MainHost& host_;
  std::vector<ToolPage*> pages_;
};

}  // namespace kal
