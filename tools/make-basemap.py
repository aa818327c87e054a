#!/usr/bin/env python3
"""Prepares the map's basemap from Natural Earth's data as world-atlas ships it
(TopoJSON): the land, and the borders between countries, at two levels of
detail. Only what the page draws is kept: no names or other properties, no
arc that is neither coast nor border, and each arc as one flat list of
integers (the first point, then steps), which the page decodes in a few
lines. The JSON is written gzip-compressed, once here: the page inflates it
itself, so the viewer never compresses it per request.
Usage: make-basemap.py WORLD-ATLAS-FOLDER OUTPUT.json.gz"""

import gzip
import json
import os
import sys

# (file, the first zoom level it is drawn at): the coarse one for the world
# and continents, the detailed one for a country and closer.
LEVELS = [('countries-50m.json', 0), ('countries-10m.json', 5)]


def arc_index(reference):
    return ~reference if reference < 0 else reference


def polygons_of(geometry):
    if geometry['type'] == 'Polygon':
        return [geometry['arcs']]
    if geometry['type'] == 'MultiPolygon':
        return geometry['arcs']
    return []


def level(topology, min_zoom):
    land = [polygon for geometry in topology['objects']['land']['geometries'] for polygon in polygons_of(geometry)]
    # An arc that two countries share is a border between them; one that a
    # single country has is coast, drawn as the edge of the land.
    owners = {}
    for number, country in enumerate(topology['objects']['countries']['geometries']):
        for polygon in polygons_of(country):
            for ring in polygon:
                for reference in ring:
                    owners.setdefault(arc_index(reference), set()).add(number)
    borders = sorted(index for index, countries in owners.items() if len(countries) > 1)

    used = sorted({arc_index(r) for polygon in land for ring in polygon for r in ring} | set(borders))
    renumbered = {old: new for new, old in enumerate(used)}

    def renumber(reference):
        new = renumbered[arc_index(reference)]
        return ~new if reference < 0 else new

    return {
        'minZoom': min_zoom,
        'scale': topology['transform']['scale'],
        'translate': topology['transform']['translate'],
        'arcs': [[value for point in topology['arcs'][old] for value in point] for old in used],
        'land': [[[renumber(r) for r in ring] for ring in polygon] for polygon in land],
        'borders': [renumbered[index] for index in borders],
    }


def main():
    if len(sys.argv) != 3:
        sys.stderr.write('usage: make-basemap.py WORLD-ATLAS-FOLDER OUTPUT.json.gz\n')
        return 2
    folder, output = sys.argv[1:]
    levels = []
    for name, min_zoom in LEVELS:
        with open(os.path.join(folder, name)) as source:
            levels.append(level(json.load(source), min_zoom))
    basemap = {'source': 'Natural Earth (public domain), via world-atlas', 'levels': levels}
    temporary = output + '.tmp'
    text = json.dumps(basemap, separators=(',', ':')).encode()
    with open(temporary, 'wb') as out:
        # No time stamp: the same data gives the same bytes.
        out.write(gzip.compress(text, compresslevel=9, mtime=0))
    os.replace(temporary, output)
    return 0


if __name__ == '__main__':
    sys.exit(main())
