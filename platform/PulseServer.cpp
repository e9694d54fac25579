#include "platform/PulseServer.h"

#include <pulse/pulseaudio.h>

#include <chrono>
#include <memory>

#include "platform/PulseLoop.h"

namespace platform {

PulseDefaults QueryPulseDefaults(int timeoutMs) {
  PulseDefaults out;
  PulseLoop loop;
  if (!loop.Connect("kalrecorder-query", timeoutMs)) return out;
  out.connected = true;

  struct Pending {
    PulseDefaults* out;
    int left = 0;
  } pending{&out};

  pending.left = 1;
  pa_operation_unref(pa_context_get_server_info(
      loop.Context(),
      [](pa_context*, const pa_server_info* info, void* user) {
        auto* p = static_cast<Pending*>(user);
        if (info) {
          if (info->default_source_name) p->out->defaultSource = info->default_source_name;
          if (info->default_sink_name) p->out->defaultSink = info->default_sink_name;
        }
        --p->left;
      },
      &pending));
  if (!loop.RunUntil([&] { return pending.left == 0; }, timeoutMs)) return out;

  if (!out.defaultSource.empty()) {
    pending.left = 1;
    pa_operation_unref(pa_context_get_source_info_by_name(
        loop.Context(), out.defaultSource.c_str(),
        [](pa_context*, const pa_source_info* info, int eol, void* user) {
          auto* p = static_cast<Pending*>(user);
          if (eol) {
            --p->left;
            return;
          }
          if (!info) return;
          p->out->sourceExists = true;
          p->out->sourceIsMonitor = info->monitor_of_sink != PA_INVALID_INDEX;
          if (info->description) p->out->sourceDescription = info->description;
        },
        &pending));
    loop.RunUntil([&] { return pending.left == 0; }, timeoutMs);
  }
  if (!out.defaultSink.empty()) {
    pending.left = 1;
    pa_operation_unref(pa_context_get_sink_info_by_name(
        loop.Context(), out.defaultSink.c_str(),
        [](pa_context*, const pa_sink_info* info, int eol, void* user) {
          auto* p = static_cast<Pending*>(user);
          if (eol) {
            --p->left;
            return;
          }
          if (!info) return;
          p->out->sinkExists = true;
          if (info->description) p->out->sinkDescription = info->description;
          if (info->monitor_source_name) p->out->sinkMonitor = info->monitor_source_name;
        },
        &pending));
    loop.RunUntil([&] { return pending.left == 0; }, timeoutMs);
  }
  return out;
}

}  // namespace platform
