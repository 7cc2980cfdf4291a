#!/usr/bin/env bash
# Kills real runs at random moments, twenty times, each time running again
# from the state the kill left.
#
# Default mode: one 200-row, one-output run with moves; after every kill
#   - the output is a whole PDF (qpdf --check) whose page count matches the rows
#     logged in append.log (one page per row), save for the rows a kill caught
#     between their save and their log record, at most one per kill;
#   - no source is lost: each is in its folder or, intact, in the move folder;
# and after a last run that is left to finish, that no temporary file is left.
#
# --concurrent: two, then four runs at once, each with its own 30 sources and
# moves, all appending to one output, each killed and restarted at its own
# random moment; after every round every logged row's pages are in the output
# exactly once per record (read back with pdftotext), save for rows a kill
# caught between save and record (at most one per killed run), no source is
# lost, and after last runs left to finish nothing is left over.
#
# Usage: bench/kill-test.sh [--concurrent] [build-dir] [kills] [rows]
set -euo pipefail
mode=single
if [ "${1:-}" = "--concurrent" ]; then mode=concurrent; shift; fi
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
kills=${2:-20}
if [ "$mode" = concurrent ]; then rows=${3:-30}; else rows=${3:-200}; fi
mervo=$build/mervo
maker=$build/make-sample-pdf
for tool in "$mervo" "$maker" qpdf pdftotext; do
  command -v "$tool" >/dev/null || { echo "kill-test: $tool not found" >&2; exit 2; }
done

work=$(mktemp -d /tmp/kill-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
export QT_QPA_PLATFORM=offscreen
RANDOM=${KILL_TEST_SEED:-$$}

ms_sleep() { sleep "$(printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)))"; }

# A fresh day: once every source is moved out of its folder ($1), all of them
# come back from the move folder ($2); the output keeps growing.
fresh_day() { [ -n "$(ls "$1")" ] || mv "$2"/*.pdf "$1"/; }

# What is wrong with the sources listed in sums (file $3): each must be, intact,
# in its folder ($1) or in the move folder ($2). Empty when nothing is.
sources_verdict() {
  { (cd "$1" && sha256sum -- *.pdf 2>/dev/null || true) | sed 's/^/in /'
    (cd "$2" && sha256sum -- *.pdf 2>/dev/null || true) | sed 's/^/done /'; } |
    awk 'NR == FNR { want[$2] = $1; next }
         { have[$1 "/" $3] = $2 }
         END {
           for (n in want) {
             if (("in/" n) in have) { if (have["in/" n] != want[n]) print "in/" n " changed" }
             else if (("done/" n) in have) { if (have["done/" n] != want[n]) print "done/" n " is not the whole source" }
             else print "source " n " is lost"
           }
         }' "$3" -
}

# ---- several runs on one output ------------------------------------------------

# The state after a round, with every run ended. $1: runs, $2: runs killed so far.
check_shared() {
  local runs=$1 killed=$2 k verdict
  if [ -e out.pdf ]; then
    qpdf --check out.pdf >/dev/null 2>&1 || cfail "out.pdf is not a whole PDF: $(qpdf --check out.pdf 2>&1 | tail -3)"
    pdftotext out.pdf pages.txt 2>/dev/null || cfail "pdftotext cannot read out.pdf"
  else
    : >pages.txt
  fi
  [ -f append.log ] || : >append.log
  # Per source: its page in the output against its records in the log (the
  # sixth field is the source). A killed run may have saved one row it never
  # logged; a page more than that, or any record without its page, is a fault.
  verdict=$(awk -F'\t' -v killed="$killed" '
      FNR == 1 { file++ }
      file == 1 { gsub(/[\r\f]/, ""); if ($0 ~ /^R[0-9]+s[0-9]+ p1$/) { sub(/ p1$/, ""); pages[$0]++ } ; next }
      { src = $6; gsub(/[ \r]+$/, "", src); n = split(src, part, "/"); name = part[n]; sub(/\.pdf$/, "", name)
        records[name]++ }
      END {
        for (s in records) if (pages[s] < records[s]) print s " logged " records[s] " times but in the output " pages[s] + 0 " times"
        extra = 0
        for (s in pages) { d = pages[s] - records[s]; if (d > 1) print s " is in the output " pages[s] " times for " records[s] + 0 " records"; if (d > 0) extra += d }
        if (extra > killed) print extra " rows saved without a record, after only " killed " kills"
      }' pages.txt append.log)
  [ -z "$verdict" ] || cfail "$verdict"
  for k in $(seq 1 "$runs"); do
    verdict=$(sources_verdict "in$k" "done$k" "sums$k")
    [ -z "$verdict" ] || cfail "run $k: $verdict"
  done
}

cfail() { echo "kill-test: FAIL with $runs runs after round $round: $*" >&2; ls -la "$work" >&2; exit 1; }

# Starts every run at once and waits for all; with kill delays (ms, one per
# run) each is killed at its own moment if it is still running. A run is not
# waited for before its kill, so its process id cannot have gone to another.
round_of_runs() {
  local runs=$1; shift
  local pids=() delays=("$@") k rc now=0
  for k in $(seq 1 "$runs"); do
    "$mervo" -e "job$k.app" -r -q >/dev/null 2>&1 &
    pids+=($!)
  done
  if [ ${#delays[@]} -gt 0 ]; then
    for k in $(for i in "${!delays[@]}"; do echo "${delays[$i]} $i"; done | sort -n | cut -d' ' -f2); do
      if [ "${delays[$k]}" -gt "$now" ]; then
        ms_sleep $((delays[k] - now))
        now=${delays[$k]}
      fi
      kill -KILL "${pids[$k]}" 2>/dev/null || true
    done
  fi
  for k in "${pids[@]}"; do
    rc=0
    wait "$k" 2>/dev/null || rc=$?
    if [ "$rc" -eq 137 ]; then echo killed >>kills; fi
  done
}

concurrent_mode() {
  local runs started took round k i
  for runs in 2 4; do
    rm -rf ./* ./.[!.]* 2>/dev/null || true
    for k in $(seq 1 "$runs"); do
      mkdir "in$k" "done$k"
      : >"job$k.app"
      for i in $(seq -w 1 "$rows"); do
        "$maker" "in$k/R${k}s$i.pdf" "R${k}s$i" 1 2>/dev/null
        printf 'in%s/R%ss%s.pdf; all; 1; ; done%s; out.pdf; N; N; Y; N\r\r\n' "$k" "$k" "$i" "$k" >>"job$k.app"
      done
      (cd "in$k" && sha256sum -- *.pdf) >"sums$k"
    done
    # How long the runs take together, to spread the kills over it.
    round=0
    started=$(date +%s%N)
    round_of_runs "$runs"
    took=$(( ($(date +%s%N) - started) / 1000000 ))
    check_shared "$runs" 0
    [ "$(grep -c . append.log)" -eq $((runs * rows)) ] || cfail "the first runs did not do all $((runs * rows)) rows"
    : >kills
    for round in $(seq 1 "$kills"); do
      for k in $(seq 1 "$runs"); do fresh_day "in$k" "done$k"; done
      local delays=()
      for k in $(seq 1 "$runs"); do delays+=($(( 20 + RANDOM * took / 32768 ))); done
      round_of_runs "$runs" "${delays[@]}" 2>/dev/null
      check_shared "$runs" "$(grep -c . kills || true)"
    done
    # Last runs to the end: they must clear away whatever the killed ones left.
    round=final
    for k in $(seq 1 "$runs"); do fresh_day "in$k" "done$k"; done
    round_of_runs "$runs"
    check_shared "$runs" "$(grep -c . kills || true)"
    local litter
    litter=$(find . ! -type d | grep -vxE '\./(job[0-9]+\.app|sums[0-9]+|kills|pages\.txt|out\.pdf|append\.log|(in|done)[0-9]+/R[0-9]+s[0-9]+\.pdf)' | tr '\n' ' ' || true)
    [ -z "$litter" ] || cfail "left behind: $litter"
    k=$(grep -c . kills || true)
    echo "kill-test: $runs runs at once on one output, $kills rounds ($k runs killed mid-run) over ${took} ms" \
      "of $rows rows each; every logged row's pages in the output once per record, no source lost, nothing left over"
  done
}

if [ "$mode" = concurrent ]; then
  concurrent_mode
  exit 0
fi

mkdir in done

# Sources and their checksums; the batch file moves each into done/ once appended.
: >job.app
for i in $(seq -w 1 "$rows"); do
  "$maker" "in/s$i.pdf" "S$i" 1
  printf 'in/s%s.pdf; all; 1; ; done; out.pdf; N; N; Y; N\r\r\n' "$i" >>job.app
done
(cd in && sha256sum -- *.pdf) >sums

fail() { echo "kill-test: FAIL after kill $k: $*" >&2; ls -la "$work" >&2; exit 1; }

check_state() {
  local logged pages
  logged=$( [ -f append.log ] && grep -c . append.log || echo 0)
  if [ -e out.pdf ]; then
    qpdf --check out.pdf >/dev/null 2>&1 || fail "out.pdf is not a whole PDF: $(qpdf --check out.pdf 2>&1 | tail -3)"
    pages=$(qpdf --show-npages out.pdf)
  else
    pages=0
  fi
  # A kill between a save and its log record leaves one row saved and not
  # logged; each kill may add at most one such row, and nothing else may differ.
  if [ "$pages" -eq $((logged + unlogged + 1)) ]; then
    unlogged=$((unlogged + 1))
  elif [ "$pages" -ne $((logged + unlogged)) ]; then
    fail "out.pdf has $pages pages but append.log records $logged rows ($unlogged saved unlogged before)"
  fi
  local verdict
  verdict=$(sources_verdict in done sums)
  [ -z "$verdict" ] || fail "$verdict"
}

# How long a whole run takes, to spread the kills over it.
run_started=$(date +%s%N)
timeout 600 "$mervo" -e job.app -r -q >/dev/null 2>&1 || true
full_ms=$(( ($(date +%s%N) - run_started) / 1000000 ))
k=0
unlogged=0
check_state
[ "$(grep -c . append.log)" -eq "$rows" ] || fail "the first run did not do all $rows rows"

killed_mid_run=0
for k in $(seq 1 "$kills"); do
  fresh_day in done
  # Somewhere within the time the rows still waiting would take.
  waiting=$(ls in | wc -l)
  delay_ms=$(( 20 + RANDOM * full_ms / 32768 * waiting / rows ))
  "$mervo" -e job.app -r -q >/dev/null 2>&1 &
  pid=$!
  ms_sleep "$delay_ms"
  if kill -KILL "$pid" 2>/dev/null; then killed_mid_run=$((killed_mid_run + 1)); fi
  wait "$pid" 2>/dev/null || true
  check_state
done

# One last run to the end: it must clear away whatever the killed runs left.
fresh_day in done
timeout 600 "$mervo" -e job.app -r -q >/dev/null 2>&1 || true
k=final
check_state
litter=$(find . ! -type d | grep -vxE '\./(job\.app|sums|out\.pdf|append\.log|(in|done)/s[0-9]+\.pdf)' | tr '\n' ' ' || true)
# A save removes the temporary files of runs that were killed.
[ -z "$litter" ] || fail "left behind: $litter"

echo "kill-test: $kills kills ($killed_mid_run mid-run) over a ${full_ms} ms run of $rows rows;" \
  "output always whole, no source lost; $unlogged kills fell between a save and its log record"
