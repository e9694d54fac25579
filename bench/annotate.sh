#!/usr/bin/env bash
# Drawing benchmark: each move of a long pen stroke over 200 shapes on a
# 2560x1440 canvas, as the canvas paints it (the changed part only) and as
# a full redraw of every shape would. Prints the figures and, last,
# move_ratio=ours/full-redraw. The target is a move under 8 ms.
#
#   bench/annotate.sh   (builds first unless SKIP_BUILD=1)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ "${SKIP_BUILD:-0}" = 1 ] || bash "$root/scripts/build.sh" >/dev/null
QT_QPA_PLATFORM=offscreen "$root/build/bin/kal_bench_annotate"
