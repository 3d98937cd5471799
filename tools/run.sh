#!/usr/bin/env bash
# Installs what is missing, builds the decoder window and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev -j"$(nproc)" --target orvalin-decoder orvalin-decode
exec build/dev/shell/orvalin-decoder "$@"
