#include "mainwnd/CompressPage.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QSlider>

#include <ctime>
#include <filesystem>

#include "mainwnd/RecordedFileList.h"
#include "media/MediaDuration.h"
#include "tools/TranscodeJob.h"

namespace kal {
namespace {

using C = CompressPage;
constexpr ToolFileList::Names kNames{C::kList, C::kAdd, C::kJob, C::kMenu, C::kProgress,
                                     C::kRowSkin};

}  // namespace

CompressPage::CompressPage(MainHost& host, FileRecords& records)
    : ToolFileList("compress", kCompressPageControls, host, records, kNames) {}

void CompressPage::Init() {
  ToolFileList::Init();
  ShowSliderLabel();
}

void CompressPage::ShowSliderLabel() {
  const auto* s = host_.Control<QSlider>(kSlider);
  host_.Control<QLabel>(kSliderLabel)
      ->setText(QString("%1%").arg(CompressSliderPercent(s->value(), s->minimum(), s->maximum())));
}

bool CompressPage::Notify(const ui::TNotifyUI& msg) {
  if (msg.type == "valuechanged" && msg.senderName == kSlider) {
    ShowSliderLabel();
    return true;
  }
  return ToolFileList::Notify(msg);
}

CompressChoice CompressPage::Choice() {
  const auto on = [this](const char* name) { return host_.Control<QAbstractButton>(name)->isChecked(); };
  CompressChoice c;
  c.type = on(kGeneral) ? CompressType::kGeneral
           : on(kDeep)  ? CompressType::kDeep
           : on(kLimit) ? CompressType::kLimit
                        : CompressType::kNone;
  c.custom = on(kCustom);
  c.sliderCrf = host_.Control<QSlider>(kSlider)->value();
  c.balanced = on(kBalanced);
  c.container = on(kMp4) ? CompressContainer::kMp4 : on(kFlv) ? CompressContainer::kFlv : CompressContainer::kNone;
  return c;
}

void CompressPage::Prepare(const RecordedFileEntry& entry, std::vector<std::string>& args,
                           std::string& output) {
  const CompressChoice c = Choice();
  const VideoSize size = ResolutionAt(host_.Control<QComboBox>(kRatio)->currentIndex());
  output = ToolOutputPath(ResolveOutputFolder(), entry.fullPath, std::time(nullptr), CompressExtension(c));
  args = CompressArgs(entry.fullPath, size, c);
}

void CompressPage::Started(int tag) {
  rows_.Control<QLabel>(tag, kNewSize)->clear();
  rows_.Control<QLabel>(tag, kSaving)->clear();
}

bool CompressPage::Succeeded(int tag, const TranscodeResult& result, std::string& error) {
  const auto size = [](const std::string& path) -> std::uint64_t {
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(path, ec);
    return ec ? 0 : bytes;
  };
  const std::uint64_t source = size(rows_.Entry(tag)->fullPath), written = size(result.output);
  if (source == 0 || written == 0) {
    error = "无法读取文件大小，压缩结果未知";
    return false;
  }
  const float saving =
      (static_cast<float>(source) - static_cast<float>(written)) / static_cast<float>(source) * 100;
  rows_.Control<QLabel>(tag, kNewSize)->setText(QString::fromStdString(SizeText(written)));
  auto* label = rows_.Control<QLabel>(tag, kSaving);
  label->setText(QString::asprintf("%.2f%%", saving));
  label->setStyleSheet(saving >= 0 ? "color: #10C00B;" : "color: #FF0000;");
  return true;
}

}  // namespace kal
