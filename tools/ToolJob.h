#pragma once
// A transcoder job of a tool page whose progress and end reach the main
// window as messages: WMU_TRANSCODE_PROGRESS with a TranscodeProgress of
// its own for every step (nothing is shared with the reader after the
// post), and one WMU_TRANSCODE_DONE with the TranscodeFinished.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/TranscodeJob.h"
#include "ui/Messages.h"

namespace kal {

struct TranscodeProgress : ui::MessagePayload {
  int tag = -1;
  ui::ListKind kind = ui::ListKind::kConvert;
  std::int64_t positionMs = 0, lengthMs = -1;
  // Whole percent of the length, 0..100; 0 while the length is unknown.
  int Percent() const;
};

struct TranscodeFinished : ui::MessagePayload {
  int tag = -1;
  ui::ListKind kind = ui::ListKind::kConvert;
  TranscodeResult result;
};

// Starts ffmpeg with `args` writing `output` for the row `tag` of the list
// `kind`. `lengthMs` as TranscodeJob::Start. Null, with `error`, when
// ffmpeg is missing or cannot start; nothing is posted then.
std::unique_ptr<TranscodeJob> StartToolJob(int tag, ui::ListKind kind, std::vector<std::string> args,
                                           const std::string& output, std::int64_t lengthMs,
                                           std::string& error);

}  // namespace kal
