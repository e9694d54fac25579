#include "mainwnd/ToolFileList.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
#include <QScrollArea>

#include <glog/logging.h>

#include "mainwnd/RecordedFileList.h"
#include "media/MediaDuration.h"
#include "tools/ToolJob.h"
#include "ui/OpenOnDesktop.h"
#include "ui/RowList.h"

namespace kal {

ToolFileList::ToolFileList(const char* name, ui::ControlList controls, MainHost& host,
                           FileRecords& records, const Names& names)
    : ToolPage(name, controls), host_(host), rows_(records, names.skin), names_(names) {}

ToolFileList::~ToolFileList() = default;  // ends running jobs

void ToolFileList::Init() {
  rows_.Attach(static_cast<ui::WindowImplBase*>(host_.Window()),
               host_.Control<QScrollArea>(names_.list));
}

int ToolFileList::AddFile(const std::string& path) {
  const int tag = rows_.Add(path, ProbeDurationSeconds(path));
  if (tag >= 0) rows_.List().Select(rows_.Row(tag));
  return tag;
}

void ToolFileList::ChooseFile() {
  const QString chosen = QFileDialog::getOpenFileName(
      host_.Window(), "添加文件", {}, kVideoFileFilter, nullptr, QFileDialog::DontUseNativeDialog);
  if (!chosen.isEmpty()) AddFile(chosen.toStdString());
}

bool ToolFileList::Notify(const ui::TNotifyUI& msg) {
  if (msg.type != "click") return false;
  if (msg.senderName == names_.add) {
    ChooseFile();
    return true;
  }
  if (msg.tag < 0 || !rows_.Row(msg.tag)) return false;
  if (msg.senderName.compare(names_.jobButton, Qt::CaseInsensitive) == 0) {
    StartJob(msg.tag);
    return true;
  }
  if (msg.senderName.compare(names_.menuButton, Qt::CaseInsensitive) == 0) {
    rows_.OpenMenu(msg.tag, qobject_cast<QWidget*>(msg.sender));
    return true;
  }
  return false;
}

void ToolFileList::StartJob(int tag) {
  const RecordedFileEntry* entry = rows_.Entry(tag);
  if (!entry || jobs_.count(tag)) return;
  rows_.Control<QAbstractButton>(tag, names_.jobButton)->setEnabled(false);
  if (auto* label = rows_.Control<QLabel>(tag, kProgressLabel)) label->setToolTip({});
  ShowPercent(tag, 0);
  Started(tag);
  std::vector<std::string> args;
  std::string output, error;
  Prepare(*entry, args, output);
  auto job = StartToolJob(tag, names_.skin.kind, std::move(args), output, -1, error);
  if (!job) {
    Finish(tag, false, error);
    return;
  }
  jobs_[tag] = std::move(job);
}

void ToolFileList::ShowPercent(int tag, int percent) {
  if (auto* bar = rows_.Control<QProgressBar>(tag, names_.progress)) bar->setValue(percent);
  if (auto* label = rows_.Control<QLabel>(tag, kProgressLabel))
    label->setText(QString("%1%").arg(percent));
}

void ToolFileList::Finish(int tag, bool ok, const std::string& error) {
  if (!rows_.Row(tag)) return;  // removed while it ran
  rows_.Control<QAbstractButton>(tag, names_.jobButton)->setEnabled(true);
  if (ok) {
    ShowPercent(tag, 100);
    return;
  }
  LOG(WARNING) << "job of " << rows_.Entry(tag)->fullPath << " failed: " << error;
  if (auto* label = rows_.Control<QLabel>(tag, kProgressLabel)) {
    label->setText("失败");
    label->setToolTip(QString::fromStdString(error));
  }
}

bool ToolFileList::Handle(ui::Message& msg) {
  if (msg.id == WMU_TRANSCODE_PROGRESS) {
    const auto* p = msg.Payload<TranscodeProgress>();
    if (!p || p->kind != names_.skin.kind) return false;
    if (jobs_.count(p->tag)) ShowPercent(p->tag, p->Percent());
    return true;
  }
  if (msg.id == WMU_TRANSCODE_DONE) {
    const auto* f = msg.Payload<TranscodeFinished>();
    if (!f || f->kind != names_.skin.kind) return false;
    jobs_.erase(f->tag);
    std::string error = f->result.error;
    const bool ok = f->result.ok && (!rows_.Row(f->tag) || Succeeded(f->tag, f->result, error));
    Finish(f->tag, ok, error);
    return true;
  }
  if (msg.id != WMU_LIST_OPEN_FOLDER && msg.id != WMU_LIST_REMOVE) return false;
  const auto* request = msg.Payload<ui::ListMenuRequest>();
  if (!request || request->kind != names_.skin.kind) return false;
  if (msg.id == WMU_LIST_OPEN_FOLDER)
    ui::OpenOnDesktop(ResolveOutputFolder(), "输出目录");  // where the outputs are
  else
    rows_.Remove(request->tag);
  return true;
}

}  // namespace kal
