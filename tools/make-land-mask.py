#!/usr/bin/env python3
"""Draws Natural Earth's land (1:10m, as world-atlas ships it) into a mask of
cells of 1/20 degree, one bit each (1: some land at the cell's middle row),
and writes it zlib-compressed, in bands of rows, into a C++ source, so the
place lookup can tell a position at sea without any file to find at run time.
The cell size and the band's rows are read from LandMask.h, the one place
they are written, so the lookup and the data cannot disagree.
Usage: make-land-mask.py WORLD-ATLAS-FOLDER LANDMASK.h OUTPUT.cpp"""

import json
import math
import os
import re
import sys
import zlib

from topojson import decoded_arcs


def header_constant(header, name):
    """The value of `constexpr int NAME = VALUE;` in the header's text."""
    found = re.search(r'constexpr\s+int\s+' + name + r'\s*=\s*(\d+)\s*;', header)
    if not found:
        sys.exit(f'make-land-mask.py: no constant {name} in the header')
    return int(found.group(1))


CELLS_PER_DEGREE = WIDTH = HEIGHT = BAND_ROWS = 0


def read_layout(header_path):
    global CELLS_PER_DEGREE, WIDTH, HEIGHT, BAND_ROWS
    with open(header_path) as source:
        header = source.read()
    CELLS_PER_DEGREE = header_constant(header, 'landMaskCellsPerDegree')
    BAND_ROWS = header_constant(header, 'landMaskBandRows')
    WIDTH = 360 * CELLS_PER_DEGREE
    HEIGHT = 180 * CELLS_PER_DEGREE


def rings(topology):
    arcs = decoded_arcs(topology)
    for geometry in topology['objects']['land']['geometries']:
        polygons = [geometry['arcs']] if geometry['type'] == 'Polygon' else geometry['arcs']
        for polygon in polygons:
            for ring in polygon:
                points = []
                for reference in ring:
                    arc = arcs[~reference][::-1] if reference < 0 else arcs[reference]
                    points.extend(arc[1:] if points else arc)
                yield points


def mask(topology):
    # Where each ring's edges cross the middle of each row of cells.
    crossings = [[] for _ in range(HEIGHT)]
    for ring in rings(topology):
        for (x1, y1), (x2, y2) in zip(ring, ring[1:] + ring[:1]):
            if y1 == y2:
                continue
            low, high = min(y1, y2), max(y1, y2)
            first = max(0, math.ceil((90 - high) * CELLS_PER_DEGREE - 0.5))
            last = min(HEIGHT - 1, math.floor((90 - low) * CELLS_PER_DEGREE - 0.5))
            for row in range(first, last + 1):
                y = 90 - (row + 0.5) / CELLS_PER_DEGREE
                if low <= y < high:
                    crossings[row].append(x1 + (y - y1) * (x2 - x1) / (y2 - y1))
    # Land lies between a crossing and the next (even-odd). South of 84
    # degrees all is Antarctica, but the data, made for maps that stop near
    # 85 degrees, close the continent there with a seam: those rows are
    # land whatever the seam says.
    bits = bytearray(WIDTH * HEIGHT // 8)
    for row, xs in enumerate(crossings):
        if 90 - (row + 0.5) / CELLS_PER_DEGREE < -84:
            bits[row * WIDTH // 8:(row + 1) * WIDTH // 8] = b'\xff' * (WIDTH // 8)
            continue
        xs.sort()
        cells = bytearray(WIDTH)
        for start, end in zip(xs[0::2], xs[1::2]):
            first = max(0, math.ceil((start + 180) * CELLS_PER_DEGREE - 0.5))
            last = min(WIDTH - 1, math.floor((end + 180) * CELLS_PER_DEGREE - 0.5))
            if first <= last:
                cells[first:last + 1] = b'\x01' * (last + 1 - first)
        for column in range(0, WIDTH, 8):
            byte = 0
            for bit in range(8):
                byte |= cells[column + bit] << bit
            bits[(row * WIDTH + column) // 8] = byte
    return bytes(bits)


def main():
    if len(sys.argv) != 4:
        sys.stderr.write('usage: make-land-mask.py WORLD-ATLAS-FOLDER LANDMASK.h OUTPUT.cpp\n')
        return 2
    folder, header, output = sys.argv[1:]
    read_layout(header)
    with open(os.path.join(folder, 'countries-10m.json')) as source:
        bits = mask(json.load(source))
    # Each band of rows compressed on its own, so a lookup inflates only the
    # band its position is in.
    band_bytes = BAND_ROWS * WIDTH // 8
    data = bytearray()
    offsets = []
    for start in range(0, len(bits), band_bytes):
        offsets.append(len(data))
        data += zlib.compress(bits[start:start + band_bytes], 9)
    offsets.append(len(data))
    lines = ['// Made by tools/make-land-mask.py from Natural Earth (public domain), via world-atlas.',
             '#include "places/LandMask.h"', '', 'namespace places {', '',
             'const unsigned char landMaskCompressed[] = {']
    for start in range(0, len(data), 24):
        lines.append('    ' + ','.join(str(b) for b in data[start:start + 24]) + ',')
    lines += ['};', '', 'const unsigned long landMaskBandOffsets[] = {',
              '    ' + ','.join(str(o) for o in offsets) + ',', '};', '',
              '// Drawn with the layout below: a header changed since fails here.',
              f'static_assert(landMaskCellsPerDegree == {CELLS_PER_DEGREE} && landMaskBandRows == {BAND_ROWS});',
              f'static_assert(sizeof landMaskBandOffsets / sizeof *landMaskBandOffsets'
              f' == 180 * landMaskCellsPerDegree / landMaskBandRows + 1);', '',
              '} // namespace places', '']
    temporary = output + '.tmp'
    with open(temporary, 'w') as out:
        out.write('\n'.join(lines))
    os.replace(temporary, output)
    return 0


if __name__ == '__main__':
    sys.exit(main())
