#pragma once
// The list of recorded files under the record page: what the output folder
// holds at start-up, each new recording as it is finished, and left-over
// unfinished recordings, which are made normal files beside the window and
// join the list when they are ready. The lengths of the files found at
// start-up are read in the background: a folder of hundreds of recordings
// does not hold the window back. Each row plays its file with the
// desktop's player, sends it to the cut page, and has a menu: open its
// folder, rename, remove from the list, delete (into the desktop's trash).

#include <QObject>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "mainwnd/Controller.h"
#include "mainwnd/FileRows.h"

namespace kal {

class CutPage;

class RecordedFileList : public Controller {
 public:
  static constexpr const char* kList = "listview";
  static constexpr const char* kPlay = "playBtn";
  static constexpr const char* kCut = "recorderCutBtn";
  static constexpr const char* kMenu = "listMenuBtn";
  static constexpr const char* kRowControls[] = {FileRows::kName, FileRows::kSize, FileRows::kDuration,
                                                 kPlay, kCut, kMenu};
  static constexpr RowSkin kRowSkin{"VideoListContainerElement.xml", ui::ListKind::kRecorded,
                                    kRowControls};

  RecordedFileList(MainHost& host, FileRecords& records, CutPage& cut)
      : host_(host), rows_(records, kRowSkin), cut_(cut) {}
  ~RecordedFileList() override;
  ui::ControlList Controls() const override;
  // Fills the list and starts the recovery of left-over recordings.
  void Init() override;
  bool Notify(const ui::TNotifyUI& msg) override;
  bool Handle(ui::Message& msg) override;
  bool OnTimer(int id) override;

  // Adds a finished file (with its size) and scrolls to it. UI thread.
  void Add(const std::string& path);
  // The folder new recordings go to, made when missing (see
  // ResolveOutputFolder).
  const std::string& Folder() const { return folder_; }
  void RefreshFolder();
  FileRows& Rows() { return rows_; }

 private:
  void ShowRecovered(const std::vector<std::string>& files);
  void Rename(int tag);
  void Delete(int tag);
  void Tell(const QString& text);

  MainHost& host_;
  FileRows rows_;
  CutPage& cut_;
  std::string folder_;
  QObject replies_;  // what the background threads post comes here; dropped once it is gone
  std::atomic<bool> stop_{false};
  std::thread recovery_;  // makes left-over recordings normal files
  std::thread probe_;     // reads the lengths of the files found at start-up
};

// The folder new recordings go to: "output-dir", else "KAL屏幕录制" in the
// user's Documents folder (the Desktop when Documents is missing). Created
// when missing.
std::string ResolveOutputFolder();

}  // namespace kal
