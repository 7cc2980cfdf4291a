#!/usr/bin/env bash
# Measures mervo side by side with qpdf, pdfunite and pdfinfo on the same
# inputs, prints a table of ratios and adds it, with machine and date, to
# bench/RESULTS.md.
#
#   bash bench/run.sh            everything
#   BENCH_QUICK=1 bash bench/run.sh   smaller counts, for trying the script
#
# Installs its peers (qpdf, poppler-utils, time, strace) and Debian
# documentation packages with large real manuals (r-doc-pdf, octave-doc,
# texlive-pictures-doc) when missing and apt-get works; rows whose inputs are
# missing are skipped and say so.
#
# The machine may be shared: every figure is the best of BENCH_REPS runs, and
# the table gives ratios to a peer run the same way, not absolute times.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BENCH_BUILD:-$ROOT/build-bench}
RESULTS=$ROOT/bench/RESULTS.md
WORK=$(mktemp -d /tmp/mervo-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
QUICK=${BENCH_QUICK:-0}
REPS=${BENCH_REPS:-3}
LIMIT=${BENCH_LIMIT:-600} # seconds a single run may take before its figure reads "over"

ROWS_EACH=200; ROWS_ONE=200; ROWS_LONG=800; COUNT_FILES=2000; LIST_ROWS=100000; LOAD_ROWS=1000000
if [ "$QUICK" = 1 ]; then ROWS_EACH=40; ROWS_ONE=40; ROWS_LONG=200; COUNT_FILES=200; LIST_ROWS=10000; LOAD_ROWS=100000; REPS=1; fi
LOAD_START=$(cut -d' ' -f1-3 /proc/loadavg)

log() { echo "bench: $*" >&2; }

# ---- peers and inputs -------------------------------------------------------
# shellcheck source=bench/manuals.sh
. "$ROOT/bench/manuals.sh"
command -v qpdf >/dev/null || install_pkg qpdf || { log "qpdf missing"; exit 1; }
command -v pdfinfo >/dev/null && command -v pdfunite >/dev/null || install_pkg poppler-utils ||
    { log "poppler-utils missing"; exit 1; }
[ -x /usr/bin/time ] || install_pkg time || { log "/usr/bin/time missing"; exit 1; }
command -v strace >/dev/null || install_pkg strace || log "strace missing: the per-row figure is skipped"

find_manuals

log "building (Release) in $BUILD"
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$ROOT/..}
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
nice cmake --build "$BUILD" --target mervo make-sample-pdf joblist-bench count-bench >/dev/null
MERVO=$BUILD/mervo
MAKE_SAMPLE=$BUILD/make-sample-pdf
export QT_QPA_PLATFORM=offscreen

log "making inputs in $WORK"
mkdir -p "$WORK/src"
for i in $(seq -w 1 "$ROWS_LONG"); do
    [ "$i" -le 3 ] 2>/dev/null && "$MAKE_SAMPLE" "$WORK/src/s$i.pdf" "s$i" 10 >/dev/null && continue
    # Generating 800 files costs more than the runs; the layout of a copy is the same.
    sed "s/s001 p/s$i p/" "$WORK/src/s001.pdf" >"$WORK/src/s$i.pdf" 2>/dev/null || cp "$WORK/src/s001.pdf" "$WORK/src/s$i.pdf"
done
mkdir -p "$WORK/count"
for i in $(seq 1 "$COUNT_FILES"); do cp "$WORK/src/s001.pdf" "$WORK/count/c$i.pdf"; done

# ---- measuring --------------------------------------------------------------
# measure VAR DIR CMD...: best wall time and best CPU time (user+sys) over
# REPS runs of CMD in DIR (a fresh copy of DIR's start state each time: outputs
# and the log removed). Sets VAR_wall, VAR_cpu and VAR_rss (peak kB of the
# fastest run).
measure() {
    local var=$1 dir=$2; shift 2
    local best_wall="" best_cpu="" best_rss=""
    for _ in $(seq 1 "$REPS"); do
        rm -rf "$dir/out" "$dir/append.log"; mkdir -p "$dir/out"
        local rc=0
        (cd "$dir" && timeout -s KILL "$LIMIT" /usr/bin/time -f "%e %U %S %M" -o "$WORK/time.txt" "$@" >/dev/null 2>"$WORK/stderr.txt") || rc=$?
        if [ $rc = 137 ]; then
            log "$var: stopped after $LIMIT s"
            printf -v "${var}_wall" '%s' "$LIMIT"; printf -v "${var}_cpu" '%s' "$LIMIT"; printf -v "${var}_rss" '%s' 0
            OVER+=("$var")
            return 0
        fi
        [ $rc = 0 ] || { log "$var failed: $*"; cat "$WORK/stderr.txt" >&2; return 1; }
        read -r wall user sys rss <"$WORK/time.txt"
        local cpu; cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN{printf "%.2f", u+s}')
        if [ -z "$best_wall" ] || awk -v a="$wall" -v b="$best_wall" 'BEGIN{exit !(a<b)}'; then
            best_wall=$wall; best_rss=$rss
        fi
        # CPU time is the steadier figure on a shared machine: its own best.
        if [ -z "$best_cpu" ] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN{exit !(a<b)}'; then best_cpu=$cpu; fi
    done
    printf -v "${var}_wall" '%s' "$best_wall"
    printf -v "${var}_cpu" '%s' "$best_cpu"
    printf -v "${var}_rss" '%s' "$best_rss"
}

# Every output a figure wrote must pass qpdf --check.
check_outputs() {
    local f
    for f in "$1"/out/*.pdf; do
        [ -e "$f" ] || continue
        qpdf --check "$f" >/dev/null 2>&1 || { log "qpdf --check failed: $f"; CHECK_FAILED=1; }
    done
}
CHECK_FAILED=0
OVER=()

# batch DIR ROWS OUTPUT_PATTERN CREATE: a batch file of ROWS rows of 10 pages;
# OUTPUT_PATTERN "each" gives every row its own output.
batch() {
    local dir=$1 rows=$2 mode=$3 create=$4 i out
    mkdir -p "$dir"; : >"$dir/job.app"
    for i in $(seq -w 1 "$rows"); do
        [ ${#i} -lt 3 ] && i=$(printf %03d "$((10#$i))")
        if [ "$mode" = each ]; then out=out/o$i.pdf; else out=out/all.pdf; fi
        printf '%s; all; ; ; ; %s; N; %s; Y; N\r\r\n' "$WORK/src/s$i.pdf" "$out" "$create" >>"$dir/job.app"
    done
}

FIG=(); MERVO_T=(); PEER_T=(); RATIO=(); CPU_RATIO=(); GOAL=(); MET=(); MEM=(); NOTES=()
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{ if (b<=0) b=0.005; printf "%.3f", a/b }'; }
MEM_GOAL=1.3 # peak memory against the peer's, on every row that has one
row() { # figure mervo_wall peer_wall mervo_cpu peer_cpu goal mem_ratio [mem_goal]
    local r c met mg=${8:-$MEM_GOAL}
    r=$(ratio "$2" "$3"); c=$(ratio "$4" "$5")
    # Judged on CPU time: on a shared machine the wall clock also counts the
    # time other work held the cores.
    met=$(awk -v r="$c" -v g="$6" 'BEGIN{print (r<=g) ? "yes" : "no"}')
    if [ -n "${7:-}" ] && [ "$7" != - ]; then
        met="$met; memory ≤ $mg: $(awk -v m="$7" -v g="$mg" 'BEGIN{print (m<=g) ? "yes" : "no"}')"
    fi
    FIG+=("$1"); MERVO_T+=("$2"); PEER_T+=("$3"); RATIO+=("$r"); CPU_RATIO+=("$c"); GOAL+=("≤ $6"); MET+=("$met"); MEM+=("${7:--}")
}
skip() { FIG+=("$1"); MERVO_T+=("-"); PEER_T+=("-"); RATIO+=("-"); CPU_RATIO+=("-"); GOAL+=("$2"); MET+=("skipped: $3"); MEM+=("-"); }
memratio() { ratio "$1" "$2"; }

# 1. Each row into its own output vs a loop of one qpdf per file.
log "figure: $ROWS_EACH rows, each into its own output"
batch "$WORK/each" "$ROWS_EACH" each Y
measure m_each "$WORK/each" "$MERVO" job.app -r -q
check_outputs "$WORK/each"
cat >"$WORK/each/qpdf-loop.sh" <<EOF
for i in \$(seq -f %03g 1 $ROWS_EACH); do qpdf --empty --pages "$WORK/src/s\$i.pdf" -- out/o\$i.pdf; done
EOF
measure q_each "$WORK/each" bash qpdf-loop.sh
row "$ROWS_EACH rows of 10 pages, each into its own output, vs a loop of one qpdf per file" \
    "$m_each_wall" "$q_each_wall" "$m_each_cpu" "$q_each_cpu" 0.3 "$(memratio "$m_each_rss" "$q_each_rss")"

# 2. All rows into one output vs one qpdf --empty --pages (and pdfunite for reference).
log "figure: $ROWS_ONE rows into one output"
batch "$WORK/one" "$ROWS_ONE" one N
measure m_one "$WORK/one" "$MERVO" job.app -r -q
check_outputs "$WORK/one"
ONE_SOURCES=$(for i in $(seq -f %03g 1 "$ROWS_ONE"); do printf '%s ' "$WORK/src/s$i.pdf"; done)
# shellcheck disable=SC2086
measure q_one "$WORK/one" qpdf --empty --pages $ONE_SOURCES -- out/all.pdf
# shellcheck disable=SC2086
measure u_one "$WORK/one" pdfunite $ONE_SOURCES out/all.pdf
row "$ROWS_ONE rows of 10 pages into one output vs one qpdf --empty --pages" \
    "$m_one_wall" "$q_one_wall" "$m_one_cpu" "$q_one_cpu" 2 "$(memratio "$m_one_rss" "$q_one_rss")"
row "$ROWS_ONE rows of 10 pages into one output vs one pdfunite (reference)" \
    "$m_one_wall" "$u_one_wall" "$m_one_cpu" "$u_one_cpu" 2 "$(memratio "$m_one_rss" "$u_one_rss")"

# 3. The last 50 rows of 800 into one output vs its first 50, in one run: the
#    row ends are the syncs of the log, timed by strace.
if command -v strace >/dev/null; then
    log "figure: last 50 of $ROWS_LONG rows vs first 50"
    batch "$WORK/long" "$ROWS_LONG" one N
    rm -rf "$WORK/long/out" "$WORK/long/append.log"; mkdir -p "$WORK/long/out"
    (cd "$WORK/long" && strace -f -qq --seccomp-bpf -ttt -y -e trace=fsync -o "$WORK/long/trace.txt" "$MERVO" job.app -r -q >/dev/null 2>&1)
    check_outputs "$WORK/long"
    grep 'append.log>' "$WORK/long/trace.txt" | awk '{print $2}' >"$WORK/long/ends.txt"
    n=$(wc -l <"$WORK/long/ends.txt")
    if [ "$n" -ge 101 ]; then
        first=$(awk 'NR==1{a=$1} NR==51{print $1-a}' "$WORK/long/ends.txt")
        last=$(awk -v n="$n" 'NR==n-50{a=$1} NR==n{print $1-a}' "$WORK/long/ends.txt")
        row "the last 50 rows of $ROWS_LONG into one output vs its first 50 (seconds: last, first)" \
            "$first" "$first" 0 0 1.2
        # row() took first/first; put the real pair in.
        k=$((${#FIG[@]} - 1))
        MERVO_T[$k]=$last; PEER_T[$k]=$first; RATIO[$k]=$(ratio "$last" "$first"); CPU_RATIO[$k]="-"
        MET[$k]=$(awk -v r="${RATIO[$k]}" 'BEGIN{print (r<=1.2) ? "yes" : "no"}')
    else
        skip "the last 50 rows of $ROWS_LONG into one output vs its first 50" "≤ 1.2" "only $n rows logged"
    fi
else
    skip "the last 50 rows of $ROWS_LONG into one output vs its first 50" "≤ 1.2" "no strace"
fi

# manual_row NAME PATH SEL GOAL PEER: one row of a real manual, bookmarks
# kept, against qpdf doing the same selection: PEER "empty" for
# qpdf --empty --pages SRC SEL -- OUT, "dot" for what a qpdf user types to copy
# a file's pages (qpdf SRC --pages . SEL -- OUT). Real manuals draw warnings
# from qpdf (the pgfplots manual's form), which are no failure here.
manual_row() {
    local name=$1 src=$2 sel=$3 goal=$4 peer=$5 range pages d
    pages=$(pdfinfo "$src" 2>/dev/null | awk '/^Pages:/{print $2}')
    d="$WORK/real-$name-$sel-$peer"; mkdir -p "$d"
    printf '%s; %s; ; ; ; out/m.pdf; Y; Y; N; N\r\r\n' "$src" "$sel" >"$d/job.app"
    log "figure: $name ($pages pages), $sel, vs qpdf ($peer)"
    measure m_real "$d" "$MERVO" job.app -r -q
    check_outputs "$d"
    if [ "$sel" = all ]; then range=1-z; else range=1-z:odd; fi
    if [ "$peer" = empty ]; then
        measure q_real "$d" qpdf --warning-exit-0 --empty --pages "$src" "$range" -- out/q.pdf
        peer="qpdf --empty --pages SRC $range"
    else
        measure q_real "$d" qpdf --warning-exit-0 "$src" --pages . "$range" -- out/q.pdf
        peer="qpdf SRC --pages . $range"
    fi
    row "$name ($pages pages), $sel with bookmarks kept, vs $peer" \
        "$m_real_wall" "$q_real_wall" "$m_real_cpu" "$q_real_cpu" "$goal" "$(memratio "$m_real_rss" "$q_real_rss")"
}

# 4/5. A real manual of 1,000+ pages, bookmarks kept.
if [ -n "$MANUAL" ]; then
    manual_row "$(basename "$MANUAL")" "$MANUAL" all 1.5 dot
    manual_row "$(basename "$MANUAL")" "$MANUAL" odd 2 dot
else
    skip "a 1,000+-page real manual, all with bookmarks kept" "≤ 1.5" "no manual (apt-get install r-doc-pdf)"
    skip "the same manual, odd with bookmarks kept" "≤ 2" "no manual"
fi

# 5b. Real manuals nobody here wrote, one row each.
# manual_rows NAME PATH PACKAGE: odd and all against qpdf's selection, and the
# whole copy against qpdf copying its own pages.
manual_rows() {
    if [ -n "$2" ]; then
        manual_row "$1" "$2" odd 1.5 empty
        manual_row "$1" "$2" all 1.1 empty
        manual_row "$1" "$2" all 1.2 dot
    else
        skip "$1, odd and all with bookmarks kept" "≤ 1.5, ≤ 1.1, ≤ 1.2" "no manual (apt-get install $3)"
    fi
}
manual_rows "Octave's manual" "$OCTAVE" octave-doc
manual_rows "the pgfplots manual" "$PGFPLOTS" texlive-pictures-doc

# 5c. 18 real manuals into one output, one row each, bookmarks kept, against
#     one qpdf --empty --pages of all of them.
MANUALS=()
for f in "$OCTAVE" "$PGFPLOTS" "$MANUAL"; do [ -n "$f" ] && MANUALS+=("$f"); done
if [ -d /usr/share/doc/texlive-doc/latex ]; then
    while IFS= read -r f; do
        [ ${#MANUALS[@]} -ge 18 ] && break
        case " ${MANUALS[*]} " in *" $f "*) continue ;; esac
        pdfinfo "$f" >/dev/null 2>&1 && MANUALS+=("$f")
    done < <(find /usr/share/doc/texlive-doc/latex -name '*.pdf' -size +500k | sort)
fi
if [ ${#MANUALS[@]} -ge 18 ]; then
    log "figure: 18 real manuals into one output"
    d="$WORK/real-18"; mkdir -p "$d"; : >"$d/job.app"
    for f in "${MANUALS[@]}"; do printf '%s; all; ; ; ; out/all.pdf; Y; N; N; N\r\r\n' "$f" >>"$d/job.app"; done
    measure m_18 "$d" "$MERVO" job.app -r -q
    check_outputs "$d"
    measure q_18 "$d" qpdf --warning-exit-0 --empty --pages "${MANUALS[@]}" -- out/q.pdf
    row "18 real manuals into one output, one row each, bookmarks kept, vs one qpdf --empty --pages" \
        "$m_18_wall" "$q_18_wall" "$m_18_cpu" "$q_18_cpu" 1.5 "$(memratio "$m_18_rss" "$q_18_rss")"
else
    skip "18 real manuals into one output, one row each" "≤ 1.5" "only ${#MANUALS[@]} manuals (apt-get install texlive-pictures-doc)"
fi

# 5d. An outline of 200,000 items, copied with the whole document: peak
#     memory against qpdf keeping the same outline (qpdf SRC --pages . 1-z).
log "figure: an outline of 200,000 items"
mkdir -p "$WORK/outline"
"$MAKE_SAMPLE" "$WORK/outline/big.pdf" big 1000 --outline-items 200000 >/dev/null
printf '%s; all; ; ; ; out/m.pdf; Y; Y; N; N\r\r\n' "$WORK/outline/big.pdf" >"$WORK/outline/job.app"
measure m_ol "$WORK/outline" "$MERVO" job.app -r -q
check_outputs "$WORK/outline"
measure q_ol "$WORK/outline" qpdf "$WORK/outline/big.pdf" --pages . 1-z -- out/q.pdf
row "an outline of 200,000 items (1,000 pages), all with bookmarks kept, vs qpdf SRC --pages . 1-z (goal: memory)" \
    "$m_ol_wall" "$q_ol_wall" "$m_ol_cpu" "$q_ol_cpu" 1000 "$(memratio "$m_ol_rss" "$q_ol_rss")" 2

# 6. Counting the pages of many files vs a loop of pdfinfo.
log "figure: counting the pages of $COUNT_FILES files"
measure m_count "$WORK/count" "$MERVO" -q "$WORK"/count/c*.pdf
cat >"$WORK/count/pdfinfo-loop.sh" <<EOF
for f in "$WORK"/count/c*.pdf; do pdfinfo "\$f" >/dev/null; done
EOF
measure p_count "$WORK/count" bash pdfinfo-loop.sh
row "counting the pages of $COUNT_FILES files vs a loop of pdfinfo" \
    "$m_count_wall" "$p_count_wall" "$m_count_cpu" "$p_count_cpu" 0.02 "$(memratio "$m_count_rss" "$p_count_rss")"

# 6b. Page counts in one process: poppler (the program's page counter, its
#     named dependency) against qpdf alone, on the same files, and what each
#     makes of the tests' hostile kinds of file.
log "figure: page counts, poppler vs qpdf alone"
if timeout -s KILL "$LIMIT" "$BUILD/count-bench" "$COUNT_FILES" >"$WORK/count-bench.txt" 2>/dev/null; then
    read -r _ _ _ c_pop _ _ _ _ c_qpdf _ < <(grep '^files' "$WORK/count-bench.txt")
    row "counting the pages of $COUNT_FILES files in one process, poppler (kept) vs qpdf alone (CPU s)" \
        "$c_pop" "$c_qpdf" "$c_pop" "$c_qpdf" 1
    DIFFER=$(awk '/^kind/ && $4 != $8 {printf "%s%s (poppler %s, qpdf %s)", n++ ? ", " : "", $2, $4, $8}' "$WORK/count-bench.txt")
    NOTES+=("Page counts, hostile files: poppler and qpdf differ on ${DIFFER:-none}; poppler stays the page counter (the program's named dependency for counting pages).")
else
    skip "counting the pages of $COUNT_FILES files, poppler vs qpdf alone" "≤ 1" "count-bench failed"
fi

# 7. Start-up: 50 starts each, and one one-row job vs one qpdf merge.
log "figure: start-up"
cat >"$WORK/starts.sh" <<EOF
for i in \$(seq 50); do "\$@" >/dev/null; done
EOF
measure m_ver "$WORK" bash "$WORK/starts.sh" "$MERVO" --version
measure q_ver "$WORK" bash "$WORK/starts.sh" qpdf --version
row "50 × mervo --version vs 50 × qpdf --version" \
    "$m_ver_wall" "$q_ver_wall" "$m_ver_cpu" "$q_ver_cpu" 2
batch "$WORK/onerow" 1 one N
cat >"$WORK/onerow/mervo-20.sh" <<EOF
for i in \$(seq 20); do rm -f out/all.pdf append.log; "$MERVO" job.app -r -q >/dev/null; done
EOF
cat >"$WORK/onerow/qpdf-20.sh" <<EOF
for i in \$(seq 20); do qpdf --empty --pages "$WORK/src/s001.pdf" -- out/all.pdf; done
EOF
measure m_row1 "$WORK/onerow" bash mervo-20.sh
measure q_row1 "$WORK/onerow" bash qpdf-20.sh
measure m_row1mem "$WORK/onerow" "$MERVO" job.app -r -q
measure q_row1mem "$WORK/onerow" qpdf --empty --pages "$WORK/src/s001.pdf" -- out/all.pdf
check_outputs "$WORK/onerow"
row "20 × a one-row job vs 20 × one qpdf merge" \
    "$m_row1_wall" "$q_row1_wall" "$m_row1_cpu" "$q_row1_cpu" 1.5 "$(memratio "$m_row1mem_rss" "$q_row1mem_rss")"

# 8. The job list: rows added (missing files), sorted on the file name, half deleted.
log "figure: $LIST_ROWS job-list rows"
read -r list_add list_sort list_del < <(timeout -s KILL "$LIMIT" "$BUILD/joblist-bench" "$LIST_ROWS") || { list_add=over; list_sort=over; list_del=over; }
for pair in "added:$list_add" "sorted on the file name:$list_sort" "half deleted:$list_del"; do
    what=${pair%%:*}; secs=${pair##*:}
    FIG+=("$LIST_ROWS job-list rows $what (seconds)"); MERVO_T+=("$secs"); PEER_T+=("-"); RATIO+=("-")
    CPU_RATIO+=("-"); GOAL+=("< 1 s"); MEM+=("-")
    MET+=("$(awk -v s="$secs" 'BEGIN{print (s<1) ? "yes" : "no"}')")
done
# Bytes a row at peak for 1,000,000 rows (texts included: ~35-byte file names). Goal: a row
# itself at most 200 bytes beyond its texts, so the whole at most 300 bytes a row here.
BIG_ROWS=1000000; [ "$QUICK" = 1 ] && BIG_ROWS=100000
big_rss=$( { /usr/bin/time -f %M timeout -s KILL "$LIMIT" "$BUILD/joblist-bench" "$BIG_ROWS" >/dev/null; } 2>&1 | tail -1) || big_rss=""
big_per_row=$(awk -v k="$big_rss" -v n="$BIG_ROWS" 'BEGIN{ if (k+0 > 0) printf "%.0f", k*1024/n; else print "over" }')
FIG+=("$BIG_ROWS job-list rows, peak bytes a row"); MERVO_T+=("$big_per_row"); PEER_T+=("-"); RATIO+=("-")
CPU_RATIO+=("-"); GOAL+=("<= 300"); MEM+=("${big_rss:-"-"} kB")
MET+=("$(awk -v s="$big_per_row" 'BEGIN{print (s+0 > 0 && s <= 300) ? "yes" : "no"}')")

# 9. A batch file of LOAD_ROWS rows loaded through mervo without a window and
#    no row selected (~), its sources 200 small PDFs (every row page-counted),
#    and again with every source missing. Goals: half the 73 s the load took
#    (36.5 s; scaled for fewer rows), and at most 200 bytes a row beyond the
#    row's own text (its file name) at peak, over a one-row load's peak.
log "figure: a batch file of $LOAD_ROWS rows loaded"
mkdir -p "$WORK/load"
for i in $(seq 0 199); do cp "$WORK/src/s001.pdf" "$WORK/load/s$i.pdf"; done
awk -v d="$WORK/load" -v n="$LOAD_ROWS" 'BEGIN{for(i=0;i<n;i++) printf "~%s/s%d.pdf; all; ; ; ; out/all.pdf; N; N; Y; N\r\r\n", d, i%200}' >"$WORK/load/rows.app"
awk -v d="$WORK/load/missing" -v n="$LOAD_ROWS" 'BEGIN{for(i=0;i<n;i++) printf "~%s/m%07d.pdf; all; ; ; ; out/all.pdf; N; N; Y; N\r\r\n", d, i}' >"$WORK/load/missing.app"
head -1 "$WORK/load/rows.app" >"$WORK/load/one.app"
LOAD_REPS=$REPS; REPS=1
measure m_load1 "$WORK/load" "$MERVO" one.app -q
for kind in rows missing; do
    measure m_load "$WORK/load" "$MERVO" "$kind.app" -q
    name_len=$(head -1 "$WORK/load/$kind.app" | awk -F';' '{print length($1) - 1}')
    per_row=$(awk -v a="$m_load_rss" -v b="$m_load1_rss" -v n="$LOAD_ROWS" -v t="$name_len" \
        'BEGIN{printf "%.0f", (a - b) * 1024 / n - (t + 1)}')
    goal_s=$(awk -v n="$LOAD_ROWS" 'BEGIN{printf "%.1f", 36.5 * n / 1000000}')
    what="sources exist"; [ $kind = missing ] && what="every source missing"
    FIG+=("$LOAD_ROWS-row batch file loaded by mervo, no row selected, $what (wall s; CPU s)")
    MERVO_T+=("$m_load_wall; $m_load_cpu"); PEER_T+=("-"); RATIO+=("-"); CPU_RATIO+=("-")
    GOAL+=("≤ $goal_s s; ≤ 200 bytes a row beyond its text")
    MET+=("$(awk -v w="$m_load_wall" -v g="$goal_s" 'BEGIN{print (w<=g) ? "yes" : "no"}'); $per_row bytes: $(awk -v b="$per_row" 'BEGIN{print (b<=200) ? "yes" : "no"}')")
    MEM+=("$m_load_rss kB")
done
REPS=$LOAD_REPS

# ---- report -----------------------------------------------------------------
STAMP=$(date -u '+%Y-%m-%d %H:%M UTC')
CPU=$(awk -F': ' '/model name/{print $2; exit}' /proc/cpuinfo)
CORES=$(nproc)
MEMORY=$(awk '/MemTotal/{printf "%.0f GiB", $2/1048576}' /proc/meminfo)
LOAD=$(cut -d' ' -f1-3 /proc/loadavg)
COMMIT=$(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo unknown)
QPDF_V=$(qpdf --version | sed -n 1p) # sed reads it all: head would end qpdf with SIGPIPE, and pipefail the script
POPPLER_V=$(pdfinfo -v 2>&1 | sed -n 1p)
LIBS_MERVO=$(ldd "$MERVO" | wc -l)
LIBS_QPDF=$(ldd "$(command -v qpdf)" | wc -l)

{
    echo
    echo "## $STAMP, commit $COMMIT"
    echo
    echo "Machine: $CPU, $CORES cores, $MEMORY; load average at the start $LOAD_START, at the end $LOAD. Peers: $QPDF_V; $POPPLER_V."
    echo "Best of $REPS runs each (wall and CPU = user+sys, each its own best); ratio = mervo / peer; met is judged on"
    echo "the CPU ratio. Peak memory from the fastest run (/usr/bin/time). Shared libraries: mervo $LIBS_MERVO, qpdf $LIBS_QPDF."
    [ "$CHECK_FAILED" = 0 ] && echo "Every output written passed qpdf --check." || echo "**Some outputs failed qpdf --check.**"
    [ ${#OVER[@]} = 0 ] || echo "Stopped after $LIMIT s (their figures are lower bounds): ${OVER[*]}."
    echo
    echo "| Figure | mervo s | peer s | ratio (wall) | ratio (CPU) | goal | met | peak memory ratio |"
    echo "|---|---|---|---|---|---|---|---|"
    for k in "${!FIG[@]}"; do
        echo "| ${FIG[$k]} | ${MERVO_T[$k]} | ${PEER_T[$k]} | ${RATIO[$k]} | ${CPU_RATIO[$k]} | ${GOAL[$k]} | ${MET[$k]} | ${MEM[$k]} |"
    done
    [ ${#NOTES[@]} = 0 ] || { echo; printf '%s\n' "${NOTES[@]}"; }
} >"$WORK/report.md"

cat "$WORK/report.md"
if [ "$QUICK" != 1 ]; then
    [ -f "$RESULTS" ] || printf '# Benchmark results\n\nWritten by `bash bench/run.sh`; newest last.\n' >"$RESULTS"
    cat "$WORK/report.md" >>"$RESULTS"
    log "added to $RESULTS"
fi
[ "$CHECK_FAILED" = 0 ]
