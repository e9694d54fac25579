#include "recorder/CaptureDevices.h"

#include <algorithm>
#include <mutex>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
}

#include "platform/PulseServer.h"

namespace kal {
namespace {

std::string CutToChars(const std::string& s, std::size_t maxChars) {
  std::size_t chars = 0;
  std::size_t pos = 0;
  while (pos < s.size() && chars < maxChars) {
    const unsigned char c = static_cast<unsigned char>(s[pos]);
    pos += c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
    ++chars;
  }
  return s.substr(0, std::min(pos, s.size()));
}

bool IsMonitor(const std::string& name) {
  return name.size() > 8 && name.compare(name.size() - 8, 8, ".monitor") == 0;
}

}  // namespace

void RegisterCaptureDevices() {
  static std::once_flag once;
  std::call_once(once, [] { avdevice_register_all(); });
}

std::vector<CaptureDeviceInfo> EnumerateCaptureDevices(CaptureKind kind) {
  RegisterCaptureDevices();
  std::vector<CaptureDeviceInfo> devices;
  const bool mic = kind == CaptureKind::kMicrophone;
  if (mic && !platform::QueryPulseDefaults(1500).connected) return devices;  // no server: no device
  const AVInputFormat* fmt = av_find_input_format(mic ? "pulse" : "video4linux2,v4l2");
  if (!fmt) return devices;
  AVDeviceInfoList* list = nullptr;
  if (avdevice_list_input_sources(fmt, nullptr, nullptr, &list) < 0 || !list) return devices;
  for (int i = 0; i < list->nb_devices; ++i) {
    const AVDeviceInfo* d = list->devices[i];
    if (!d || !d->device_name) continue;
    const std::string name = d->device_name;
    if (mic && IsMonitor(name)) continue;
    devices.push_back({CutToChars(d->device_description ? d->device_description : name, 127),
                       name});
  }
  if (mic && list->default_device >= 0 && list->default_device < list->nb_devices) {
    const std::string def = list->devices[list->default_device]->device_name;
    std::stable_partition(devices.begin(), devices.end(),
                          [&](const CaptureDeviceInfo& d) { return d.displayName == def; });
  }
  avdevice_free_list_devices(&list);
  return devices;
}

}  // namespace kal
