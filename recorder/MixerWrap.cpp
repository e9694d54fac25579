#include "recorder/MixerWrap.h"

#include <glog/logging.h>

#include "platform/PulseServer.h"

namespace kal {

bool HasDefaultCaptureEndpoint(std::string& name) {
  const platform::PulseDefaults d = platform::QueryPulseDefaults();
  if (!d.sourceExists || d.sourceIsMonitor) return false;
  name = d.sourceDescription;
  return true;
}

bool HasDefaultRenderEndpoint() {
  const platform::PulseDefaults d = platform::QueryPulseDefaults();
  if (d.connected && !d.sinkExists) LOG(ERROR) << "Get Default Audio Endpoint error";
  return d.sinkExists;
}

}  // namespace kal
