#!/usr/bin/env bash
# The first thumbnail of a long PDF: a 2,000-page sample and the real manuals
# of Debian documentation packages (installed when missing and apt-get works;
# a manual that cannot be had is skipped with a message). Prints the figures.
#
#   bash bench/preview.sh [runs]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BENCH_BUILD:-$ROOT/build}
RUNS=${1:-15}
log() { echo "bench: $*" >&2; }
# shellcheck source=bench/manuals.sh
. "$ROOT/bench/manuals.sh"
find_manuals
command -v pdfinfo >/dev/null || install_pkg poppler-utils || true

cmake --build "$BUILD" --target preview-bench >/dev/null
export QT_QPA_PLATFORM=offscreen
echo "| PDF | pages | median | best | worst | goal | met |"
echo "|---|---|---|---|---|---|---|"
for src in 2000 "$MANUAL" "$OCTAVE" "$PGFPLOTS"; do
    [ -n "$src" ] || continue
    line=$("$BUILD/preview-bench" "$src" "$RUNS" | tail -1)
    # "pages N, runs R: median M ms, best B ms, worst W ms"
    read -r pages median best worst < <(echo "$line" |
        sed -E 's/pages ([0-9]+), runs [0-9]+: median ([0-9.]+) ms, best ([0-9.]+) ms, worst ([0-9.]+) ms/\1 \2 \3 \4/')
    name=$([ "$src" = 2000 ] && echo "sample (one line of text a page)" || basename "$src")
    met=$(awk -v m="$median" 'BEGIN{print (m<=150) ? "yes" : "no"}')
    echo "| $name | $pages | $median ms | $best ms | $worst ms | ≤ 150 ms | $met |"
done
