#!/usr/bin/env bash
# Builds with clang's sanitizers and runs the tests under them; any report
# fails the run.
#
#   scripts/sanitize.sh [asan|tsan|fuzz|all]...   (default: all)
#
# asan: built with AddressSanitizer + UndefinedBehaviorSanitizer (with the
#       fuzz targets) into build-asan/, and the tests listed below run there.
# tsan: the engine and its tests built with ThreadSanitizer into build-tsan/,
#       and the engine's tests run there.
# fuzz: each fuzz target of build-asan/ run for $FUZZ_SECONDS (default 20)
#       from its seed corpus in tests/fuzz/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh

stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(all)
[ "${stages[*]}" = all ] && stages=(asan tsan fuzz)

supp=$root/tests/sanitizers
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp"
export ASAN_OPTIONS="detect_leaks=1:strict_init_order=1:detect_stack_use_after_return=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
# Whole pictures (8 MB at 1080p) are copied many times a second; checked
# byte-range by byte-range the engine falls far behind real time and the
# recording tests measure the slowdown instead of the code. Copies are left
# unchecked (ignore_interceptors_accesses); every load and store of our own
# code, every lock and every atomic still is.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_interceptors_accesses=1:suppressions=$supp/tsan.supp"

configure() {  # build-dir sanitizers extra-cmake-args...
  local dir=$1 san=$2
  shift 2
  CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
    -DKAL_SANITIZE="$san" "$@" >/dev/null
}

# Under AddressSanitizer: every test of the engine, the command line and
# the units, each fuzz target's corpus, and the windows that run threads or
# processes of their own (player, camera preview, jobs, the record page,
# the session's end). The windows that only draw and take input (hotkeys,
# pause box, region, tray, annotation, the tool pages) run in the plain
# build; ASAN_ALL=1 runs them here too.
asan_windows=(mainwnd_test player_test tool_jobs_test camera_window_test session_end_test
              window_layer_test startup_test overlay_test settings_dialog_test)

asan() {
  configure build-asan address,undefined -DKAL_FUZZ=ON \
    -DCMAKE_CXX_FLAGS="-fno-sanitize-recover=all" -DCMAKE_C_FLAGS="-fno-sanitize-recover=all"
  if [ "${ASAN_ALL:-0}" = 1 ]; then
    cmake --build build-asan -j "$(nproc)"
    bash scripts/run-ctest.sh build-asan
    return
  fi
  local tests=() fuzzers=() name
  mapfile -t tests < <(cd build-asan && ctest -N -L '^(unit|engine|cli)$' | awk '/Test +#/ {print $3}')
  tests+=("${asan_windows[@]}")
  for seeds in tests/fuzz/corpus/*/; do fuzzers+=("$(basename "$seeds")"); done
  cmake --build build-asan -j "$(nproc)" --target "${tests[@]}" "${fuzzers[@]}"
  local regex
  regex="^($(IFS='|'; echo "${tests[*]}")|.*_fuzz_corpus)\$"
  bash scripts/run-ctest.sh build-asan -R "$regex"
}

tsan() {
  configure build-tsan thread
  local tests=(recorder_unit_test recorder_test recorder_sound_test recorder_source_loss_test
               watermark_camera_test)
  cmake --build build-tsan -j "$(nproc)" --target "${tests[@]}"
  local regex
  regex="^($(IFS='|'; echo "${tests[*]}"))\$"
  bash scripts/run-ctest.sh build-tsan -R "$regex"
}

fuzz() {
  [ -d build-asan ] || asan
  local seconds=${FUZZ_SECONDS:-20} work
  work=$(mktemp -d)
  trap 'rm -rf "$work"' RETURN
  for seeds in tests/fuzz/corpus/*/; do
    local name
    name=$(basename "$seeds")
    mkdir -p "$work/$name"
    echo "== $name: ${seconds}s"
    # New inputs go to the scratch folder (the first); the seeds stay as
    # they are. A finding is written to build-asan/ as <name>-crash-*.
    if ! build-asan/bin/"$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="build-asan/$name-" \
        "$work/$name" "$seeds" 2>"$work/$name.log"; then
      tail -n 60 "$work/$name.log" >&2
      echo "$name found a fault; the input is in build-asan/$name-*" >&2
      return 1
    fi
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$work/$name.log" || true
  done
}

for s in "${stages[@]}"; do
  case "$s" in
    asan|tsan|fuzz) echo "### $s"; SECONDS=0; "$s"; echo "### $s took ${SECONDS}s" ;;
    *) echo "unknown stage '$s' (asan, tsan, fuzz or all)" >&2; exit 2 ;;
  esac
done
