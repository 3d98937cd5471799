#!/usr/bin/env bash
# Builds the Debian package orvalin-decoder_<version>-<revision>_<arch>.deb and prints its path.
#
#   tools/package.sh               a fresh build tree build/package (removed first), release
#                                  build with warnings as errors, no tests or benchmarks
#   tools/package.sh BUILD_DIR     builds and packages a build tree that is already configured
#                                  (tools/test.sh packages its ci build this way)
#
# Install it with: sudo apt install ./build/package/package/orvalin-decoder_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh >&2

if (($#)); then
    build_dir="$1"
else
    build_dir=build/package
    rm -rf "$build_dir"
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVALIN_WERROR=ON \
        -DORVALIN_BUILD_TESTS=OFF -DORVALIN_BUILD_BENCH=OFF >&2
fi
cmake --build "$build_dir" -j"$(nproc)" >&2
rm -rf "$build_dir/package"
# Files and folders in the package are root's, whoever builds it.
(cd "$build_dir" && cpack -G DEB --config CPackConfig.cmake) >&2
debs=("$build_dir"/package/*.deb)
[[ ${#debs[@]} -eq 1 && -f "${debs[0]}" ]] || { echo "no package was made" >&2; exit 1; }
echo "${debs[0]}"
