#!/usr/bin/env bash
# Builds the Debian package from a configured build folder and checks it the
# way a user would meet it: unpacked into a scratch root, the installed
# program answers --help and --version, writes a map with -C, and ends with
# one line and status 1 without a display; the menu entry, the software-centre
# description and the package itself pass their validators.
#   scripts/check-package.sh [BUILD]     (BUILD defaults to build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scripts/install-deps.sh --package-check

fail() {
    echo "check-package: $*" >&2
    exit 1
}

cmake --build "$build" --target package >/dev/null 2>&1 ||
    cmake --build "$build" --target package
deb=$(ls "$build"/package/chronara_*.deb)
[ "$(echo "$deb" | wc -l)" -eq 1 ] || fail "expected one package in $build/package"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root
dpkg -x "$deb" "$root"
# The library dependencies were worked out from the binaries: CPack leaves
# them out without a word when dpkg-shlibdeps is missing.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 "libqt6widgets6(t64)?"; do
    grep -qE "(^|, )$library( |,|$)" <<<"$depends" ||
        fail "the package does not depend on ${library%%(*}: $depends"
done

program=$root/usr/bin/chronara
[ -L "$program" ] || fail "usr/bin/chronara is not a link into the private folder"

# The installed program loads its own solar library, not the build tree's.
private=$(dirname "$(readlink -f "$program")")
libraries=$(ldd "$private/chronara")
grep -q "libSolPos.so => $private/" <<<"$libraries" ||
    fail "the installed program does not find its solar library beside itself"

# The translations and the documentation the About box links to.
[ -f "$private/lang/de/lang.txt" ] || fail "the German translation is not beside the installed program"
[ -f "$root/usr/share/doc/chronara/README.md" ] || fail "the documentation is not installed"

grep -qx "Chronara [0-9.]*" <<<"$("$program" --version)" || fail "--version"
help=$("$program" --help)
for form in "-C FILE WIDTH" "-max" "--help" "--version"; do
    grep -qe "^  $form " <<<"$help" || fail "--help does not name $form"
done

# -C FILE 800, run from an unrelated folder: a 24-bit BMP 800 x 400 pixels.
(cd "$scratch" && env -u DISPLAY -u WAYLAND_DISPLAY "$program" -C map.bmp 800) ||
    fail "-C map.bmp 800 failed"
u32() { od -An -t u4 -j "$2" -N 4 "$1" | tr -d ' '; }
u16() { od -An -t u2 -j "$2" -N 2 "$1" | tr -d ' '; }
image=$scratch/map.bmp
[ "$(head -c 2 "$image")" = BM ] || fail "map.bmp is not a bitmap"
[ "$(u32 "$image" 18)" = 800 ] && [ "$(u32 "$image" 22)" = 400 ] && [ "$(u16 "$image" 28)" = 24 ] ||
    fail "map.bmp is not 800 x 400 pixels at 24 bits"
[ "$(stat -c %s "$image")" = $((54 + 2400 * 400)) ] || fail "map.bmp has the wrong size"
# Day and night both show: many distinct byte values, not one flat colour.
colours=$(od -An -v -t u1 -j 54 "$image" | tr -s ' ' '\n' | sort -u | wc -l)
[ "$colours" -gt 200 ] ||
    fail "map.bmp holds hardly any colours"

# Without a display: one line on standard error, status 1.
mkdir -m 700 "$scratch/runtime"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$scratch/runtime" \
    "$program" 2>"$scratch/err" || status=$?
[ "$status" = 1 ] || fail "a start without a display ended with status $status"
[ "$(wc -l <"$scratch/err")" = 1 ] && grep -q "no display" "$scratch/err" ||
    fail "a start without a display said: $(cat "$scratch/err")"

# The menu entry, icons and component carry the reverse-domain name.
id=io.github.chronara.Chronara
for side in 16 22 24 32 48 64 128 256; do
    [ -s "$root/usr/share/icons/hicolor/${side}x${side}/apps/$id.png" ] ||
        fail "no ${side}x${side} icon"
done
[ -s "$root/usr/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no scalable icon"
grep -qx "Icon=$id" "$root/usr/share/applications/$id.desktop" ||
    fail "the menu entry does not name the icon $id"
desktop-file-validate "$root/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
status=0
report=$(lintian --fail-on error "$deb" 2>&1) || status=$?
grep -v "^running with root privileges" <<<"$report" || true
[ "$status" = 0 ] || fail "lintian reports errors"
echo "check-package: $(basename "$deb") checked"
