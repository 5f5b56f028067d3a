#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing,
# and says which. Uses sudo when not run as root.
#   scripts/install-deps.sh [--fuzz | --sanitize | --package | --package-check]
# adds what `make fuzz`, `make sanitize`, `make package` or
# scripts/check-package.sh needs besides.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    zlib1g-dev libpng-dev libjpeg62-turbo-dev
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    libxcb1-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    tzdata clang-format
)
# The machine's zone database at run time: date/tz over the compiled zone files
# (zic, which the tests use to build databases of their own, comes with libc-bin).
packages+=(libhowardhinnant-date-dev)
# The meeting's calendar file (iCalendar) is made and, in the tests, read back by libical.
packages+=(libical-dev)
# Desktop back-end tests: a private D-Bus session with the real settings stores
# (GSettings over dconf, xfconf) and the Qt D-Bus module.
packages+=(
    dbus-daemon dconf-service dconf-gsettings-backend dconf-cli libglib2.0-bin
    gsettings-desktop-schemas xfconf libxfconf-0-3
)
# The tray test runs the window program on a virtual X11 display.
packages+=(xvfb)
if [ "${1:-}" = "--fuzz" ]; then
    packages+=(clang libclang-rt-14-dev)
fi
# The sanitizer runtimes (make sanitize); GCC brings them today, named here so
# the sanitizer pass does not rest on that.
if [ "${1:-}" = "--sanitize" ]; then
    packages+=(libasan8 libubsan1 libtsan2)
fi
# The autostart test validates the entry it writes.
packages+=(desktop-file-utils)
# The Debian package (make package): CPack's deb generator picks the programs
# and libraries out of the installed files with `file`, works out their library
# dependencies with dpkg-shlibdeps (dpkg-dev; without it the package would
# silently name none), which reads them with objdump, and strips them with
# strip (both binutils). build-essential brings dpkg-dev and binutils today;
# they are named so the package does not rest on that.
what="build packages"
if [ "${1:-}" = "--package" ] || [ "${1:-}" = "--package-check" ]; then
    packages+=(file dpkg-dev binutils)
    what="packages for the build and the Debian package"
fi
# The package check (scripts/check-package.sh) also needs the other validators
# and lintian.
if [ "${1:-}" = "--package-check" ]; then
    packages+=(appstream lintian)
    what="packages for the build, the Debian package and its check"
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all $what are present."
    exit 0
fi

echo "install-deps: installing from Debian's packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
