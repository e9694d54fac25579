#pragma once
// The rows of the main window's file lists (recorded files, the convert
// and the compress page), each built from its list's sub-skin, and the one
// record map behind all of them: every row added to any list takes the
// next tag, tags are never reused, and a record outlives its row.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include <QWidget>

#include "ui/Messages.h"
#include "ui/WindowImplBase.h"

class QScrollArea;

namespace kal {
namespace ui {
class RowList;
}  // namespace ui

struct RecordedFileEntry {
  std::string spare;
  std::string fileName, folder, fullPath;
  std::uint64_t size = 0;
  double duration = 0;
};

class FileRecords {
 public:
  int Add(RecordedFileEntry entry) {
    entries_.emplace(next_, std::move(entry));
    return next_++;
  }
  RecordedFileEntry* Find(int tag) {
    const auto it = entries_.find(tag);
    return it == entries_.end() ? nullptr : &it->second;
  }

 private:
  std::map<int, RecordedFileEntry> entries_;
  int next_ = 0;
};

// A row's sub-skin, its list, and the controls it must hold.
struct RowSkin {
  const char* file;
  ui::ListKind kind;
  ui::ControlList controls;
};

class FileRows {
 public:
  static constexpr const char* kName = "fileNameLabel";
  static constexpr const char* kSize = "fileSizeLabel";
  static constexpr const char* kDuration = "durationLabel";
  // A length still being read.
  static constexpr double kNotProbed = -2;

  FileRows(FileRecords& records, RowSkin skin) : records_(records), skin_(skin) {}
  ~FileRows();
  // Builds the rows in `area`; their controls notify `window`.
  void Attach(ui::WindowImplBase* window, QScrollArea* area);

  // Adds a row for `path`, its size read now and its length `seconds`;
  // returns its tag, or -1 when the row could not be built.
  int Add(const std::string& path, double seconds);
  void ShowDuration(int tag, double seconds);
  RecordedFileEntry* Entry(int tag) { return records_.Find(tag); }
  QWidget* Row(int tag) const;
  // A control of the row `tag`, or nullptr.
  template <typename T = QWidget>
  T* Control(int tag, const char* name) const;
  bool Remove(int tag);
  // Opens the row's menu by the control `from` (the menu button).
  void OpenMenu(int tag, QWidget* from);
  ui::RowList& List() { return *list_; }

 private:
  QWidget* FindIn(int tag, const char* name) const;
  FileRecords& records_;
  RowSkin skin_;
  ui::WindowImplBase* window_ = nullptr;
  ui::RowList* list_ = nullptr;  // owned by the scroll area
};

template <typename T>
T* FileRows::Control(int tag, const char* name) const {
  return qobject_cast<T*>(FindIn(tag, name));
}

}  // namespace kal
