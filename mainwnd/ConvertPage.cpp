#include "mainwnd/ConvertPage.h"

#include <QComboBox>

#include <ctime>

#include "mainwnd/RecordedFileList.h"
#include "tools/TranscodeArgs.h"

namespace kal {
namespace {

using C = ConvertPage;
constexpr ToolFileList::Names kNames{C::kList, C::kAdd, C::kJob, C::kMenu, C::kProgress,
                                     C::kRowSkin};

}  // namespace

ConvertPage::ConvertPage(MainHost& host, FileRecords& records)
    : ToolFileList("convert", kConvertPageControls, host, records, kNames) {}

void ConvertPage::Prepare(const RecordedFileEntry& entry, std::vector<std::string>& args,
                          std::string& output) {
  const std::string format = host_.Control<QComboBox>(kFormat)->currentText().toStdString();
  const VideoSize size = ResolutionAt(host_.Control<QComboBox>(kRatio)->currentIndex());
  output = ToolOutputPath(ResolveOutputFolder(), entry.fullPath, std::time(nullptr),
                          format.empty() ? "mp4" : format);
  args = ConvertArgs(entry.fullPath, size);
}

}  // namespace kal
