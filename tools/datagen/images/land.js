// Converts the Natural Earth land polygons that the world-atlas package ships
// as TopoJSON into plain GeoJSON, for the mask rasteriser.
//
//   node land.js SCALE OUT.geojson      (SCALE: 10m, 50m or 110m)
'use strict'
const fs = require('fs')
const path = require('path')
const topojson = require('topojson-client')

const [scale, out] = [process.argv[2], process.argv[3]]
if (!['10m', '50m', '110m'].includes(scale) || !out) {
  console.error('usage: node land.js 10m|50m|110m OUT.geojson')
  process.exit(2)
}
const file = path.join(path.dirname(require.resolve('world-atlas/package.json')), `land-${scale}.json`)
const topology = JSON.parse(fs.readFileSync(file, 'utf8'))
const land = topojson.feature(topology, topology.objects.land)
fs.writeFileSync(out, JSON.stringify(land))
