#!/usr/bin/python3
"""Builds the day image, the night image and the sea mask of the world map.

  maps.py DAY_SRC NIGHT_SRC LAND_GEOJSON OUT_DIR

DAY_SRC and NIGHT_SRC are equirectangular pictures of the whole Earth (the
day-side satellite mosaic and the night lights); LAND_GEOJSON holds the land
polygons. Writes earth_day.png, earth_night.jpg and mask.png, all 1024 x 512.
"""

import json
import os
import sys

import numpy as np
from PIL import Image

import raster

WIDTH, HEIGHT = 1024, 512
# The mask is sampled at SUPER x SUPER points per pixel; the share of them that
# is sea gives the pixel's grey level, which softens the coastline by a pixel.
SUPER = 4


def fresh_rgb(image):
    """The pixels alone, without the source file's metadata, as 8-bit RGB."""
    return Image.fromarray(np.asarray(image.convert("RGB"), dtype=np.uint8), "RGB")


def downscale(path):
    with Image.open(path) as src:
        src = src.convert("RGB")
        if src.width != 2 * src.height:
            raise SystemExit(f"{path}: {src.width} x {src.height} is not a whole-Earth 2:1 picture")
        return fresh_rgb(src.resize((WIDTH, HEIGHT), Image.LANCZOS, reducing_gap=None))


def land_rings(path):
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    features = data["features"] if data.get("type") == "FeatureCollection" else [data]
    rings = []
    for feature in features:
        geometry = feature["geometry"]
        polygons = geometry["coordinates"] if geometry["type"] == "MultiPolygon" else [geometry["coordinates"]]
        for polygon in polygons:
            for ring in polygon:
                rings.append(raster.unwrap_ring(ring))
    return rings


def sea_mask(land_path):
    land = raster.even_odd_fill(land_rings(land_path), WIDTH * SUPER, HEIGHT * SUPER)
    covered = land.reshape(HEIGHT, SUPER, WIDTH, SUPER).sum(axis=(1, 3))
    samples = SUPER * SUPER
    # White where all samples are sea, black where all are land; integer
    # rounding keeps the result the same everywhere.
    grey = ((samples - covered) * 255 * 2 + samples) // (2 * samples)
    return grey.astype(np.uint8)


def main(argv):
    if len(argv) != 5:
        raise SystemExit(__doc__)
    day_src, night_src, land_path, out_dir = argv[1:]
    os.makedirs(out_dir, exist_ok=True)

    downscale(day_src).save(os.path.join(out_dir, "earth_day.png"), optimize=True)
    downscale(night_src).save(
        os.path.join(out_dir, "earth_night.jpg"), quality=92, subsampling=0, optimize=True, progressive=False
    )
    grey = sea_mask(land_path)
    Image.fromarray(np.dstack((grey, grey, grey)), "RGB").save(os.path.join(out_dir, "mask.png"), optimize=True)


if __name__ == "__main__":
    main(sys.argv)
