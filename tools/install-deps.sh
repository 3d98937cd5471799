#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need. Safe to run again:
# apt-get is only called when a package is missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config clang-format
  qt6-base-dev libqcustomplot-dev                     # widgets, chart
  qt6-svg-dev                                         # chart saved as SVG
  libsqlite3-dev                                      # the station archive of shared frames
  libgtest-dev libgmock-dev googletest libbenchmark-dev # tests, benchmarks
  jq python3                                            # the tests read JSON Lines back with both
  openssl                                               # a self-signed certificate for the HTTPS test
  fonts-liberation2                                     # metric-compatible window fonts
  dpkg-dev file lintian desktop-file-utils appstream    # the Debian package and its checks
)
for option in "$@"; do
  case "$option" in
    --gui) packages+=(xvfb imagemagick xauth xclip xdotool) ;;  # screenshots of the real window
    --fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;           # libFuzzer with the sanitizers
    *) echo "usage: $0 [--gui] [--fuzz]" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
