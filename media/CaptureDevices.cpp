#include "media/CaptureDevices.h"

#include <algorithm>
#include <mutex>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
}

#include "platform/PrivateProfile.h"
#include "platform/PulseServer.h"

namespace kal {
namespace {

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
    // At most 127 characters, as a 128-character name buffer holds.
    std::string friendly;
    platform::CutToBuffer(d->device_description ? d->device_description : name, friendly, 128);
    devices.push_back({friendly, name});
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
