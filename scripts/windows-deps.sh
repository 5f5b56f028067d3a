#!/usr/bin/env bash
# What the Windows cross build needs, for `make windows`:
#   scripts/windows-deps.sh DEPS_DIR
# 1. Debian's MinGW-w64 toolchain, its zlib, the GoogleTest sources and Wine
#    (only the missing packages are installed; Wine is optional: without it the
#    build still works and the Windows tests say they were skipped).
# 2. libpng, libjpeg-turbo and date/tz, which Debian ships for Linux only: their
#    Debian source packages are fetched with apt-get source (a private package
#    list in DEPS_DIR, the machine's own sources are left alone) and built as
#    static libraries for Windows into DEPS_DIR/{include,lib}. date/tz is built
#    to read the IANA text database from a folder the program names at run
#    time (set_install): no download, no operating-system database.
# Steps already done are skipped, so a second run costs nothing.
set -euo pipefail

deps=${1:?usage: $0 DEPS_DIR}
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$deps"
deps=$(cd "$deps" && pwd)
toolchain=$here/cmake/mingw-w64-x86_64.cmake

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

missing_of() {
    local p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            echo "$p"
        fi
    done
}

apt_install() {
    echo "windows-deps: installing from Debian's packages: $*"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 "$@"
}

build_packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev
    googletest dpkg-dev cmake)
mapfile -t missing < <(missing_of "${build_packages[@]}")
if [ ${#missing[@]} -gt 0 ]; then
    apt_install "${missing[@]}"
fi
mapfile -t missing < <(missing_of wine64)
if [ ${#missing[@]} -gt 0 ]; then
    apt_install wine64 || echo "windows-deps: Wine could not be installed; the Windows tests will be skipped."
fi

# The sources, once.
src=$deps/src
if [ ! -d "$src/libpng" ] || [ ! -d "$src/libjpeg-turbo" ] || [ ! -d "$src/date" ]; then
    echo "windows-deps: fetching the libpng, libjpeg-turbo and date/tz sources from Debian"
    apt=$deps/apt
    mkdir -p "$apt/lists/partial" "$src"
    grep -h '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -1 | awk '{print $2}' >"$apt/mirror" || true
    mirror=$(cat "$apt/mirror")
    mirror=${mirror:-http://deb.debian.org/debian}
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    echo "deb-src $mirror $codename main" >"$apt/sources.list"
    aptopts=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent
        -o Dir::State::Lists="$apt/lists" -o APT::Sandbox::User=root)
    apt-get "${aptopts[@]}" update -qq
    rm -rf "$src"/unpack && mkdir -p "$src/unpack"
    (cd "$src/unpack" && apt-get "${aptopts[@]}" source -qq libpng1.6 libjpeg-turbo howardhinnant-date >/dev/null)
    rm -rf "$src/libpng" "$src/libjpeg-turbo" "$src/date"
    mv "$(find "$src/unpack" -maxdepth 1 -type d -name 'libpng1.6-*')" "$src/libpng"
    mv "$(find "$src/unpack" -maxdepth 1 -type d -name 'libjpeg-turbo-*')" "$src/libjpeg-turbo"
    mv "$(find "$src/unpack" -maxdepth 1 -type d -name 'howardhinnant-date-*')" "$src/date"
    rm -rf "$src/unpack"
fi

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
common=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX="$deps" "${launcher[@]}")
jobs=$(nproc 2>/dev/null || echo 2)

if [ ! -f "$deps/lib/libpng16.a" ]; then
    echo "windows-deps: building libpng for Windows"
    cmake -S "$src/libpng" -B "$deps/build/libpng" "${common[@]}" -DPNG_SHARED=OFF \
        -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_HARDWARE_OPTIMIZATIONS=OFF \
        -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON \
        -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a \
        -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include >/dev/null
    cmake --build "$deps/build/libpng" -j "$jobs" >/dev/null
    cmake --install "$deps/build/libpng" >/dev/null
fi

if [ ! -f "$deps/lib/libjpeg.a" ]; then
    echo "windows-deps: building libjpeg-turbo for Windows"
    cmake -S "$src/libjpeg-turbo" -B "$deps/build/libjpeg-turbo" "${common[@]}" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
        -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_INSTALL_INCLUDEDIR=include >/dev/null
    cmake --build "$deps/build/libjpeg-turbo" -j "$jobs" --target jpeg-static >/dev/null
    mkdir -p "$deps/include" "$deps/lib"
    for h in jpeglib.h jmorecfg.h jerror.h; do
        cp "$src/libjpeg-turbo/$h" "$deps/include/"
    done
    cp "$deps/build/libjpeg-turbo/jconfig.h" "$deps/include/"
    cp "$deps/build/libjpeg-turbo/libjpeg.a" "$deps/lib/"
fi
if [ ! -f "$deps/lib/libdate-tz.a" ]; then
    echo "windows-deps: building date/tz for Windows"
    launcher_cxx=()
    if command -v ccache >/dev/null; then
        launcher_cxx=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    # MANUAL_TZ_DB: the folder comes from the program (set_install), nothing
    # is downloaded (HAS_REMOTE_API=0, AUTO_DOWNLOAD=0) and the text database
    # is read (USE_OS_TZDB=0).
    cmake -S "$src/date" -B "$deps/build/date" "${common[@]}" "${launcher_cxx[@]}" \
        -DBUILD_TZ_LIB=ON -DMANUAL_TZ_DB=ON -DUSE_SYSTEM_TZ_DB=OFF -DBUILD_SHARED_LIBS=OFF \
        -DENABLE_DATE_TESTING=OFF -DCMAKE_CXX_STANDARD=20 -DCMAKE_INSTALL_LIBDIR=lib >/dev/null
    cmake --build "$deps/build/date" -j "$jobs" >/dev/null
    cmake --install "$deps/build/date" >/dev/null
fi
echo "windows-deps: ready in $deps"
