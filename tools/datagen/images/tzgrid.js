// Samples the time-zone boundary data at the centre of every pixel of an
// equirectangular grid and writes, for each pixel, the index of its zone name.
//
//   node tzgrid.js WIDTH HEIGHT OUT_PREFIX
//
// Writes OUT_PREFIX.bin (uint16 little-endian, row-major from the top-left
// pixel) and OUT_PREFIX.json (the entries that the indices refer to). An entry
// is the zone name, or, where the data lists several zones for one point
// (overlapping claims), those names sorted and joined by a space; the caller
// decides which of them the pixel gets.
'use strict'
const fs = require('fs')
const { find, preCache } = require('geo-tz/dist/find-all')

const [width, height, prefix] = [Number(process.argv[2]), Number(process.argv[3]), process.argv[4]]
if (!(width > 0 && height > 0 && prefix)) {
  console.error('usage: node tzgrid.js WIDTH HEIGHT OUT_PREFIX')
  process.exit(2)
}

preCache()
const names = []
const indexOf = new Map()
const grid = Buffer.alloc(width * height * 2)
for (let y = 0; y < height; y++) {
  const lat = 90 - ((y + 0.5) * 180) / height
  for (let x = 0; x < width; x++) {
    const lon = ((x + 0.5) * 360) / width - 180
    const zones = find(lat, lon)
    if (zones.length === 0) throw new Error(`no zone at ${lat} ${lon}`)
    const name = [...new Set(zones)].sort().join(' ')
    let idx = indexOf.get(name)
    if (idx === undefined) {
      idx = names.length
      names.push(name)
      indexOf.set(name, idx)
    }
    grid.writeUInt16LE(idx, (y * width + x) * 2)
  }
}
fs.writeFileSync(prefix + '.bin', grid)
fs.writeFileSync(prefix + '.json', JSON.stringify({ width, height, names }, null, 1) + '\n')
