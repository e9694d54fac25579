// Process entry of the window program.

#include <cstdio>

#include <glog/logging.h>

#include "app/LogSetup.h"
#include "config/ConfigStore.h"
#include "config/UserFolders.h"

int main(int argc, char** argv) {
  const std::string logFolder = kal::GetUserDataFolder(kal::kLogFolder);
  kal::DeleteOldLogs(logFolder, kal::TodayStamp());
  kal::LogSession log("KalRecorder", logFolder);
  LOG(INFO) << "KalRecorder started, configuration " << kal::ConfigStore::Instance()->Path();
  return 0;
}
