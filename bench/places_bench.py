#!/usr/bin/python3
"""The album's Places map over a large folder, measured against its goals in
script mode (`quorix-viewer --script`): a folder of generated photos with
positions (10,000 by default, scattered over a few towns), read once so it
sits in the page cache, then

  first map      `places` the first time: every photo's position read and
                 the clusters for the map made
  next map       `back` then `places` again: the positions are kept
  zoom, pan      each `zoom-in`, `zoom-out` and `pan` (median of a road)
  peak RSS       the viewer's peak resident memory at the end (VmHWM)

Each figure is printed beside its goal and their ratio (below 1 meets it),
and beside the yardstick: `show` on the album, a round trip that does no
Places work, timed in the same session.

  bench/places_bench.py --viewer build/bin/quorix-viewer [--count N]
"""

import argparse
import json
import os
import random
import statistics
import struct
import subprocess
import sys
import tempfile
import time

# What the viewer's tests read of a running viewer.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'browser'))
from viewer_server import memory_kb  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def rational(value):
    return struct.pack('<II', int(round(value * 10000)), 10000)


def gps_exif(latitude, longitude):
    """An Exif APP1 segment whose only content is a GPS directory."""
    def dms(degrees):
        degrees = abs(degrees)
        whole = int(degrees)
        minutes = int((degrees - whole) * 60)
        seconds = ((degrees - whole) * 60 - minutes) * 60
        return struct.pack('<II', whole, 1) + struct.pack('<II', minutes, 1) + rational(seconds)
    # TIFF header, IFD0 with one entry (GPSInfo) at 8, the GPS IFD after it.
    gps_at = 8 + 2 + 12 + 4
    entries = 4
    data_at = gps_at + 2 + entries * 12 + 4
    ifd0 = struct.pack('<2sHI', b'II', 42, 8) + struct.pack('<H', 1) + struct.pack('<HHII', 0x8825, 4, 1, gps_at) + struct.pack('<I', 0)
    gps = struct.pack('<H', entries)
    gps += struct.pack('<HHI4s', 1, 2, 2, (b'S' if latitude < 0 else b'N') + b'\0\0\0')
    gps += struct.pack('<HHII', 2, 5, 3, data_at)
    gps += struct.pack('<HHI4s', 3, 2, 2, (b'W' if longitude < 0 else b'E') + b'\0\0\0')
    gps += struct.pack('<HHII', 4, 5, 3, data_at + 24)
    gps += struct.pack('<I', 0)
    tiff = ifd0 + gps + dms(latitude) + dms(longitude)
    body = b'Exif\0\0' + tiff
    return b'\xff\xe1' + struct.pack('>H', len(body) + 2) + body


def jpeg_without_app1(path):
    """The sample's bytes after its start-of-image, its APP1 segments left out."""
    data = open(path, 'rb').read()
    out, i = b'', 2
    while i < len(data):
        marker = data[i + 1]
        if marker == 0xda:
            return out + data[i:]
        length = struct.unpack('>H', data[i + 2:i + 4])[0]
        if marker != 0xe1:
            out += data[i:i + 2 + length]
        i += 2 + length
    raise SystemExit(path + ': no image data')


def make_photos(folder, count):
    rest = jpeg_without_app1(os.path.join(HERE, '..', 'samples', 'no-position.jpg'))
    towns = [(59.91, 10.75), (-22.95, -43.16), (35.68, 139.76), (48.85, 2.35), (40.71, -74.0)]
    rng = random.Random(38)
    for i in range(count):
        lat, lon = towns[i % len(towns)]
        with open(os.path.join(folder, 'p%05d.jpg' % i), 'wb') as out:
            out.write(b'\xff\xd8' + gps_exif(lat + rng.gauss(0, 0.05), lon + rng.gauss(0, 0.05)) + rest)


class Viewer:
    def __init__(self, program, folder):
        self.process = subprocess.Popen([program, '--script', folder], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        text=True, env=dict(os.environ, LC_ALL='C.UTF-8'))

    def run(self, command):
        start = time.perf_counter()
        self.process.stdin.write(command + '\n')
        self.process.stdin.flush()
        answer = json.loads(self.process.stdout.readline())
        took = time.perf_counter() - start
        if not answer.get('ok'):
            raise SystemExit('%s: %s' % (command, answer))
        return took, answer

    def peak_rss_mb(self):
        return memory_kb(self.process.pid, 'VmHWM') / 1024

    def quit(self):
        self.process.stdin.write('quit\n')
        self.process.stdin.close()
        self.process.wait(timeout=30)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--viewer', required=True)
    parser.add_argument('--count', type=int, default=10000)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        make_photos(folder, args.count)
        for name in os.listdir(folder):  # into the page cache
            with open(os.path.join(folder, name), 'rb') as photo:
                photo.read()
        viewer = Viewer(args.viewer, folder)
        viewer.run('tap Photos')
        yardstick = statistics.median(viewer.run('show')[0] for _ in range(5))
        first, _ = viewer.run('places')
        viewer.run('back')
        second, _ = viewer.run('places')
        moves = []
        for command in ['zoom-in', 'zoom-in', 'pan 100 -50', 'zoom-in', 'pan -200 80', 'zoom-out', 'pan 0 120', 'zoom-out']:
            moves.append(viewer.run(command)[0])
        _, shown = viewer.run('show')
        total = json.dumps(shown).split('"total": ')[1].split(',')[0].split('}')[0]
        clusters = sum(1 for layer in shown['screen']['layers'] for _ in json.dumps(layer).split('"role": "cluster"')[1:])
        rss = viewer.peak_rss_mb()
        viewer.quit()
    move = statistics.median(moves)
    print('%d photos with positions; yardstick (show on the album) %.1f ms' % (args.count, yardstick * 1000))
    for name, value, goal in [('first map', first, 1.0), ('next map', second, 0.1), ('zoom or pan (median)', move, 0.1),
                              ('zoom or pan (slowest)', max(moves), 0.1)]:
        print('%-22s %8.1f ms  goal %5.0f ms  ratio %.3f  x yardstick %.1f' % (name, value * 1000, goal * 1000, value / goal,
                                                                              value / yardstick))
    print('%-22s %8.1f MB  goal %5.0f MB  ratio %.3f' % ('peak RSS', rss, 200, rss / 200))
    print('clusters on the last map: %d; photos placed: %s' % (clusters, total))


if __name__ == '__main__':
    sys.exit(main())
