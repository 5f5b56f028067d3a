#!/bin/sh
# The commands of the README, for a fresh Debian machine that may not even
# have make yet:
#   ./build.sh run      install what is missing, build, start Chronara
#   ./build.sh test     install what is missing, build, run every test
#   ./build.sh package  the same, and write the Debian package (make installs
#                       the packaging tools it needs besides)
# Other arguments go to make as they are (e.g. ./build.sh test WERROR=ON).
set -e
cd "$(dirname "$0")"
scripts/install-deps.sh
exec make "$@"
