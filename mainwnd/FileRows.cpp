#include "mainwnd/FileRows.h"

#include <QAbstractButton>
#include <QCursor>
#include <QLabel>
#include <QScrollArea>

#include <filesystem>

#include <glog/logging.h>

#include "mainwnd/ListMenu.h"
#include "media/MediaDuration.h"
#include "ui/RowList.h"
#include "ui/SubSkin.h"
#include "ui/WindowImplBase.h"

namespace kal {

FileRows::~FileRows() = default;

void FileRows::Attach(ui::WindowImplBase* window, QScrollArea* area) {
  window_ = window;
  list_ = new ui::RowList(area);
}

int FileRows::Add(const std::string& path, double seconds) {
  const std::filesystem::path p(path);
  std::error_code ec;
  std::uint64_t size = std::filesystem::file_size(p, ec);
  if (ec) size = 0;
  QWidget* row = nullptr;
  try {
    row = ui::LoadSubSkin(skin_.file, nullptr);
  } catch (const std::exception& e) {
    LOG(ERROR) << "no row for " << path << ": " << e.what();
    return -1;
  }
  const int tag = records_.Add({{}, p.filename().string(), p.parent_path().string(), path, size,
                                seconds});
  row->setObjectName(QString("item-%1").arg(tag));
  ui::SetTag(row, tag);
  const QString name = QString::fromStdString(p.filename().string());
  row->setAccessibleName(name);
  list_->Append(row);
  window_->Adopt(row);
  if (auto* label = row->findChild<QLabel*>(kName)) label->setText(name);
  if (auto* label = row->findChild<QLabel*>(kSize))
    label->setText(QString::fromStdString(SizeText(size)));
  ShowDuration(tag, seconds);
  // A screen reader names each button with its row's file.
  for (auto* b : row->findChildren<QAbstractButton*>())
    b->setAccessibleDescription(name);
  return tag;
}

void FileRows::ShowDuration(int tag, double seconds) {
  if (RecordedFileEntry* e = records_.Find(tag)) e->duration = seconds;
  if (auto* label = Control<QLabel>(tag, kDuration))
    label->setText(seconds < -1 ? QString() : QString::fromStdString(DurationText(seconds)));
}

QWidget* FileRows::Row(int tag) const { return list_ ? list_->Row(tag) : nullptr; }

QWidget* FileRows::FindIn(int tag, const char* name) const {
  QWidget* row = Row(tag);
  if (!row) return nullptr;
  // Names in rows are looked up without regard to case.
  for (QWidget* w : row->findChildren<QWidget*>())
    if (w->objectName().compare(name, Qt::CaseInsensitive) == 0) return w;
  return nullptr;
}

bool FileRows::Remove(int tag) { return list_ && list_->Remove(tag); }

void FileRows::OpenMenu(int tag, QWidget* from) {
  auto* menu = new ListMenu(window_, skin_.kind, tag);
  if (!menu->TryCreate()) {
    delete menu;
    return;
  }
  // By the pointer when the button was clicked, by the button when it was
  // pressed from the keyboard.
  QPoint at = QCursor::pos();
  if (from && !from->rect().contains(from->mapFromGlobal(at)))
    at = from->mapToGlobal(QPoint(from->width(), from->height()));
  list_->Select(Row(tag));
  menu->OpenAt(at, from);
}

}  // namespace kal
