#pragma once
// Recordings are written as "<name>.part" and renamed when finished, so a
// recording cut short by a kill, a crash or a power loss is recognisable by
// its name. Recovery turns such a file into a normal one.

#include <string>
#include <vector>

namespace kal {

inline constexpr const char* kPartSuffix = ".part";

// Copies the streams of `part` into a normal file at `target` (the
// container follows target's extension). True when at least one packet was
// saved and the new file is complete.
bool RemuxToNormalFile(const std::string& part, const std::string& target);

// Every unfinished recording in `folder` made a normal file beside it (its
// name without ".part"; "-recovered" is added when that name is taken); the
// ".part" file is removed once its copy is complete. Returns the new files.
// Any thread; touches only `folder`.
std::vector<std::string> RecoverUnfinishedRecordings(const std::string& folder);

}  // namespace kal
