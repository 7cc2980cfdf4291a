#!/usr/bin/env bash
# The first thumbnail of a long PDF: a 2,000-page sample and the real manuals
# of Debian documentation packages (installed when missing and apt-get works;
# a manual that cannot be had is skipped with a message). Prints the figures.
#
#   bash bench/preview.sh [runs]
#
# "First opening": the dialog opened once in a fresh process, RUNS processes
# (the PDF layer starts cold, as for the first file a person adds). "Later
# openings": RUNS more dialogs in one process. Times run from building the
# dialog to the first thumbnail painted; CPU is the whole process's time
# meanwhile, which other work on the machine disturbs far less than the wall.
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

# Reads "run N: W ms, cpu C ms" lines; prints "median best worst cpu-median".
summary() {
    local lines walls cpus n
    lines=$(cat)
    walls=$(echo "$lines" | awk '{ print $3 }' | sort -g)
    cpus=$(echo "$lines" | awk '{ print $6 }' | sort -g)
    n=$(echo "$walls" | wc -l)
    echo "$(echo "$walls" | sed -n "$((n / 2 + 1))p") $(echo "$walls" | head -1)" \
        "$(echo "$walls" | tail -1) $(echo "$cpus" | sed -n "$((n / 2 + 1))p")"
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "| PDF | pages | first opening: median (best–worst) | its CPU | later openings: median (best–worst) | their CPU | goal | met |"
echo "|---|---|---|---|---|---|---|---|"
for src in 2000 "$MANUAL" "$OCTAVE" "$PGFPLOTS"; do
    [ -n "$src" ] || continue
    first=""
    for _ in $(seq "$RUNS"); do
        first+=$("$BUILD/preview-bench" "$src" 1 2>/dev/null | grep '^run 1:')$'\n'
    done
    all=$("$BUILD/preview-bench" "$src" $((RUNS + 1)) 2>/dev/null)
    pages=$(echo "$all" | sed -nE 's/^pages ([0-9]+),.*/\1/p')
    read -r fm fb fw fc < <(printf '%s' "$first" | summary)
    read -r lm lb lw lc < <(echo "$all" | grep '^run ' | tail -n +2 | summary)
    name=$([ "$src" = 2000 ] && echo "sample (one line of text a page)" || basename "$src")
    met=$(awk -v m="$fm" 'BEGIN{print (m<=150) ? "yes" : "no"}')
    echo "| $name | $pages | $fm ms ($fb–$fw) | $fc ms | $lm ms ($lb–$lw) | $lc ms | ≤ 150 ms | $met |"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
