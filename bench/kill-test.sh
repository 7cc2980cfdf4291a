#!/usr/bin/env bash
# Kills a real 200-row, one-output run with moves at random moments, twenty
# times, each time running again from the state the kill left, and checks
# after every kill that:
#   - the output is a whole PDF (qpdf --check) whose page count matches the rows
#     logged in append.log (one page per row), save for the rows a kill caught
#     between their save and their log record, at most one per kill;
#   - no source is lost: each is in its folder or, intact, in the move folder;
# and after a last run that is left to finish, that no temporary file is left.
# Usage: bench/kill-test.sh [build-dir] [kills] [rows]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
kills=${2:-20}
rows=${3:-200}
mervo=$build/mervo
maker=$build/make-sample-pdf
for tool in "$mervo" "$maker" qpdf; do
  command -v "$tool" >/dev/null || { echo "kill-test: $tool not found" >&2; exit 2; }
done

work=$(mktemp -d /tmp/kill-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir in done
export QT_QPA_PLATFORM=offscreen

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
  verdict=$( { (cd in && sha256sum -- *.pdf 2>/dev/null || true) | sed 's/^/in /'
               (cd done && sha256sum -- *.pdf 2>/dev/null || true) | sed 's/^/done /'; } |
    awk 'NR == FNR { want[$2] = $1; next }
         { have[$1 "/" $3] = $2 }
         END {
           for (n in want) {
             if (("in/" n) in have) { if (have["in/" n] != want[n]) print "in/" n " changed" }
             else if (("done/" n) in have) { if (have["done/" n] != want[n]) print "done/" n " is not the whole source" }
             else print "source " n " is lost"
           }
         }' sums -)
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
RANDOM=${KILL_TEST_SEED:-$$}
for k in $(seq 1 "$kills"); do
  # A fresh day: every source back in place, the output keeps growing.
  if [ -z "$(ls in)" ]; then mv done/*.pdf in/; fi
  # Somewhere within the time the rows still waiting would take.
  waiting=$(ls in | wc -l)
  delay_ms=$(( 20 + RANDOM * full_ms / 32768 * waiting / rows ))
  "$mervo" -e job.app -r -q >/dev/null 2>&1 &
  pid=$!
  sleep "$(printf '%d.%03d' $((delay_ms / 1000)) $((delay_ms % 1000)))"
  if kill -KILL "$pid" 2>/dev/null; then killed_mid_run=$((killed_mid_run + 1)); fi
  wait "$pid" 2>/dev/null || true
  check_state
done

# One last run to the end: it must clear away whatever the killed runs left.
if [ -z "$(ls in)" ]; then mv done/*.pdf in/; fi
timeout 600 "$mervo" -e job.app -r -q >/dev/null 2>&1 || true
k=final
check_state
litter=$(find . ! -type d | grep -vxE '\./(job\.app|sums|out\.pdf|append\.log|(in|done)/s[0-9]+\.pdf)' | tr '\n' ' ' || true)
# A save removes the temporary files of runs that were killed.
[ -z "$litter" ] || fail "left behind: $litter"

echo "kill-test: $kills kills ($killed_mid_run mid-run) over a ${full_ms} ms run of $rows rows;" \
  "output always whole, no source lost; $unlogged kills fell between a save and its log record"
