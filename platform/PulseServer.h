#pragma once
// Questions to the PulseAudio server, each on a short-lived connection that
// never waits longer than its time-out (no server means "nothing there").

#include <string>

namespace platform {

struct PulseDefaults {
  bool connected = false;
  std::string defaultSource;   // name
  std::string sourceDescription;
  bool sourceIsMonitor = false;  // a sink's monitor is no microphone
  bool sourceExists = false;
  std::string defaultSink;
  std::string sinkDescription;
  bool sinkExists = false;
  std::string sinkMonitor;     // the default sink's monitor source
};

// Any thread. Never autospawns a server.
PulseDefaults QueryPulseDefaults(int timeoutMs = 2000);

}  // namespace platform
