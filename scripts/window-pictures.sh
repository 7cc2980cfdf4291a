#!/usr/bin/env bash
# Pictures of the main window with the example job's rows, the Append
# Parameters dialog and the folder chooser, saved as PNG files in docs/.
# Needs Xvfb (apt-get install xvfb) and a build in build/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cmake --build "$build" --target window-pictures make-sample-pdf >/dev/null
job="${TMPDIR:-/tmp}/folioband-example"
rm -rf "$job"
mkdir -p "$job"
trap 'rm -rf "$job"' EXIT
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
mkdir -p "$root/docs"
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1280x900x24" \
  "$build/window-pictures" "$job" "$root/docs"
