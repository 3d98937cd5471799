#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test; builds the Debian
# package from that build and checks it (tools/package-test.sh); then builds and runs the whole
# suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

# Every C++ file as .clang-format lays it out.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

cmake --preset ci
cmake --build --preset ci -j"$jobs"
ctest --preset ci -j"$jobs"
tools/package-test.sh build/ci

cmake --preset asan
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"
