#!/usr/bin/env bash
# Rebuilds the map images of data/ and the zone-colour table:
#   data/earth_day.png, data/earth_night.jpg, data/mask.png, data/earth_tz.png,
#   data/tz_colors.dat (packed from tools/datagen/out/tz_colors.txt).
# Installs what it needs (Debian packages, pinned npm packages under
# tools/datagen/work/, the kivpack tool) and gives the same bytes on every run
# with the same inputs. When data/moreplaces.dat and data/tz_data.dat exist it
# measures how often the zone image gives a place its own standard offset and
# fails below 97 %.
#
# Environment: KIVPACK=path of a built kivpack (otherwise it is built here).
set -euo pipefail
shopt -s inherit_errexit

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
src=$here/images
work=$here/work/images
out=$here/out
data=$root/data
python=/usr/bin/python3   # Debian's, which has the python3-pil and python3-numpy modules

# Zone image size: any size works for the program, which samples it in proportion.
tz_width=2048
tz_height=1024
min_agreement=97

say() { echo "images: $*"; }

# shellcheck source=common.sh
source "$here/common.sh"

install_debian xplanet-images python3-pil python3-numpy tzdata
install_npm
kivpack=$(find_kivpack)
mkdir -p "$work" "$out" "$data"
export NODE_PATH=$work/node/node_modules
export PYTHONDONTWRITEBYTECODE=1

say "sampling the time-zone boundaries at ${tz_width} x ${tz_height}"
node --max-old-space-size=8192 "$src/tzgrid.js" "$tz_width" "$tz_height" "$work/tzgrid"

say "converting the land polygons"
node "$src/land.js" 10m "$work/land.geojson"

say "day, night and mask images"
"$python" "$src/maps.py" /usr/share/xplanet/images/earth.jpg /usr/share/xplanet/images/night.jpg \
    "$work/land.geojson" "$data"

say "zone image and colour table"
"$python" "$src/zonemap.py" "$work/tzgrid" "$data/earth_tz.png" "$out/tz_colors.txt" "$out/tz_image_summary.txt"
"$kivpack" pack "$out/tz_colors.txt" "$data/tz_colors.dat"

report=$out/tz_image_agreement.txt
if [ -f "$data/moreplaces.dat" ] && [ -f "$data/tz_data.dat" ]; then
    # Unpack under the names the files were packed with: the key depends on them.
    mkdir -p "$work/unpacked"
    cp "$data/moreplaces.dat" "$data/tz_data.dat" "$work/unpacked/"
    "$kivpack" unpack "$work/unpacked/moreplaces.dat" "$work/unpacked/moreplaces.txt"
    "$kivpack" unpack "$work/unpacked/tz_data.dat" "$work/unpacked/tz_data.txt"
    (cd "$src" && "$python" measure.py "$data/earth_tz.png" "$out/tz_colors.txt" \
        "$work/unpacked/moreplaces.txt" "$work/unpacked/tz_data.txt") >"$report"
else
    say "no places file yet: measuring against the principal cities of zone.tab"
    (cd "$src" && "$python" measure.py "$data/earth_tz.png" "$out/tz_colors.txt" --zone-tab) >"$report"
fi
head -n 1 "$report" | sed 's/^/images: /'
"$python" - "$report" "$min_agreement" <<'EOF'
import sys
first = open(sys.argv[1], encoding="utf-8").readline().split()
agree, total = int(first[0]), int(first[2])
if 100.0 * agree < float(sys.argv[2]) * total:
    raise SystemExit(f"images: the zone image agrees with only {agree} of {total} places")
EOF
say "done"
