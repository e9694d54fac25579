#include "recorder/Trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "recorder/ClickFlags.h"

namespace kal {

std::atomic<bool> leftClickSeen{false};
std::atomic<bool> rightClickSeen{false};

namespace {
std::atomic<bool> g_traceEnabled{true};
}

void SetTraceEnabled(bool enabled) { g_traceEnabled = enabled; }

void Trace(const char* format, ...) {
  if (!g_traceEnabled) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
}

}  // namespace kal
