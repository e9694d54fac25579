#include "tools/ToolJob.h"

#include <algorithm>

#include "ui/WindowRegistry.h"

namespace kal {

int TranscodeProgress::Percent() const {
  if (lengthMs <= 0) return 0;
  const float share = static_cast<float>(positionMs) / static_cast<float>(lengthMs);
  return std::clamp(static_cast<int>(share * 100), 0, 100);
}

std::unique_ptr<TranscodeJob> StartToolJob(int tag, ui::ListKind kind, std::vector<std::string> args,
                                           const std::string& output, std::int64_t lengthMs,
                                           std::string& error) {
  const std::string program = FindFfmpeg();
  if (program.empty()) {
    error = "找不到 ffmpeg 程序";
    return nullptr;
  }
  auto job = std::make_unique<TranscodeJob>(
      [tag, kind](std::int64_t position, std::int64_t length) {
        auto p = std::make_unique<TranscodeProgress>();
        p->tag = tag, p->kind = kind, p->positionMs = position, p->lengthMs = length;
        ui::PostTo(ui::WindowRole::kMain, WMU_TRANSCODE_PROGRESS, 0, 0, std::move(p));
      },
      [tag, kind](const TranscodeResult& result) {
        auto f = std::make_unique<TranscodeFinished>();
        f->tag = tag, f->kind = kind, f->result = result;
        ui::PostTo(ui::WindowRole::kMain, WMU_TRANSCODE_DONE, 0, 0, std::move(f));
      });
  if (!job->Start(program, std::move(args), output, lengthMs, error)) return nullptr;
  return job;
}

}  // namespace kal
