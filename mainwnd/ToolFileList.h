#pragma once
// The convert and compress pages: a list of added files whose rows each
// run their own ffmpeg job. A row's job button is disabled while its job
// runs; its progress bar and label follow the job, and the end says done
// (100%) or "失败" (with ffmpeg's last lines as the label's tooltip and in
// the log); the button is enabled again either way. Several rows may run
// at once. The jobs end with the page (the program): nothing half-written
// is left under a final name.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "mainwnd/FileRows.h"
#include "mainwnd/ToolPage.h"

namespace kal {

class TranscodeJob;
struct TranscodeResult;

class ToolFileList : public ToolPage {
 public:
  static constexpr const char* kProgressLabel = "progress-label";
  struct Names {
    const char* list;
    const char* add;
    const char* jobButton;
    const char* menuButton;
    const char* progress;
    RowSkin skin;
  };

  ToolFileList(const char* name, ui::ControlList controls, MainHost& host, FileRecords& records,
               const Names& names);
  ~ToolFileList() override;
  void Init() override;
  bool Notify(const ui::TNotifyUI& msg) override;
  bool Handle(ui::Message& msg) override;

  // Adds `path` as the open-file dialog's choice would; its tag.
  int AddFile(const std::string& path);
  FileRows& Rows() { return rows_; }
  int RunningJobs() const { return static_cast<int>(jobs_.size()); }

 protected:
  // The job of the row: ffmpeg's arguments and the output path.
  virtual void Prepare(const RecordedFileEntry& entry, std::vector<std::string>& args,
                       std::string& output) = 0;
  virtual void Started(int tag) {}
  // A job has written its output; false, with `error`, makes it a failure.
  virtual bool Succeeded(int tag, const TranscodeResult& result, std::string& error) { return true; }
  MainHost& host_;
  FileRows rows_;

 private:
  void ChooseFile();
  void StartJob(int tag);
  void ShowPercent(int tag, int percent);
  void Finish(int tag, bool ok, const std::string& error);

  Names names_;
  std::map<int, std::unique_ptr<TranscodeJob>> jobs_;
};

}  // namespace kal
