#include "mainwnd/ToolPage.h"

namespace kal {
namespace {

constexpr const char* kCut[] = {
    "player-area", "video-slider", "play", "pause", "stop", "rewind", "forward", "duration",
    "sound-slider", "starttime-hour", "starttime-min", "starttime-sec", "starttime-milli",
    "endtime-hour", "endtime-min", "endtime-sec", "endtime-milli", "get-starttime",
    "get-endtime", "video-cut-btn", "video-cut-progress", "video-cut-progress-label", "video-cut-notice",
    "video-dir-btn", "add-video-file"};
constexpr const char* kConvert[] = {"video-convert-format", "video-convert-ratio",
                                    "add-convert-file", "convert-list"};
constexpr const char* kCompress[] = {
    "compress-type-general", "compress-type-deep", "compress-type-limit", "compress-radio-mp4",
    "compress-radio-flv", "video-compress-ratio", "video-compress-check", "video-compress-slider",
    "video-compress-label", "video-compress-balanced-check", "add-compress-file", "compress-list"};

}  // namespace

const ui::ControlList kCutPageControls = kCut;
const ui::ControlList kConvertPageControls = kConvert;
const ui::ControlList kCompressPageControls = kCompress;

}  // namespace kal
