#pragma once
// What a file list's rows show, row by row, as a user reads them.

#include <QLabel>
#include <QWidget>

#include <string>
#include <vector>

#include "mainwnd/FileRows.h"
#include "ui/RowList.h"
#include "ui/WindowImplBase.h"

namespace kaltest {

struct ListedRow {
  int tag = -1;
  std::string name, size, duration, progress;
  std::string path;  // the file the row stands for
};

inline std::string LabelText(QWidget* row, const char* name) {
  auto* label = row->findChild<QLabel*>(name);
  return label ? label->text().toStdString() : "<none>";
}

inline std::vector<ListedRow> Listed(kal::FileRows& rows) {
  std::vector<ListedRow> listed;
  for (int i = 0; i < rows.List().Count(); ++i) {
    QWidget* row = rows.List().RowAt(i);
    ListedRow r;
    r.tag = kal::ui::TagOf(row);
    r.name = LabelText(row, kal::FileRows::kName);
    r.size = LabelText(row, kal::FileRows::kSize);
    r.duration = LabelText(row, kal::FileRows::kDuration);
    r.progress = LabelText(row, "progress-label");
    if (const auto* e = rows.Entry(r.tag)) r.path = e->fullPath;
    listed.push_back(r);
  }
  return listed;
}

}  // namespace kaltest
