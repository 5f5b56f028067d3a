"""Point-sampled polygon filling on an equirectangular grid.

A pixel (column c, row r) is inside when its centre (c + 0.5, r + 0.5) is
inside by the even-odd rule. Rows count from the top (latitude 90) and columns
from the left (longitude -180): x = (lon + 180) / 360 * W, y = (90 - lat) / 180 * H.
"""

import numpy as np


def unwrap_ring(ring):
    """Makes a ring's longitudes continuous where it steps over the 180th
    meridian, and closes a ring that goes once around a pole (Antarctica)
    along the pole itself, so that a flat fill gives the area it encloses."""
    lon = np.array([p[0] for p in ring], dtype=np.float64)
    lat = np.array([p[1] for p in ring], dtype=np.float64)
    step = np.diff(lon)
    shift = np.concatenate(([0.0], np.cumsum(np.where(step > 180, -360.0, np.where(step < -180, 360.0, 0.0)))))
    lon = lon + shift
    turn = lon[-1] - lon[0]
    if abs(turn) > 180:
        pole = -90.0 if lat.mean() < 0 else 90.0
        lon = np.concatenate((lon, [lon[-1], lon[0], lon[0]]))
        lat = np.concatenate((lat, [pole, pole, lat[0]]))
    return lon, lat


def even_odd_fill(rings, width, height):
    """Fills the rings (each a pair of longitude and latitude arrays, already
    unwrapped) into a width x height boolean array by the even-odd rule over
    all of them together. A ring that reaches past -180 or 180 is drawn a
    second time one turn over, so what lies beyond one edge appears at the
    other."""
    toggles = np.zeros((height, width + 1), dtype=np.int32)
    for lon, lat in rings:
        lo, hi = lon.min(), lon.max()
        for turn in (-360.0, 0.0, 360.0):
            if hi + turn <= -180.0 or lo + turn >= 180.0:
                continue
            _add_crossings(toggles, (lon + turn + 180.0) / 360.0 * width, (90.0 - lat) / 180.0 * height, width, height)
    return (np.cumsum(toggles[:, :width], axis=1) & 1).astype(bool)


def _add_crossings(toggles, x, y, width, height):
    x0, y0 = x[:-1], y[:-1]
    x1, y1 = x[1:], y[1:]
    ylo = np.minimum(y0, y1)
    yhi = np.maximum(y0, y1)
    # Row r's centre r + 0.5 meets an edge when ylo <= r + 0.5 < yhi.
    rfirst = np.maximum(np.ceil(ylo - 0.5), 0).astype(np.int64)
    rlast = np.minimum(np.ceil(yhi - 0.5), height).astype(np.int64)  # exclusive
    count = np.maximum(rlast - rfirst, 0)
    keep = count > 0
    if not keep.any():
        return
    x0, y0, x1, y1, rfirst, count = x0[keep], y0[keep], x1[keep], y1[keep], rfirst[keep], count[keep]
    edge = np.repeat(np.arange(len(count)), count)
    start = np.repeat(np.cumsum(count) - count, count)
    rows = rfirst[edge] + (np.arange(len(edge)) - start)
    yc = rows + 0.5
    t = (yc - y0[edge]) / (y1[edge] - y0[edge])
    xc = x0[edge] + t * (x1[edge] - x0[edge])
    # The crossing changes the state of every pixel whose centre lies to its right.
    cols = np.clip(np.floor(xc - 0.5).astype(np.int64) + 1, 0, width)
    np.add.at(toggles, (rows, cols), 1)
