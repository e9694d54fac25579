#pragma once
// Where the window program and the accessibility helper are, for tests that
// drive the program from outside (kal_test(... RUNS KalRecorder)).

#include <string>

namespace kaltest {

inline const std::string kProgram = std::string(KAL_BIN_DIR) + "/KalRecorder";
// Finds and clicks controls by role and text (tests/harness/a11y.py).
inline const std::string kA11yScript = std::string(KAL_SOURCE_DIR) + "/tests/harness/a11y.py";
// The same as a shell command aimed at the program: append "VERB ROLE TEXT".
inline const std::string kA11y = "/usr/bin/python3 " + kA11yScript + " KalRecorder";

}  // namespace kaltest
