#!/usr/bin/env python3
"""Prepares the map's basemap from Natural Earth's data as world-atlas ships it
(TopoJSON): the land, and the borders between countries, at two levels of
detail. Only what the page draws is kept: no names or other properties, no
arc that is neither coast nor border.

world-atlas joins the rings that cross the 180th meridian (Russia, Fiji, the
Aleutians) and runs Antarctica's coast round the South Pole, as a globe
wants them. A flat map wants every ring inside -180..180: each ring is cut
at the meridian into pieces that end on it, and a ring that goes round a
pole is closed along the map's edge through that pole. Land is written as
one list of rings, outer rings turning one way and holes the other, so that
the page fills them as a single shape (nonzero rule) and no seam shows where
two pieces meet.

Each ring and line is one flat list of integers in the level's quantized
units (the first point, then steps), which the page decodes in a few lines.
A level is a dict of named layers; another layer (place names, say) is one
more key. The JSON is written gzip-compressed, once here: the page inflates
it itself, so the viewer never compresses it per request.
Usage: make-basemap.py WORLD-ATLAS-FOLDER OUTPUT.json.gz"""

import gzip
import json
import math
import os
import sys

from topojson import decoded_arcs

# (file, the first zoom level it is drawn at): the coarse one for the world
# and continents, the detailed one for a country and closer.
LEVELS = [('countries-50m.json', 0), ('countries-10m.json', 5)]

POLE = 90.0


def arc_index(reference):
    return ~reference if reference < 0 else reference


def polygons_of(geometry):
    if geometry['type'] == 'Polygon':
        return [geometry['arcs']]
    if geometry['type'] == 'MultiPolygon':
        return geometry['arcs']
    return []


def joined(arcs, references):
    """The points of a ring or line made of arcs (~i runs arc i backwards)."""
    points = []
    for reference in references:
        arc = arcs[~reference][::-1] if reference < 0 else arcs[reference]
        points.extend(arc[1:] if points else arc)
    return points


def unwrapped(points):
    """The points with longitudes made continuous: a step of more than 180°
    is the short way across the 180th meridian, so the longitude goes on
    beyond ±180 instead of jumping to the other edge."""
    result = [points[0]]
    for lon, lat in points[1:]:
        previous = result[-1][0]
        lon += 360 * round((previous - lon) / 360)
        result.append((lon, lat))
    return result


def closed_round_pole(ring):
    """A ring that goes once round a pole ends 360° from where it started:
    it is closed along the map's edge, down to the pole on the side it lies."""
    start, end = ring[0], ring[-1]
    if abs(end[0] - start[0]) < 180:
        return ring
    pole = -POLE if sum(lat for _, lat in ring) < 0 else POLE
    return ring + [(end[0], pole), (start[0], pole), start]


def clipped(ring, inside, crossing):
    """One step of Sutherland-Hodgman: the ring cut to one side of a line."""
    result = []
    for index, current in enumerate(ring):
        previous = ring[index - 1]
        if inside(current):
            if not inside(previous):
                result.append(crossing(previous, current))
            result.append(current)
        elif inside(previous):
            result.append(crossing(previous, current))
    return result


def at_longitude(lon):
    def crossing(a, b):
        t = (lon - a[0]) / (b[0] - a[0])
        return (lon, a[1] + t * (b[1] - a[1]))
    return crossing


def area(ring):
    return sum(a[0] * b[1] - b[0] * a[1] for a, b in zip(ring, ring[1:] + ring[:1])) / 2


def on_the_map(ring):
    """The pieces of a ring (its longitudes unwrapped) that fall in each
    360° copy of the world, moved into -180..180."""
    lowest = min(lon for lon, _ in ring)
    highest = max(lon for lon, _ in ring)
    pieces = []
    for copy in range(math.floor((lowest + 180) / 360), math.ceil((highest - 180) / 360) + 1):
        west, east = -180 + 360 * copy, 180 + 360 * copy
        piece = clipped(ring, lambda p: p[0] >= west, at_longitude(west))
        piece = clipped(piece, lambda p: p[0] <= east, at_longitude(east)) if piece else []
        if len(piece) >= 3 and area(piece) != 0:
            pieces.append([(lon - 360 * copy, lat) for lon, lat in piece])
    return pieces


def land_rings(topology, arcs):
    """The land as flat rings: outer rings counter-clockwise (on a map with
    north up), holes clockwise, every one inside -180..180."""
    rings = []
    for geometry in topology['objects']['land']['geometries']:
        for polygon in polygons_of(geometry):
            for number, references in enumerate(polygon):
                outer = number == 0
                for piece in on_the_map(closed_round_pole(unwrapped(joined(arcs, references)))):
                    rings.append(piece if (area(piece) > 0) == outer else piece[::-1])
    return rings


def border_lines(topology, arcs):
    """The borders between countries as lines, cut where they cross the
    180th meridian. An arc that two countries share is a border between
    them; one that a single country has is coast, drawn as the edge of the land."""
    owners = {}
    for number, country in enumerate(topology['objects']['countries']['geometries']):
        for polygon in polygons_of(country):
            for ring in polygon:
                for reference in ring:
                    owners.setdefault(arc_index(reference), set()).add(number)
    lines = []
    for index in sorted(index for index, countries in owners.items() if len(countries) > 1):
        line = [arcs[index][0]]
        for a, b in zip(arcs[index], arcs[index][1:]):
            if abs(b[0] - a[0]) > 180:
                edge = 180 if a[0] > 0 else -180
                crossing = at_longitude(edge)(a, (b[0] + 2 * edge, b[1]))
                lines.append(line + [crossing])
                line = [(-edge, crossing[1])]
            line.append(b)
        lines.append(line)
    return lines


def quantized(points, transform):
    """A ring or line as one flat list of integers: the first point, then steps."""
    (sx, sy), (tx, ty) = transform['scale'], transform['translate']
    flat = []
    x0 = y0 = 0
    for lon, lat in points:
        x, y = round((lon - tx) / sx), round((lat - ty) / sy)
        if flat and x == x0 and y == y0:
            continue
        flat += [x - x0, y - y0]
        x0, y0 = x, y
    return flat


def level(topology, min_zoom):
    arcs = decoded_arcs(topology)
    transform = topology['transform']
    return {
        'minZoom': min_zoom,
        'scale': transform['scale'],
        'translate': transform['translate'],
        'land': [quantized(ring, transform) for ring in land_rings(topology, arcs)],
        'borders': [quantized(line, transform) for line in border_lines(topology, arcs)],
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
