#pragma once
// Recordings are written as "<name>.<ext>.part" and renamed when finished,
// so a recording cut short by a kill, a crash or a power loss is
// recognisable by its name. Recovery turns such a file into a normal one.
// A recording in progress holds a lock on its ".part" file (FileLock), so
// recovery never takes a file another recording is still writing.

#include <string>
#include <vector>

namespace kal {

inline constexpr const char* kPartSuffix = ".part";

// Copies the streams of `part` into a normal file at `target` (the
// container follows target's extension). True when at least one packet was
// saved and the new file is complete.
bool RemuxToNormalFile(const std::string& part, const std::string& target);

// True when `part` looks like one of our unfinished recordings: named
// "<name>.<ext>.part" with one of the six extensions, in that container,
// with an H.264 picture stream.
bool IsOurUnfinishedRecording(const std::string& part);

// Every unfinished recording in `folder` that no running recording holds is
// made a normal file beside it (its name without ".part"; when that name is
// taken, "-recovered", then "-recovered-2" and so on: an existing file is
// never overwritten or removed). The ".part" file is removed once its copy
// is complete and left alone otherwise. Returns the new files. Any thread.
std::vector<std::string> RecoverUnfinishedRecordings(const std::string& folder);

}  // namespace kal
