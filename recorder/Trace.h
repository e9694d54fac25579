#pragma once
// Short trace lines of the worker threads on standard error ("video read
// thread exit"), never on standard output, which belongs to the front end.
// They are not part of the log; kalrec shows them only with --verbose.

namespace kal {
void SetTraceEnabled(bool enabled);
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
}  // namespace kal
