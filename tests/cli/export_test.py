"""`quorix places` and `quorix info --csv` read back as other tools read them.

The GeoJSON goes through a JSON parser and through GDAL's ogrinfo (a GIS
reader), and each position is held against the file's GPS entries as
exiv2's own command reads them; the CSV goes through Python's csv module and
each cell is held against `quorix info --json`. Both are run with one process
and with several: the output must not change.
"""

import argparse
import csv
import io
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
from fractions import Fraction

ENGLISH = {"LANGUAGE": "", "LC_ALL": "C.UTF-8", "LC_MESSAGES": "", "LANG": "C.UTF-8"}
GERMAN = {"LANGUAGE": "de", "LC_ALL": "de_DE.UTF-8", "LC_MESSAGES": "", "LANG": "de_DE.UTF-8"}

failures = []

# The capture dates of the photos make_photos makes, as ISO 8601.
CAPTURE_DATES = {
    "b oslo.jpg": "2014-05-06T18:42:17",
    "c rio.jpg": None,
    "d offset.jpg": "2014-05-06T18:42:17-03:00",
}


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message, file=sys.stderr)


def run(command, environment, cwd):
    env = dict(os.environ)
    env.update(environment)
    # Decoded by hand: text mode would turn the records' CRLF into LF.
    result = subprocess.run(command, env=env, cwd=cwd, capture_output=True, timeout=120)
    return subprocess.CompletedProcess(result.args, result.returncode, result.stdout.decode(), result.stderr.decode())


def exif_entries(path):
    """Every entry exiv2's command reads, key to raw value."""
    out = subprocess.run(["exiv2", "-Pkv", path], capture_output=True, text=True).stdout
    entries = {}
    for line in out.splitlines():
        key, _, value = line.partition(" ")
        entries[key] = value.strip()
    return entries


def degrees(rationals, reference):
    parts = [Fraction(part) for part in rationals.split()]
    value = sum(part / 60 ** index for index, part in enumerate(parts))
    return float(-value if reference in ("S", "W") else value)


def make_photos(samples, folder):
    """Photos with and without a position, one recording its offset from UTC,
    one whose texts need quoting in CSV, and a file that is not a photo."""
    shutil.copy(os.path.join(samples, "dense-exif.jpg"), os.path.join(folder, "b oslo.jpg"))
    shutil.copy(os.path.join(samples, "no-position.jpg"), os.path.join(folder, "a nowhere.jpg"))
    blank = os.path.join(folder, "c rio.jpg")
    shutil.copy(os.path.join(samples, "quorix-sample.jpg"), blank)
    # A camera that never had its clock set writes zeros for the date.
    subprocess.run(["exiv2", "-M", "set Exif.Photo.DateTimeOriginal Ascii 0000:00:00 00:00:00",
                    "-M", "set Exif.Photo.OffsetTimeOriginal Ascii +01:00", blank], check=True)
    offset = os.path.join(folder, "d offset.jpg")
    shutil.copy(os.path.join(samples, "portrait-rotated.jpg"), offset)
    subprocess.run(["exiv2", "-M", "set Exif.Photo.OffsetTimeOriginal Ascii -03:00",
                    "-M", 'set Exif.Image.Software Ascii say "cheese", then\nsmile', offset], check=True)
    with open(os.path.join(folder, "e notes.txt"), "w") as notes:
        notes.write("not a photo\n")


def check_places(quorix, folder, names):
    one = run([quorix, "places", "-j", "1"] + names, ENGLISH, folder)
    many = run([quorix, "places", "-j", "3"] + names, ENGLISH, folder)
    info = run([quorix, "info", "--json", "-j", "1"] + names, ENGLISH, folder)
    check((many.stdout, many.stderr, many.returncode) == (one.stdout, one.stderr, one.returncode),
          "places -j 3 differs from -j 1")
    # What cannot be described is reported as info reports it.
    check(one.stderr == info.stderr and one.returncode == info.returncode,
          "places reports %r (%d), info %r (%d)" % (one.stderr, one.returncode, info.stderr, info.returncode))

    described = {}
    for line in info.stdout.splitlines():
        entry = json.loads(line)
        described[entry["path"]] = entry

    collection = json.loads(one.stdout)
    check(collection["type"] == "FeatureCollection", "not a FeatureCollection")
    paths = [feature["properties"]["path"] for feature in collection["features"]]
    positioned = [name for name in names if name in described and described[name]["location"]]
    check(paths == positioned, "features for %s, photos with a position %s" % (paths, positioned))
    check(len(positioned) == 3, "expected three photos with a position, got %s" % positioned)

    for feature in collection["features"]:
        path = feature["properties"]["path"]
        check(feature["type"] == "Feature" and feature["geometry"]["type"] == "Point", path + ": not a Point feature")
        longitude, latitude = feature["geometry"]["coordinates"]
        entries = exif_entries(os.path.join(folder, path))
        want_latitude = degrees(entries["Exif.GPSInfo.GPSLatitude"], entries["Exif.GPSInfo.GPSLatitudeRef"])
        want_longitude = degrees(entries["Exif.GPSInfo.GPSLongitude"], entries["Exif.GPSInfo.GPSLongitudeRef"])
        check(abs(latitude - want_latitude) < 1e-9 and abs(longitude - want_longitude) < 1e-9,
              "%s: at %s, %s; its GPS entries say %s, %s" % (path, longitude, latitude, want_longitude, want_latitude))
        want_date = CAPTURE_DATES[path]
        check(feature["properties"]["date"] == want_date,
              "%s: date %s, want %s" % (path, feature["properties"]["date"], want_date))
        check(feature["properties"]["place"] == described[path]["place"], path + ": place differs from info --json")

    # A GIS reader: one feature per photo with a position, each at its point.
    geojson = os.path.join(folder, "places.geojson")
    with open(geojson, "w") as out:
        out.write(one.stdout)
    ogr = subprocess.run(["ogrinfo", "-ro", "-al", "-q", geojson], capture_output=True, text=True)
    check(ogr.returncode == 0, "ogrinfo failed: " + ogr.stderr)
    read = re.findall(r"path \(String\) = (.*)\n(?:.*\n)*?\s*POINT \((\S+) (\S+)\)", ogr.stdout)
    check([path for path, _, _ in read] == positioned, "ogrinfo reads %s" % read)
    for path, longitude, latitude in read:
        feature = next(f for f in collection["features"] if f["properties"]["path"] == path)
        got = (float(longitude), float(latitude))
        want = tuple(feature["geometry"]["coordinates"])
        check(abs(got[0] - want[0]) < 1e-9 and abs(got[1] - want[1]) < 1e-9, "%s: ogrinfo at %s, JSON %s" % (path, got, want))
    check(re.search(r"date \(DateTime\) = 2014/05/06 18:42:17-03", ogr.stdout) is not None, "ogrinfo reads no offset date")


def check_csv(quorix, folder, names):
    photos = [name for name in names if name.endswith(".jpg") and os.path.exists(os.path.join(folder, name))]
    one = run([quorix, "info", "--csv", "-j", "1"] + photos, GERMAN, folder)
    many = run([quorix, "info", "--csv", "-j", "3"] + photos, GERMAN, folder)
    check(one.returncode == 0, "info --csv failed: " + one.stderr)
    check(many.stdout == one.stdout, "info --csv -j 3 differs from -j 1")
    check(one.stdout.endswith("\r\n") and "\n" not in one.stdout.replace("\r\n", "").replace("\nsmile", ""),
          "records do not end in CRLF")
    info = run([quorix, "info", "--json", "-j", "1"] + photos, GERMAN, folder)
    objects = [json.loads(line) for line in info.stdout.splitlines()]

    records = list(csv.reader(io.StringIO(one.stdout, newline="")))
    header, rows = records[0], records[1:]
    check(len(rows) == len(objects), "%d records for %d photos" % (len(rows), len(objects)))
    check(header[0] == "Pfad" and header[-2:] == ["Datumsstempel", "Aufnahmeort"], "header %s" % header)
    # Every label of every photo, each once, in the table's order.
    labels = header[1:-2]
    for entry in objects:
        own = [row["label"] for section in entry["sections"] for row in section["rows"]]
        check([label for label in labels if label in own] == own, entry["path"] + ": its rows are not in the header's order")
    check(len(labels) == len(set(labels)), "a label heads two columns")

    for entry, record in zip(objects, rows):
        check(len(record) == len(header), entry["path"] + ": %d fields for %d columns" % (len(record), len(header)))
        cells = dict(zip(header, record))
        check(cells["Pfad"] == entry["path"], "path %s, want %s" % (cells["Pfad"], entry["path"]))
        values = {row["label"]: row["value"] for section in entry["sections"] for row in section["rows"]}
        for label in labels:
            check(cells[label] == values.get(label, ""), "%s: %s is %r, JSON %r" % (entry["path"], label, cells[label], values.get(label, "")))
        check(cells["Datumsstempel"] == entry["stamp"], entry["path"] + ": stamp differs")
        place = entry["place"]
        want = "%s, %s (%.1f km)" % (place["name"], place["country"], place["distance_km"]) if place else ""
        check(cells["Aufnahmeort"] == want, "%s: place %r, want %r" % (entry["path"], cells["Aufnahmeort"], want))
    quoted = [record for record in rows if record[0] == "d offset.jpg"]
    check(quoted and 'say "cheese", then\nsmile' in quoted[0], "the quoted Software text did not come back whole")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quorix", required=True)
    parser.add_argument("--samples", required=True)
    arguments = parser.parse_args()
    for tool in ("ogrinfo", "exiv2"):
        if not shutil.which(tool):
            print("skipped: %s is not installed (scripts/install-deps.sh)" % tool)
            return 77
    with tempfile.TemporaryDirectory(prefix="quorix export ") as folder:
        make_photos(arguments.samples, folder)
        names = sorted(os.listdir(folder)) + ["missing.jpg"]
        check_places(arguments.quorix, folder, names)
        check_csv(arguments.quorix, folder, names)
    print("%d failed" % len(failures) if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
