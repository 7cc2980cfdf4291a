#!/usr/bin/env bash
# Makes the Debian package from an existing build (build/, or $BUILD_DIR) and
# proves it on this machine: lintian finds no error, apt-get installs it with
# its dependencies, the bundled example runs against the installed program, the
# window opens under Xvfb and closes, and removing the package leaves none of
# its files behind. Installs and removes the package system-wide: needs root.
# The .deb is left in $build/package/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
apt_get=(apt-get -o DPkg::Lock::Timeout=600 -y -qq)
fail() { echo "deb-package: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "installs the package: run it as root"
[ -f "$build/CPackConfig.cmake" ] || fail "no CMake build in $build"
cmake --build "$build" >/dev/null
rm -rf "$build/package"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$build/package" >/dev/null \
  || fail "cpack failed"
shopt -s nullglob
debs=("$build"/package/mervo_*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one mervo_<version>_<arch>.deb in $build/package"
deb="${debs[0]}"
echo "package: $(basename "$deb")"
dpkg-deb -f "$deb" Version Depends

# lintian: errors fail; what else it says is shown.
lintian --allow-root --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

work="$(mktemp -d)"
installed=0
cleanup() {
  [ "$installed" = 1 ] && "${apt_get[@]}" purge mervo >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# Every file the package holds, to check after removal.
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./|/|' -e 's|/$||' | grep -v '^/\?$' | sort > "$work/files"
DEBIAN_FRONTEND=noninteractive "${apt_get[@]}" install "$deb" >"$work/apt.log" 2>&1 \
  || { cat "$work/apt.log"; fail "apt-get install failed"; }
installed=1
[ "$(command -v mervo)" = /usr/bin/mervo ] || fail "mervo is not /usr/bin/mervo after installing"
mervo --version
man -w mervo >/dev/null || fail "man mervo finds no page"
appstreamcli validate --no-net /usr/share/metainfo/com.example.FoliobandBatch.metainfo.xml \
  || fail "appstreamcli rejects the installed AppStream entry"
desktop-file-validate /usr/share/applications/com.example.FoliobandBatch.desktop \
  || fail "desktop-file-validate rejects the installed desktop entry"

# The bundled example, run by the installed program.
BUILD_DIR="$build" MERVO=/usr/bin/mervo bash "$root/example/run-example.sh" >/dev/null || fail "the example job failed"
out="$root/example/out"
for f in invoices.pdf report-extract.pdf done/invoice-001.pdf done/invoice-002.pdf; do
  [ -f "$out/$f" ] || fail "the example job left no $f"
done
[ "$(wc -l < "$out/append.log")" -eq 3 ] || fail "the example job's append.log does not hold 3 records"
echo "example: outputs, moves and 3 log records"

# The window: starts, maps a window with its caption, stays up, closes on Alt+C ("&Close").
cat > "$work/window.sh" <<'WINDOW'
set -u
cd "$1"
printf 'NOSPLASH\r\n' > setup.ini
env -u QT_QPA_PLATFORM mervo >mervo.log 2>&1 &
pid=$!
win=""
for _ in $(seq 1 150); do
  win=$(xdotool search --onlyvisible --name '^Folioband Batch v' 2>/dev/null | head -1)
  [ -n "$win" ] && break
  kill -0 "$pid" 2>/dev/null || { echo "mervo ended before showing a window"; cat mervo.log; exit 1; }
  sleep 0.2
done
[ -n "$win" ] || { echo "no window mapped in 30 s"; kill "$pid"; exit 1; }
echo "window: $(xdotool getwindowname "$win")"
sleep 2
kill -0 "$pid" 2>/dev/null || { echo "mervo did not stay up"; cat mervo.log; exit 1; }
xdotool windowfocus --sync "$win" key --clearmodifiers alt+c
for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$pid" 2>/dev/null; then echo "Alt+C did not close the window"; kill "$pid"; exit 1; fi
wait "$pid"
WINDOW
mkdir "$work/window"
xvfb-run -a -s "-screen 0 1280x900x24" bash "$work/window.sh" "$work/window" || fail "the window check failed"

DEBIAN_FRONTEND=noninteractive "${apt_get[@]}" purge mervo >"$work/apt.log" 2>&1 \
  || { cat "$work/apt.log"; fail "apt-get purge failed"; }
installed=0
left=()
while IFS= read -r f; do
  # Folders the package shares with others (/usr/bin, man1, ...) stay; its own go.
  if [ -d "$f" ]; then
    case "$f" in */mervo|*/mervo/*) left+=("$f") ;; esac
  elif [ -e "$f" ] || [ -L "$f" ]; then
    left+=("$f")
  fi
done < "$work/files"
[ ${#left[@]} -eq 0 ] || fail "left after removal: ${left[*]}"
echo "deb-package: $(basename "$deb") built, installed, run, removed cleanly"
