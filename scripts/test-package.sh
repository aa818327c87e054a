#!/usr/bin/env bash
# Builds Quorix in Release (warnings as errors, no tests) and its Debian
# package, and checks both ways of installing it:
#   - `cmake --install` into a throwaway prefix: the layout, run paths that
#     stay inside the prefix, and the programs run from another folder;
#   - the package installed on this machine with apt-get, its programs run
#     on the shipped sample from another folder, then purged.
# Whatever the package brought onto the machine is removed again, also when a
# step fails. Needs root (it installs a package).
# Usage: scripts/test-package.sh [BUILD_DIR]   (default: build-package)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build-package}
sample=$root/samples/quorix-sample.jpg

fail()
{
    echo "test-package: $*" >&2
    exit 1
}

installed_packages()
{
    dpkg-query -W -f='${Status} ${Package}\n' | awk '$3 == "installed" { print $4 }' | sort
}

[[ $(id -u) == 0 ]] || fail "must run as root: it installs and removes the quorix package"
[[ -f $sample ]] || fail "$sample: No such file or directory"
if installed_packages | grep -qx quorix; then
    fail "a quorix package is already installed; this test would remove it (apt-get purge quorix first)"
fi

echo "test-package: building in $build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORIX_BUILD_TESTS=OFF -DQUORIX_WERROR=ON >/dev/null
mkdir -p "$build"
cmake --build "$build" -j "$(nproc)" >"$build/build.log"
rm -f "$build"/quorix_*.deb
(cd "$build" && cpack -G DEB >cpack.log) || { cat "$build/cpack.log" >&2; fail "cpack failed"; }
debs=("$build"/quorix_*.deb)
((${#debs[@]} == 1)) || fail "expected one package in $build, found: ${debs[*]}"
deb=$(realpath "${debs[0]}")

work=$(mktemp -d)
installed_packages >"$work/packages-before"
cleanup()
{
    local status=$?
    if installed_packages | grep -qx quorix; then
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq quorix >/dev/null || status=1
    fi
    # Dependencies the package pulled in go as well.
    local added
    added=$(installed_packages | comm -13 "$work/packages-before" -)
    if [[ -n $added ]]; then
        # shellcheck disable=SC2086
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq $added >/dev/null || status=1
    fi
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT

elsewhere=$work/elsewhere
mkdir -p "$elsewhere"
# A 1 x 1 PNG with a compressed text chunk, which only the full image
# reader reads (such a chunk may hold metadata).
png=$work/dot.png
python3 - "$png" <<'PY'
import struct, sys, zlib
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
open(sys.argv[1], "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 0, 0, 0, 0))
    + chunk(b"zTXt", b"Comment\0\0" + zlib.compress(b"dot")) + chunk(b"IDAT", zlib.compress(b"\0\0")) + chunk(b"IEND", b""))
PY
export XDG_CONFIG_HOME=$work/config
unset LD_LIBRARY_PATH QUORIX_LIBRARY_DIR LANGUAGE LC_ALL LC_MESSAGES
export LANG=C.UTF-8

# Checks that a line of the text matches a pattern; the message shows the text.
expect_line()
{
    local what=$1 text=$2 pattern=$3
    grep -qxE -- "$pattern" <<<"$text" || fail "$what: no line matching '$pattern' in:"$'\n'"$text"
}

# The programs of an installation at PREFIX, run from another folder.
check_programs()
{
    local prefix=$1 where=$2 info viewer
    info=$(cd "$elsewhere" && "$prefix/bin/quorix" info "$sample" 2>"$work/info.err") || fail "$where: quorix info failed"
    [[ -s $work/info.err ]] && fail "$where: quorix info wrote to stderr: $(cat "$work/info.err")"
    expect_line "$where: quorix info" "$info" "Name +quorix-sample\.jpg"
    # ICU's formatter, opened beside the platform, writes the long date.
    expect_line "$where: quorix info" "$info" "Modified +[A-Z][a-z]+ [0-9]+, [0-9]{4} at [0-9]+:[0-9]{2}.*"
    expect_line "$where: quorix info" "$info" "Make +Quorix Project"
    expect_line "$where: quorix info" "$info" "Location +-22\.948658, -43\.157444"
    expect_line "$where: quorix info" "$info" "Place +Rio de Janeiro, Brazil \(9\.5 km\)"
    # The full image reader, opened beside the platform, reads this PNG.
    info=$(cd "$elsewhere" && "$prefix/bin/quorix" info "$png" 2>&1) || fail "$where: quorix info of a PNG failed"
    expect_line "$where: quorix info of a PNG" "$info" "Image Size +1 x 1"
    info=$(cd "$elsewhere" && LANGUAGE=de "$prefix/bin/quorix" info "$sample") || fail "$where: quorix info (de) failed"
    expect_line "$where: LANGUAGE=de quorix info" "$info" "Ordner +$(dirname "$sample")"
    info=$(cd "$elsewhere" && LANG=zh_TW.UTF-8 "$prefix/bin/quorix" info "$sample") || fail "$where: quorix info (zh_TW) failed"
    expect_line "$where: LANG=zh_TW.UTF-8 quorix info" "$info" "資料夾 +$(dirname "$sample")"

    # The viewer loads Quorix.so from its installed folder: the bar has Info,
    # and tapping it opens the info screen over the viewer.
    viewer=$(cd "$elsewhere" && printf 'tap Info\nshow\nquit\n' | "$prefix/bin/quorix-viewer" --script "$sample" 2>"$work/viewer.err") ||
        fail "$where: quorix-viewer failed: $(cat "$work/viewer.err")"
    [[ -s $work/viewer.err ]] && fail "$where: quorix-viewer wrote to stderr: $(cat "$work/viewer.err")"
    (($(wc -l <<<"$viewer") == 3)) || fail "$where: quorix-viewer gave not three answers:"$'\n'"$viewer"
    grep -qv '^{"ok":true' <<<"$viewer" && fail "$where: quorix-viewer answered an error:"$'\n'"$viewer"
    for element in '"role":"modal"' '"label":"Info"' '"text":"Done"' '"text":"Name"'; do
        grep -qF "$element" <<<"$viewer" || fail "$where: quorix-viewer's info screen has no $element"
    done
    true
}

echo "test-package: cmake --install into a throwaway prefix"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/quorix bin/quorix-viewer bin/QuorixTool \
    lib/quorix/libquorix_platform.so lib/quorix/libquorix_full_reader.so lib/quorix/libquorix_date_formats.so lib/quorix/libquorix_digests.so lib/quorix/libPhotoLibrary.so lib/quorix/libPhotosUI.so \
    lib/quorix/DynamicLibraries/Quorix.so \
    share/quorix/en.lproj/Quorix.strings share/quorix/zh-Hant.lproj/Quorix.strings \
    share/quorix-viewer/de.lproj/Localizable.strings share/quorix-viewer/ja.lproj/Quorix.strings \
    share/quorix-viewer/ja.lproj/UIKit.strings share/quorix-viewer/zh-Hant.lproj/Page.strings \
    share/quorix-viewer/web/leaflet.js share/quorix-viewer/web/map.js share/quorix-viewer/web/album.js share/quorix-viewer/web/access.js share/quorix-viewer/web/basemap.json.gz \
    share/quorix-viewer/web/place-labels.js share/quorix-viewer/web/place-names.json.gz \
    share/man/man1/quorix.1.gz share/man/man1/quorix-viewer.1.gz share/man/man8/QuorixTool.8.gz \
    share/bash-completion/completions/quorix; do
    [[ -f $prefix/$file ]] || fail "cmake --install: $file is missing"
done
# Every installed program and library finds ours inside the prefix, through
# a run path relative to itself.
while IFS= read -r elf; do
    if readelf -d "$elf" | grep -q 'RPATH\|RUNPATH'; then
        runpath=$(readelf -d "$elf" | sed -n 's/.*R\(UN\)\{0,1\}PATH.*\[\(.*\)\]/\2/p')
        [[ $runpath == \$ORIGIN* && $runpath != *"$root"* ]] || fail "$elf: run path $runpath"
    fi
    ldd "$elf" | grep -q 'not found' && fail "$elf: $(ldd "$elf" | grep 'not found')"
    ours=$(ldd "$elf" | grep -E 'libquorix_platform|libquorix_full_reader|libquorix_date_formats|libquorix_digests|libPhotoLibrary|Quorix\.so' || true)
    grep -v -- "=> $prefix/" <<<"$ours" | grep -q . && fail "$elf loads a library from outside the prefix: $ours"
done < <(find "$prefix" -type f \( -name '*.so' -o -path '*/bin/*' \))
# exiv2 is loaded with the full image reader, for the photos the lean reader
# leaves, not with the platform at every start.
readelf -d "$prefix/lib/quorix/libquorix_platform.so" | grep -q 'NEEDED.*libexiv2' &&
    fail "libquorix_platform.so links exiv2"
# A library the platform opens when first needed is the only file of the
# prefix that links what it wraps: `only_one_links FILE PATTERN NAME`.
only_one_links() {
    local library=$1 needed=$2 name=$3
    while IFS= read -r elf; do
        [[ $elf == */$library ]] && continue
        readelf -d "$elf" | grep -q "NEEDED.*$needed" && fail "$elf links $name"
    done < <(find "$prefix" -type f \( -name '*.so' -o -path '*/bin/*' \))
    readelf -d "$prefix/lib/quorix/$library" | grep -q "NEEDED.*$needed" ||
        fail "$library does not link $name"
}
# ICU's formatting half comes with the date formats library, the first time a
# date needs it; libmd with the digests library, for the first digest.
only_one_links libquorix_date_formats.so libicui18n libicui18n
only_one_links libquorix_digests.so 'libmd\.' libmd
check_programs "$prefix" "installed in a prefix"

echo "test-package: the package"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libexiv2 libicu libssl libmd0 libgweather-4-0; do
    grep -q "$library" <<<"$depends" || fail "$deb: Depends has no $library: $depends"
done
grep -qi quorix <<<"$depends" && fail "$deb: Depends names the package's own libraries: $depends"

echo "test-package: apt-get install $deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get install failed"; }
check_programs /usr "installed package"
[[ $(cd "$elsewhere" && quorix --version) == "$(dpkg-deb -f "$deb" Version)" ]] ||
    fail "quorix on PATH is not the packaged version"
zcat /usr/share/man/man1/quorix.1.gz | groff -man -ww -z -Tutf8 2>"$work/man.err" && [[ ! -s $work/man.err ]] ||
    fail "quorix(1): $(cat "$work/man.err")"
files=$(dpkg-query -L quorix)

echo "test-package: apt-get purge quorix"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq quorix >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get purge failed"; }
while IFS= read -r file; do
    [[ -f $file || -L $file ]] && fail "$file is still there after purge"
done <<<"$files"
[[ -e /usr/lib/quorix || -e /usr/share/quorix || -e /usr/share/quorix-viewer ]] &&
    fail "a folder of the package is still there after purge"
echo "test-package: $(basename "$deb") builds, installs, runs from another folder and purges cleanly"
