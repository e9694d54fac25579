#pragma once
// The hand-over format of every sound source and the AAC encoder's input:
// stereo planar float at 44.1 kHz, encoded in frames of 1024 samples.

namespace kal {

inline constexpr int kSoundRate = 44100;
inline constexpr int kSoundFrameSamples = 1024;

}  // namespace kal
