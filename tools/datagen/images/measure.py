#!/usr/bin/python3
"""Measures how often the zone image gives a place its own standard offset.

  measure.py ZONE_PNG COLOURS_TXT PLACES_TXT [ZONES_TXT]
  measure.py ZONE_PNG COLOURS_TXT --zone-tab

PLACES_TXT is the text of the places file (ZoneKey TAB Lat TAB Lon TAB Name).
A place's zone is found by the link rule (the first zone whose name contains
the key, letter case ignored) in ZONES_TXT, the text of the zone file (a
header line, then Country, Lat, Lon, ZoneName, Abbrev, h:m offset, ...), whose
offset is the expected one. Without ZONES_TXT the key is matched to the zone
names of the system's zone.tab and the offset computed as zonemap.py does.
With --zone-tab the places are the principal cities of zone.tab itself.

The offset that the image gives is that of the colour table entry matching the
pixel that contains the place (x = (lon + 180) / 360 * W, y = (90 - lat) / 180 * H).
Prints the share of places that agree and each place that does not.
"""

import sys

import numpy as np
from PIL import Image

from zonemap import standard_offset

ZONE_TAB = "/usr/share/zoneinfo/zone.tab"


def read_colours(path):
    table = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            r, g, b, offset = line.rstrip("\r\n").split("\t")[:4]
            table.append(((int(r) & 255, int(g) & 255, int(b) & 255), float(offset)))
    return table


def parse_hm(text):
    hours, minutes = text.split(":", 1)
    return int(hours) + int(minutes) / 60.0


def zone_tab():
    """(name, latitude, longitude) of every zone.tab line."""
    rows = []
    with open(ZONE_TAB, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#"):
                continue
            fields = line.rstrip("\n").split("\t")
            rows.append((fields[2], *_iso6709(fields[1])))
    return rows


def _iso6709(text):
    # +DDMM+DDDMM or +DDMMSS+DDDMMSS
    split = max(text.rfind("+"), text.rfind("-"))
    return _dms(text[:split], 2), _dms(text[split:], 3)


def _dms(text, degree_digits):
    sign = -1.0 if text[0] == "-" else 1.0
    digits = text[1:]
    value = int(digits[:degree_digits]) + int(digits[degree_digits : degree_digits + 2]) / 60.0
    if len(digits) > degree_digits + 2:
        value += int(digits[degree_digits + 2 :]) / 3600.0
    return sign * value


def main(argv):
    if len(argv) not in (4, 5):
        raise SystemExit(__doc__)
    image = np.asarray(Image.open(argv[1]).convert("RGB"))
    height, width = image.shape[:2]
    colours = read_colours(argv[2])

    places = []  # (label, zone name, expected offset, lat, lon)
    if argv[3] == "--zone-tab":
        for name, lat, lon in zone_tab():
            places.append((name, name, standard_offset(name), lat, lon))
    else:
        zones = []
        if len(argv) == 5:
            with open(argv[4], encoding="utf-8") as f:
                for line in f.read().splitlines()[1:]:
                    fields = line.split("\t")
                    zones.append((fields[3], parse_hm(fields[5])))
        else:
            zones = [(name, None) for name, _, _ in zone_tab()]
        with open(argv[3], encoding="utf-8") as f:
            for line in f.read().splitlines():
                key, lat, lon, label = line.split("\t")[:4]
                zone = next((z for z in zones if key.lower() in z[0].lower()), None)
                if zone is None:
                    raise SystemExit(f"place {label}: no zone for key {key}")
                offset = zone[1] if zone[1] is not None else standard_offset(zone[0])
                places.append((label, zone[0], offset, float(lat), float(lon)))

    misses = []
    for label, zone, expected, lat, lon in places:
        x = min(max(int(np.floor((lon + 180.0) / 360.0 * width)), 0), width - 1)
        y = min(max(int(np.floor((90.0 - lat) / 180.0 * height)), 0), height - 1)
        pixel = tuple(int(v) for v in image[y, x])
        got = next((o for c, o in colours if c == pixel), None)
        if got is None or abs(got - expected) > 1e-6:
            misses.append((label, zone, expected, got, lat, lon))

    agree = len(places) - len(misses)
    print(f"{agree} of {len(places)} places agree: {100.0 * agree / len(places):.2f} %")
    for label, zone, expected, got, lat, lon in misses:
        print(f"miss\t{label}\t{zone}\texpected {expected:g}\timage {got}\t{lat:.4f} {lon:.4f}")


if __name__ == "__main__":
    main(sys.argv)
