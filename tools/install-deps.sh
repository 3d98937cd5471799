#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need. Safe to run again:
# apt-get is only called when a package is missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev libqcustomplot-dev                     # widgets, chart
  libgtest-dev libgmock-dev googletest libbenchmark-dev # tests, benchmarks
  fonts-liberation2                                     # metric-compatible window fonts
)
if [[ "${1:-}" == "--gui" ]]; then
  packages+=(xvfb imagemagick xauth)                    # optional: screenshots of the real window
fi

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
