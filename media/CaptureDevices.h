#pragma once
// Capture devices as FFmpeg's input devices list them: PulseAudio sources
// ("pulse") for microphones, video4linux2 ("v4l2") for cameras.

#include <string>
#include <vector>

namespace kal {

struct CaptureDeviceInfo {
  std::string friendlyName;  // the device's description, at most 127 characters
  std::string displayName;   // the name FFmpeg opens it by
};

enum class CaptureKind { kMicrophone, kCamera };

// Registers FFmpeg's input devices once per process. Any thread.
void RegisterCaptureDevices();

// The devices of one kind in the order the system reports them, except that
// the sound server's default source comes first. Monitors of playback
// devices are no microphones and are left out. Any thread.
std::vector<CaptureDeviceInfo> EnumerateCaptureDevices(CaptureKind kind);

}  // namespace kal
