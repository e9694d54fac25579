#pragma once
// The compress page: each added file is encoded again at the quality of
// the chosen preset (or the slider's, when "video-compress-check" is on),
// and its row tells the new size and how much was saved: green for a
// saving, red when the output came out larger.

#include "mainwnd/ToolFileList.h"
#include "tools/TranscodeArgs.h"

namespace kal {

class CompressPage : public ToolFileList {
 public:
  static constexpr const char* kGeneral = "compress-type-general";
  static constexpr const char* kDeep = "compress-type-deep";
  static constexpr const char* kLimit = "compress-type-limit";
  static constexpr const char* kMp4 = "compress-radio-mp4";
  static constexpr const char* kFlv = "compress-radio-flv";
  static constexpr const char* kRatio = "video-compress-ratio";
  static constexpr const char* kCustom = "video-compress-check";
  static constexpr const char* kSlider = "video-compress-slider";
  static constexpr const char* kSliderLabel = "video-compress-label";
  static constexpr const char* kBalanced = "video-compress-balanced-check";
  static constexpr const char* kAdd = "add-compress-file";
  static constexpr const char* kList = "compress-list";
  static constexpr const char* kJob = "compress-btn";
  static constexpr const char* kMenu = "compress-list-menu-btn";
  static constexpr const char* kProgress = "compress-progress";
  static constexpr const char* kNewSize = "s1Label";
  static constexpr const char* kSaving = "y1Label";
  static constexpr const char* kRowControls[] = {
      FileRows::kName, FileRows::kSize, FileRows::kDuration, kJob, kMenu, kProgress,
      ToolFileList::kProgressLabel, kNewSize, kSaving};
  static constexpr RowSkin kRowSkin{"CompressListContainerElement.xml", ui::ListKind::kCompress,
                                    kRowControls};

  CompressPage(MainHost& host, FileRecords& records);
  void Init() override;
  bool Notify(const ui::TNotifyUI& msg) override;
  // What the page's controls choose.
  CompressChoice Choice();

 protected:
  void Prepare(const RecordedFileEntry& entry, std::vector<std::string>& args,
               std::string& output) override;
  void Started(int tag) override;
  bool Succeeded(int tag, const TranscodeResult& result, std::string& error) override;

 private:
  void ShowSliderLabel();
};

}  // namespace kal
