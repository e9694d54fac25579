#include "mainwnd/RecordedFileList.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QScrollArea>
#include <QStandardPaths>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "config/ConfigKeys.h"
#include "config/UserFolders.h"
#include "mainwnd/CutPage.h"
#include "mainwnd/FileRename.h"
#include "mainwnd/PageBar.h"
#include "mainwnd/RenameFileDialog.h"
#include "media/MediaDuration.h"
#include "platform/FileOps.h"
#include "recorder/Recovery.h"
#include "ui/NoticeBoxes.h"
#include "ui/OpenOnDesktop.h"
#include "ui/RowList.h"

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
  stop_ = true;
  if (probe_.joinable()) probe_.join();
  if (recovery_.joinable()) recovery_.join();
}

ui::ControlList RecordedFileList::Controls() const { return kControls; }

void RecordedFileList::RefreshFolder() { folder_ = ResolveOutputFolder(); }

void RecordedFileList::Init() {
  rows_.Attach(static_cast<ui::WindowImplBase*>(host_.Window()), host_.Control<QScrollArea>(kList));
  RefreshFolder();
  std::error_code ec;
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(folder_, ec)) {
    if (e.is_regular_file(ec) && IsRecording(e.path().filename().string()))
      files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  std::vector<std::pair<int, std::string>> shown;
  for (const auto& f : files) shown.emplace_back(rows_.Add(f, FileRows::kNotProbed), f);
  probe_ = std::thread([this, shown = std::move(shown)] {
    for (const auto& row : shown) {
      if (stop_) return;
      const int tag = row.first;
      const double seconds = ProbeDurationSeconds(row.second);
      QMetaObject::invokeMethod(&replies_, [this, tag, seconds] { rows_.ShowDuration(tag, seconds); },
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
    rows_.Add(f, ProbeDurationSeconds(f));
    names += "\n" + QString::fromStdString(std::filesystem::path(f).filename().string());
  }
  host_.SetTimer(TIMER_LIST_SCROLL, kScrollDelayMs, true);
  Tell("上次录制意外中断，已恢复录制文件：" + names);
}

void RecordedFileList::Add(const std::string& path) {
  rows_.Add(path, ProbeDurationSeconds(path));
  host_.SetTimer(TIMER_LIST_SCROLL, kScrollDelayMs, true);
}

bool RecordedFileList::Notify(const ui::TNotifyUI& msg) {
  if (msg.type != "click" || msg.tag < 0) return false;
  if (msg.senderName != kPlay && msg.senderName != kCut && msg.senderName != kMenu) return false;
  const RecordedFileEntry* entry = rows_.Entry(msg.tag);
  if (!entry || !rows_.Row(msg.tag)) return false;  // another list's row
  if (msg.senderName == kPlay) {
    ui::OpenOnDesktop(entry->fullPath, "视频文件");
  } else if (msg.senderName == kCut) {
    const std::string path = entry->fullPath;
    host_.Control<QAbstractButton>(PageBar::kCutPage)->click();
    cut_.Open(path);
  } else {
    rows_.OpenMenu(msg.tag, qobject_cast<QWidget*>(msg.sender));
  }
  return true;
}

bool RecordedFileList::Handle(ui::Message& msg) {
  if (msg.id < WMU_LIST_OPEN_FOLDER || msg.id > WMU_LIST_DELETE) return false;
  const auto* request = msg.Payload<ui::ListMenuRequest>();
  if (!request || request->kind != ui::ListKind::kRecorded) return false;
  const int tag = request->tag;
  const RecordedFileEntry* entry = rows_.Entry(tag);
  if (!entry) return true;
  switch (msg.id) {
    case WMU_LIST_OPEN_FOLDER:
      ui::OpenOnDesktop(entry->folder, "文件夹");
      break;
    case WMU_LIST_RENAME:
      Rename(tag);
      break;
    case WMU_LIST_REMOVE:
      rows_.Remove(tag);
      break;
    case WMU_LIST_DELETE:
      Delete(tag);
      break;
    default:
      break;
  }
  return true;
}

void RecordedFileList::Rename(int tag) {
  RecordedFileEntry* entry = rows_.Entry(tag);
  RenameFileDialog dialog(host_.Window(), entry->fileName,
                          [&](const std::string& typed, std::string& error) {
                            std::string renamed;
                            if (!RenameListedFile(entry->fullPath, typed, renamed, error)) return false;
                            const std::filesystem::path p(renamed);
                            entry->fullPath = renamed;
                            entry->fileName = p.filename().string();
                            return true;
                          });
  if (dialog.ShowModal() != 1) return;
  const QString name = QString::fromStdString(entry->fileName);
  if (auto* label = rows_.Control<QLabel>(tag, FileRows::kName)) label->setText(name);
  if (QWidget* row = rows_.Row(tag)) row->setAccessibleName(name);
}

void RecordedFileList::Delete(int tag) {
  const std::string path = rows_.Entry(tag)->fullPath;
  ui::MessageBoxDialog ask(host_.Window(), "确定要删除吗?");
  if (ask.ShowModal() != 1) return;
  std::string why;
  // Into the trash; a disk without one loses the file as asked.
  if (!platform::MoveToTrash(path, why) && ::unlink(path.c_str()) != 0 && errno != ENOENT) {
    Tell(QString("删除失败：") + QString::fromLocal8Bit(std::strerror(errno)));
    return;
  }
  rows_.Remove(tag);
}

void RecordedFileList::Tell(const QString& text) {
  ui::PromptBoxDialog box(host_.Window(), text);
  box.ShowModal();
}

bool RecordedFileList::OnTimer(int id) {
  if (id != TIMER_LIST_SCROLL) return false;
  host_.KillTimer(id);
  ui::RowList& list = rows_.List();
  if (list.Count() > 0) list.Select(list.RowAt(list.Count() - 1));
  return true;
}

}  // namespace kal
