#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config libqpdf-dev libpoppler-cpp-dev
          qt6-base-dev libpoppler-qt6-dev libgtest-dev libgmock-dev poppler-utils qpdf
          clang libclang-rt-14-dev clang-format
          # the Debian package, its manual pages, icons, completion and checks
          dpkg-dev file man-db scdoc librsvg2-bin lintian appstream desktop-file-utils
          bash-completion parallel xvfb xauth xdotool)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
