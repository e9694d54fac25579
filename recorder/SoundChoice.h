#pragma once
// Which sound sources a session really records, from what the settings
// ask for and which devices exist.

#include <functional>
#include <string>

#include "recorder/RecorderTypes.h"
#include "recorder/SessionSettings.h"

namespace kal {

// Narrows settings.voiceSource to the sources that exist and tells
// `missing` about each wanted one that does not (never silently left out).
// True when the session records no sound at all.
bool ChooseSoundSources(SessionSettings& settings,
                        const std::function<void(SoundSource, const std::string&)>& missing);

}  // namespace kal
