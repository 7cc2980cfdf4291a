#!/usr/bin/env bash
# The bundled example: makes example PDFs, writes a batch file for them and runs
# it unattended, as a cron job would. MERVO names another program to run (such
# as an installed /usr/bin/mervo); BUILD_DIR another build for the sample maker.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/example/out"
build="${BUILD_DIR:-$root/build}"
maker="$build/make-sample-pdf"
mervo="${MERVO:-$build/mervo}"
rm -rf "$out"
mkdir -p "$out/inbox" "$out/done"
"$maker" "$out/inbox/invoice-001.pdf" "Invoice 001" 3 --outline
"$maker" "$out/inbox/invoice-002.pdf" "Invoice 002" 2 --outline
"$maker" "$out/inbox/report.pdf" "Report" 12
# Ten fields a line: file; pages; page count; status; move-to folder; output;
# keep bookmarks; create; append; file-name bookmark. Lines end in CR CR LF.
{
  printf '%s; all; ; ; %s; %s; Y; Y; N; N\r\r\n' "$out/inbox/invoice-001.pdf" "$out/done" "$out/invoices.pdf"
  printf '%s; all; ; ; %s; %s; Y; N; Y; N\r\r\n' "$out/inbox/invoice-002.pdf" "$out/done" "$out/invoices.pdf"
  printf '%s; 1-2,odd; ; ; ; %s; N; Y; N; Y\r\r\n' "$out/inbox/report.pdf" "$out/report-extract.pdf"
} > "$out/example.app"
cd "$out"
QT_QPA_PLATFORM=offscreen "$mervo" example.app -r -q
echo "Outputs:  $out/invoices.pdf, $out/report-extract.pdf"
echo "Moved sources: $out/done/"
echo "Log:      $out/append.log"
