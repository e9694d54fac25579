#!/usr/bin/env bash
# Runs ctest in the build folder given; when a test fails, its failed checks
# (and what a sanitizer said) are printed again at the very end, where a
# log cut to its head and tail still shows them.
#
#   scripts/run-ctest.sh BUILD-DIR [ctest arguments...]
set -uo pipefail
dir=$1
shift
cd "$dir" || exit 2
ctest --output-on-failure -j "$(nproc)" "$@"
rc=$?
if [ "$rc" -ne 0 ]; then
  echo "### what failed"
  grep -a -B1 -A4 -E ": Failure$|^\[  FAILED  \] [A-Za-z]|ERROR: (Address|Leak|Thread|Undefined)Sanitizer|runtime error:|Timeout|\*\*\*Exception" \
    Testing/Temporary/LastTest.log | cut -c1-300 | tail -n 120
fi
exit "$rc"
