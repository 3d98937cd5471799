#!/usr/bin/env bash
# Builds the Debian package from a configured build tree with tests (default build/ci), checks
# it with lintian, desktop-file-validate and appstreamcli, unpacks it into a temporary root and
# tries the unpacked programs there: --help and --version without a display, the window without
# one (one line, status 1), the window started offscreen from the desktop entry's command line
# with a temporary home, and the installed-mode window tests (CSV file and picture in the user's
# folders, byte for byte as the portable window writes them, conf.ini from the user's
# configuration folder) against the unpacked tree.
# Fails when anything is written into the unpacked tree.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build/ci}"
tests="$build_dir/tests/shell/shell_tests"

deb="$(tools/package.sh "$build_dir")"
echo "== package: $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb --field "$deb" Package Version Architecture Depends Installed-Size

work="$(mktemp -d)"
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail() { echo "package-test: $*" >&2; exit 1; }

echo "== lintian"
lintian --fail-on error --display-info --tag-display-limit 0 "$deb" | tee "$work/lintian.txt"
echo "lintian: $(grep -c '^E:' "$work/lintian.txt" || true) errors," \
    "$(grep -c '^W:' "$work/lintian.txt" || true) warnings, $(grep -c '^I:' "$work/lintian.txt" || true) notes"

root="$work/root"
dpkg-deb -x "$deb" "$root"
app_id="$(basename "$(ls "$root"/usr/share/applications/*.desktop)" .desktop)"
echo "== desktop-file-validate, appstreamcli ($app_id)"
desktop-file-validate "$root/usr/share/applications/$app_id.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml"
for size in 16 22 24 32 48 64 128; do
    [[ -f "$root/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png" ]] ||
        fail "no ${size}x${size} icon"
done
doc="$root/usr/share/doc/orvalin-decoder"
for picture in $(grep -o '](doc/[^)]*)' "$doc/README.md" | tr -d '()]'); do
    [[ -f "$doc/$picture" ]] || fail "the README shows $picture, which is not installed"
done
# The fonts of the fixed layout and the display plugins, which no shared library pulls in.
depends="$(dpkg-deb --field "$deb" Depends)"
for package in fonts-liberation2 qt6-qpa-plugins; do
    [[ ", $depends," == *", $package"[,\ ]* ]] || fail "$package is not a dependency: $depends"
done

snapshot() { find "$root" -printf '%p %s %T@ %m\n' | sort; }
snapshot >"$work/before"

echo "== the unpacked programs"
home="$work/home"
mkdir -p "$home"
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$home")
version="$(dpkg-deb --field "$deb" Version)"
[[ "$("${no_display[@]}" "$root/usr/bin/orvalin-decoder" --version)" == "orvalin-decoder ${version%-*}" ]] ||
    fail "orvalin-decoder --version"
"${no_display[@]}" "$root/usr/bin/orvalin-decoder" --help | grep -q -- '--version' || fail "orvalin-decoder --help"
status=0
"${no_display[@]}" "$root/usr/bin/orvalin-decoder" --no-such-option 2>/dev/null || status=$?
[[ $status -eq 2 ]] || fail "orvalin-decoder --no-such-option ended with $status, not 2"
status=0
said="$("${no_display[@]}" "$root/usr/bin/orvalin-decoder" 2>&1 >/dev/null)" || status=$?
[[ $status -eq 1 && "$said" != *$'\n'* && "$said" == *orvalin-decode\ * ]] ||
    fail "orvalin-decoder without a display ended with $status and said: $said"
[[ "$("$root/usr/bin/orvalin-decode" --version)" == "orvalin-decode ${version%-*}" ]] ||
    fail "orvalin-decode --version"

# The desktop entry's command line, found on PATH as the menu would; the window must still be
# running when it is stopped after two seconds.
exec_line="$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$app_id.desktop")"
exec_line="${exec_line// %[fFuU]/}"  # the menu puts no files in the field codes' place
status=0
# shellcheck disable=SC2086
HOME="$home" PATH="$root/usr/bin:$PATH" QT_QPA_PLATFORM=offscreen timeout 2 $exec_line || status=$?
[[ $status -eq 124 ]] || fail "the window from the desktop entry ended with $status on its own"
[[ ! -e "$home/Documents" ]] || fail "the window made the documents folder without being asked to write"

echo "== installed-mode window tests on the unpacked tree"
[[ -x "$tests" ]] || fail "$tests is missing: give a build tree with tests"
ORVALIN_INSTALL_ROOT="$root" QT_QPA_PLATFORM=offscreen "$tests" --gtest_filter='InstalledWindow.*'

snapshot >"$work/after"
diff "$work/before" "$work/after" || fail "something was written into the unpacked tree"
echo "== package checks passed"
