#pragma once
// Short trace lines of the worker threads on standard output ("video read
// thread exit"). They are not part of the log; a command-line front end that
// owns standard output switches them off.

namespace kal {
void SetTraceEnabled(bool enabled);
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
}  // namespace kal
