#pragma once
// The convert page: each added file is written again in the container of
// "video-convert-format" and, if one is chosen in "video-convert-ratio",
// at another picture size; H.264 + AAC always.

#include "mainwnd/ToolFileList.h"

namespace kal {

class ConvertPage : public ToolFileList {
 public:
  static constexpr const char* kFormat = "video-convert-format";
  static constexpr const char* kRatio = "video-convert-ratio";
  static constexpr const char* kAdd = "add-convert-file";
  static constexpr const char* kList = "convert-list";
  static constexpr const char* kJob = "convert-btn";
  static constexpr const char* kMenu = "convert-list-menu-btn";
  static constexpr const char* kProgress = "convert-progress";
  static constexpr const char* kRowControls[] = {
      FileRows::kName, FileRows::kSize, FileRows::kDuration, kJob, kMenu, kProgress,
      ToolFileList::kProgressLabel};
  static constexpr RowSkin kRowSkin{"ConvertListContainerElement.xml", ui::ListKind::kConvert,
                                    kRowControls};

  ConvertPage(MainHost& host, FileRecords& records);

 protected:
  void Prepare(const RecordedFileEntry& entry, std::vector<std::string>& args,
               std::string& output) override;
};

}  // namespace kal
