#!/usr/bin/python3
"""Paints the world by standard UTC offset and writes the colour table.

  zonemap.py GRID_PREFIX OUT_PNG OUT_TABLE_TXT [SUMMARY_TXT]

GRID_PREFIX.bin/.json come from tzgrid.js: one zone name (or a set of
overlapping zone names) per pixel. Each pixel is painted in the colour of its
zone's standard offset; the table lists one line per offset that the image
uses: Red TAB Green TAB Blue TAB UtcOffset.
"""

import json
import sys
from datetime import datetime, timezone
from zoneinfo import ZoneInfo

import numpy as np
from PIL import Image

# The year whose rules decide the standard offsets: the one after the
# release's own (2026f), whose changes of rules within 2026 (British Columbia
# and others to lasting daylight time) are then in force. Fixed, so that a
# rerun on a later day gives the same bytes.
REFERENCE_YEAR = 2027


def standard_offset(name):
    """The zone's standard offset in hours: the smaller of its offsets in the
    middle of January and of July. That is the winter offset on both sides of
    the equator; it takes GMT for Europe/Dublin, whose database calls its
    winter time the negative daylight saving, and +1 for Africa/Casablanca,
    which is +1 all year except during Ramadan (March in this year)."""
    zone = ZoneInfo(name)
    offsets = []
    for month in (1, 7):
        instant = datetime(REFERENCE_YEAR, month, 15, 12, tzinfo=timezone.utc)
        offsets.append(instant.astimezone(zone).utcoffset().total_seconds() / 3600.0)
    return min(offsets)


def offset_colours(offsets):
    """One colour per offset, as far from each other as the RGB cube allows.
    The offsets are taken in ascending order; each takes, from the colours
    whose components are 0, 64, 128, 192 or 255, the one farthest from every
    colour taken before (and from black and white, which stay free), and of
    equally far ones the one farthest from its western neighbour's, so that
    neighbouring zones contrast. Ties after that go to the smaller RGB triple,
    so the table depends on nothing but the list of offsets."""
    levels = (0, 64, 128, 192, 255)
    candidates = [(r, g, b) for r in levels for g in levels for b in levels]
    taken = [(0, 0, 0), (255, 255, 255)]
    colours = {}
    previous = None
    for offset in offsets:
        best = None
        for c in candidates:
            if c in taken:
                continue
            nearest = min(_distance2(c, t) for t in taken)
            neighbour = _distance2(c, previous) if previous else 0
            key = (nearest, neighbour, tuple(-v for v in c))
            if best is None or key > best[0]:
                best = (key, c)
        colours[offset] = previous = best[1]
        taken.append(best[1])
    return colours


def _distance2(a, b):
    return sum((x - y) ** 2 for x, y in zip(a, b))


def format_offset(offset):
    text = f"{offset:.2f}".rstrip("0").rstrip(".")
    return "0" if text == "-0" else text


def resolve(names, grid):
    """Picks one zone for each grid entry. An entry naming several zones (land
    that two zones claim) takes the zone that covers the smaller area on its
    own, that is the more local claim, or of equal areas the first name."""
    single_area = {}
    counts = np.bincount(grid.ravel(), minlength=len(names))
    for index, entry in enumerate(names):
        if " " not in entry:
            single_area[entry] = single_area.get(entry, 0) + int(counts[index])
    chosen = []
    for entry in names:
        members = entry.split(" ")
        chosen.append(min(members, key=lambda m: (single_area.get(m, 0), m)))
    return chosen


def main(argv):
    if len(argv) not in (4, 5):
        raise SystemExit(__doc__)
    prefix, out_png, out_table = argv[1:4]
    with open(prefix + ".json", encoding="utf-8") as f:
        meta = json.load(f)
    width, height, names = meta["width"], meta["height"], meta["names"]
    grid = np.fromfile(prefix + ".bin", dtype="<u2").reshape(height, width)

    chosen = resolve(names, grid)
    missing = sorted({z for z in chosen if not _known(z)})
    if missing:
        raise SystemExit("zones unknown to the system's time-zone database: " + " ".join(missing))
    offsets = sorted({standard_offset(z) for z in chosen})
    colours = offset_colours(offsets)
    _check_distinct(colours)

    lut = np.array([colours[standard_offset(z)] for z in chosen], dtype=np.uint8)
    Image.fromarray(lut[grid], "RGB").save(out_png, optimize=True)

    with open(out_table, "w", encoding="utf-8", newline="\n") as f:
        for o in offsets:
            r, g, b = colours[o]
            f.write(f"{r}\t{g}\t{b}\t{format_offset(o)}\n")

    if len(argv) == 5:
        counts = np.bincount(grid.ravel(), minlength=len(names))
        with open(argv[4], "w", encoding="utf-8", newline="\n") as f:
            for index, entry in enumerate(names):
                if " " in entry:
                    f.write(f"overlap\t{entry}\t-> {chosen[index]}\t{counts[index]} pixels\n")
            for o in offsets:
                f.write(f"offset\t{format_offset(o)}\t{colours[o]}\n")


def _known(name):
    try:
        ZoneInfo(name)
        return True
    except Exception:
        return False


def _check_distinct(colours):
    items = list(colours.items())
    for i, (oa, ca) in enumerate(items):
        for ob, cb in items[i + 1 :]:
            distance = sum((a - b) ** 2 for a, b in zip(ca, cb)) ** 0.5
            if distance < 40:
                raise SystemExit(f"colours of {oa} and {ob} are too alike: {ca} {cb}")


if __name__ == "__main__":
    main(sys.argv)
