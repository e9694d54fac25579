#include "mainwnd/RecordedFileList.h"

#include <QDir>
#include <QListWidget>
#include <QStandardPaths>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "config/ConfigKeys.h"
#include "config/UserFolders.h"
#include "media/MediaDuration.h"
#include "recorder/Recovery.h"
#include "ui/NoticeBoxes.h"

namespace kal {
namespace {

constexpr const char* kControls[] = {RecordedFileList::kList};
constexpr int kScrollDelayMs = 50;

bool IsRecording(const std::string& name) {
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = name.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));  // clip.MP4 too
  return ext == "mp4" || ext == "flv" || ext == "wmv" || ext == "avi" || ext == "mov" ||
         ext == "mkv";
}

}  // namespace

std::string ResolveOutputFolder() {
  std::string folder = cfg::Read(cfg::kOutputDir);
  if (folder.empty()) {
    QString base = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (base.isEmpty() || !QDir(base).exists())
      base = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (base.isEmpty()) base = QDir::homePath();
    folder = (base + "/KAL屏幕录制").toStdString();
  }
  CreateDirectoryPath(folder);
  return folder;
}

RecordedFileList::~RecordedFileList() {
  if (recovery_.joinable()) recovery_.join();
}

ui::ControlList RecordedFileList::Controls() const { return kControls; }

void RecordedFileList::RefreshFolder() { folder_ = ResolveOutputFolder(); }

void RecordedFileList::Init() {
  RefreshFolder();
  std::error_code ec;
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(folder_, ec)) {
    if (e.is_regular_file(ec) && IsRecording(e.path().filename().string()))
      files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  for (const auto& f : files) Append(f);
  // Left-over recordings are made normal files beside the window, which
  // shows at once; each joins the list when it is ready.
  recovery_ = std::thread([this, folder = folder_] {
    std::vector<std::string> recovered = RecoverUnfinishedRecordings(folder);
    if (recovered.empty()) return;
    QMetaObject::invokeMethod(
        host_.Window(), [this, recovered = std::move(recovered)] { ShowRecovered(recovered); },
        Qt::QueuedConnection);
  });
}

void RecordedFileList::ShowRecovered(const std::vector<std::string>& files) {
  QString names;
  for (const auto& f : files) {
    Append(f);
    names += "\n" + QString::fromStdString(std::filesystem::path(f).filename().string());
  }
  host_.SetTimer(TIMER_LIST_SCROLL, kScrollDelayMs, true);
  ui::PromptBoxDialog box(host_.Window(), "上次录制意外中断，已恢复录制文件：" + names);
  box.ShowModal();
}

void RecordedFileList::Add(const std::string& path) {
  Append(path);
  host_.SetTimer(TIMER_LIST_SCROLL, kScrollDelayMs, true);
}

void RecordedFileList::Append(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return;
  std::uint64_t size = std::filesystem::file_size(path, ec);
  if (ec) size = 0;
  auto* item = new QListWidgetItem(
      QString("%1    %2    %3")
          .arg(QString::fromStdString(std::filesystem::path(path).filename().string()))
          .arg(QString::fromStdString(SizeText(size)))
          .arg(QString::fromStdString(DurationText(ProbeDurationSeconds(path)))));
  item->setData(Qt::UserRole, QString::fromStdString(path));
  host_.Control<QListWidget>(kList)->addItem(item);
}

bool RecordedFileList::OnTimer(int id) {
  if (id != TIMER_LIST_SCROLL) return false;
  host_.KillTimer(id);
  auto* list = host_.Control<QListWidget>(kList);
  if (list && list->count() > 0) {
    list->scrollToBottom();
    list->setCurrentRow(list->count() - 1, QItemSelectionModel::ClearAndSelect);
  }
  return true;
}

}  // namespace kal
