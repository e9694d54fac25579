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

constexpr int kSizeRole = Qt::UserRole + 1;

// Name, size and length; the length stays empty until it is read.
QString RowText(const std::string& path, std::uint64_t size, double seconds) {
  return QString("%1    %2    %3")
      .arg(QString::fromStdString(std::filesystem::path(path).filename().string()))
      .arg(QString::fromStdString(SizeText(size)))
      .arg(seconds < -1 ? QString() : QString::fromStdString(DurationText(seconds)));
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
  stop_ = true;
  if (probe_.joinable()) probe_.join();
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
  for (const auto& f : files) Append(f, kNotProbed);
  probe_ = std::thread([this, files] {
    for (const auto& f : files) {
      if (stop_) return;
      const double seconds = ProbeDurationSeconds(f);
      QMetaObject::invokeMethod(&replies_, [this, f, seconds] { ShowDuration(f, seconds); },
                                Qt::QueuedConnection);
    }
  });
  // Left-over recordings are made normal files beside the window, which
  // shows at once; each joins the list when it is ready.
  recovery_ = std::thread([this, folder = folder_] {
    std::vector<std::string> recovered = RecoverUnfinishedRecordings(folder);
    if (recovered.empty()) return;
    QMetaObject::invokeMethod(
        &replies_, [this, recovered = std::move(recovered)] { ShowRecovered(recovered); },
        Qt::QueuedConnection);
  });
}

void RecordedFileList::ShowRecovered(const std::vector<std::string>& files) {
  QString names;
  for (const auto& f : files) {
    Append(f, ProbeDurationSeconds(f));
    names += "\n" + QString::fromStdString(std::filesystem::path(f).filename().string());
  }
  host_.SetTimer(TIMER_LIST_SCROLL, kScrollDelayMs, true);
  ui::PromptBoxDialog box(host_.Window(), "上次录制意外中断，已恢复录制文件：" + names);
  box.ShowModal();
}

void RecordedFileList::Add(const std::string& path) {
  Append(path, ProbeDurationSeconds(path));
  host_.SetTimer(TIMER_LIST_SCROLL, kScrollDelayMs, true);
}

void RecordedFileList::Append(const std::string& path, double seconds) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return;
  std::uint64_t size = std::filesystem::file_size(path, ec);
  if (ec) size = 0;
  auto* item = new QListWidgetItem(RowText(path, size, seconds));
  item->setData(Qt::UserRole, QString::fromStdString(path));
  item->setData(kSizeRole, QVariant::fromValue<qulonglong>(size));
  host_.Control<QListWidget>(kList)->addItem(item);
}

void RecordedFileList::ShowDuration(const std::string& path, double seconds) {
  auto* list = host_.Control<QListWidget>(kList);
  const QString key = QString::fromStdString(path);
  for (int i = 0; list && i < list->count(); ++i) {
    QListWidgetItem* item = list->item(i);
    if (item->data(Qt::UserRole).toString() == key)
      item->setText(RowText(path, item->data(kSizeRole).toULongLong(), seconds));
  }
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
