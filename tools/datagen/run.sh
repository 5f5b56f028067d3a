#!/usr/bin/env bash
# Rebuilds every file of data/ from public sources (see README.md beside this
# file). Each step installs what it needs and gives the same bytes on every run
# with the same inputs.
#
# Environment: KIVPACK=path of a built kivpack; otherwise it is built once here,
# in tools/datagen/work/build, and handed to every step.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

say() { echo "datagen: $*"; }
# shellcheck source=common.sh
source "$here/common.sh"
KIVPACK=$(find_kivpack)
export KIVPACK

# The steps, in order. Add a new generator as one more line here.
# 1. Zones, daylight-saving rules and places (tz_data.dat, tz_dst.dat, moreplaces.dat).
"$here/zones.sh"
# 2. Map images and the zone-colour table (after the places, which it checks against).
"$here/images.sh"
