#pragma once
// Whether the sound server has a default microphone and a default playback
// device. No server counts as neither, and the answer never hangs.

#include <string>

namespace kal {

// True when the default source exists and is a real capture device (not a
// playback device's monitor); its description goes to `name`. Any thread.
bool HasDefaultCaptureEndpoint(std::string& name);
// True when the default sink exists. Any thread.
bool HasDefaultRenderEndpoint();

}  // namespace kal
