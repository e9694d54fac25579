#pragma once
// A stage of the recording pipeline owns one worker thread. What the worker
// throws, and a worker that returns before the stop, is caught at its top:
// the stage tells the listener, which stops the recording, and then runs
// its Ended() as a normal end would (the next stage waits for that, and by
// then sees the stop). The thread carries the stage's name, so that a
// profiler or top shows which stage works.
//
// Whoever owns the stage joins it before destroying it: a worker must not
// run on while the derived stage's members go, as it would when a base
// destructor joined it.

#include <string>
#include <thread>

#include "recorder/SessionState.h"

namespace kal {

class Stage {
 public:
  Stage(const char* name, SessionState& session) : session_(session), name_(name) {}
  virtual ~Stage() = default;
  Stage(const Stage&) = delete;
  Stage& operator=(const Stage&) = delete;

  void Launch();
  void Join();
  const char* Name() const { return name_; }

 protected:
  virtual void Body() = 0;
  // What the following stages wait for: called once the body returns or
  // throws.
  virtual void Ended() {}
  // A sound source that cannot be had ends early and has said so itself;
  // the recording goes on with silence.
  virtual bool MayEndBeforeStop() const { return false; }
  SessionState& session_;

 private:
  void Top();
  const char* name_;
  std::thread thread_;
};

}  // namespace kal
