#!/usr/bin/env bash
# Pictures of the main window with the example job's rows, the Append
# Parameters dialog (also with its page previews), the folder chooser, the job
# plan and the preview panel, saved as PNG files in docs/; then a list of
# 50,000 rows (long-list.png); then every window on a 1280x800 screen at
# scale 2, each alone and as the whole screen shows it
# (build/window-pictures-scale-2; the main ones in docs/scale-2).
# Needs Xvfb (apt-get install xvfb) and a build in build/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cmake --build "$build" --target window-pictures make-sample-pdf mervo >/dev/null
job="${TMPDIR:-/tmp}/folioband-example"
rm -rf "$job"
mkdir -p "$job"
# The pictures show the windows as they first open, not as someone left them.
config="$(mktemp -d)"
trap 'rm -rf "$job" "$config"' EXIT
maker="$build/make-sample-pdf"
mkdir -p "$job/inbox" "$job/done"
"$maker" "$job/inbox/invoice-001.pdf" "Invoice 001" 3 --outline
"$maker" "$job/inbox/invoice-002.pdf" "Invoice 002" 2 --outline
"$maker" "$job/inbox/report.pdf" "Report" 12
{
  printf '%s; all; ; ; %s; %s; Y; Y; N; N\r\r\n' "$job/inbox/invoice-001.pdf" "$job/done" "$job/invoices.pdf"
  printf '%s; all; ; ; %s; %s; Y; N; Y; N\r\r\n' "$job/inbox/invoice-002.pdf" "$job/done" "$job/invoices.pdf"
  printf '%s; 1-2,odd; ; ; ; %s; N; Y; N; Y\r\r\n' "$job/inbox/report.pdf" "$job/report-extract.pdf"
  printf '~%s; 5-10n; ; ; ; %s; N; Y; N; N\r\r\n' "$job/inbox/report.pdf" "$job/report-tail.pdf"
} > "$job/example.app"
# 50,000 rows, to show the list and its count at that size.
awk -v j="$job" 'BEGIN { split("invoice-001 invoice-002 report", f, " ");
  for (i = 1; i <= 50000; i++)
    printf "%s/inbox/%s.pdf; all; ; ; %s/done; %s/out/part-%05d.pdf; Y; Y; N; N\r\r\n", j, f[i % 3 + 1], j, j, i }' \
  > "$job/long.app"
# A real log record for the log viewer, from a real run beside the job.
mkdir -p "$job/log"
"$maker" "$job/log/scan.pdf" "Scan" 2
(cd "$job/log" && QT_QPA_PLATFORM=offscreen "$build/mervo" -c -pall "-o$job/invoices.pdf" scan.pdf -r -q) || true
cp "$job/log/append.log" "$job/append.log"
rm -f "$job/invoices.pdf"
# Every window at scale 2 goes to build/window-pictures (look at each one);
# the main ones are copied to docs/scale-2.
small="$build/window-pictures-scale-2"
mkdir -p "$root/docs/scale-2" "$small"
env -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$config" xvfb-run -a -s "-screen 0 1280x900x24" \
  "$build/window-pictures" "$job" "$root/docs"
env -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$config" QT_SCALE_FACTOR=2 \
  xvfb-run -a -s "-screen 0 1280x800x24" \
  "$build/window-pictures" "$job" "$small" --screen
for name in main-window append-parameters help-over-parameters setup; do
  cp "$small/screen-$name.png" "$root/docs/scale-2/$name.png"
done
echo "all pictures at scale 2: $small"
