#!/usr/bin/env bash
# Runs the real QuorixTool, which always works on /Applications, against a
# tmpfs mounted there inside a throwaway mount namespace, and checks that it
# printed nothing, exited 0 and removed exactly the deprecated directories.
#
#   run-in-namespace.sh PATH-TO-QuorixTool
#
# Exit status: 0 passed, 1 failed, 77 skipped (not root, or no mount namespace).
set -euo pipefail

readonly SKIP=77

if [[ ${1:-} == --inside ]]; then
    inside=1
    tool=${2:?}
else
    inside=0
    tool=${1:?usage: run-in-namespace.sh PATH-TO-QuorixTool}
fi

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Names of a directory's entries, sorted bytewise, on one line.
entries() {
    (cd "$1" && LC_ALL=C ls -A | tr '\n' ' ' | sed 's/ $//')
}

expect_entries() {
    local actual
    actual=$(entries "$1") || fail "$1 cannot be listed"
    [[ $actual == "$2" ]] || fail "$1 holds '$actual', expected '$2'"
}

run_inside() {
    # The tool must never see the real /Applications: stop unless the tmpfs is in place.
    mount -t tmpfs quorix-namespace-test /Applications
    mountpoint -q /Applications || fail "no tmpfs on /Applications"
    [[ -z $(ls -A /Applications) ]] || fail "the tmpfs on /Applications is not empty"

    local camera=/Applications/Camera.app photos=/Applications/MobileSlideShow.app outside=/Applications/Outside
    mkdir -p "$camera" "$photos" "$outside/lookalike" "$outside/shared"
    echo keep >"$outside/lookalike/Quorix.strings"
    echo keep >"$outside/lookalike/keep.png"
    echo keep >"$outside/shared/keep.txt"
    echo binary >"$camera/Camera"

    # Camera: every kind of candidate.
    mkdir -p "$camera/German.lproj/Main.nib" # deprecated, with files of other kinds
    touch "$camera/German.lproj/Quorix.strings" "$camera/German.lproj/icon.png" "$camera/German.lproj/Main.nib/objects.nib"
    mkdir "$camera/de.lproj" # a second strings file
    touch "$camera/de.lproj/Quorix.strings" "$camera/de.lproj/Localizable.strings"
    mkdir "$camera/English.lproj" # another strings file only
    touch "$camera/English.lproj/InfoPlist.strings"
    mkdir "$camera/en.lproj" # empty
    touch "$camera/Italian.lproj" # a file named like a localization directory
    ln -s "$outside/lookalike" "$camera/it.lproj" # a link to a lookalike outside the bundle
    mkdir "$camera/Japanese.lproj" # a name that ends in "strings" without a dot counts
    touch "$camera/Japanese.lproj/Quorix.strings" "$camera/Japanese.lproj/mystrings"
    mkdir "$camera/ja.lproj" # deprecated, but on a read-only mount: its removal fails
    touch "$camera/ja.lproj/Quorix.strings"
    mount --bind "$camera/ja.lproj" "$camera/ja.lproj"
    mount -o remount,bind,ro "$camera/ja.lproj"
    mkdir "$camera/fr.lproj" # another name: never looked at
    touch "$camera/fr.lproj/Quorix.strings"

    # Photos: all eight deprecated, one holding a link to a folder outside.
    local name
    for name in German de English en Italian it Japanese ja; do
        mkdir "$photos/$name.lproj"
        touch "$photos/$name.lproj/Quorix.strings" "$photos/$name.lproj/Default.png"
    done
    ln -s "$outside/shared" "$photos/en.lproj/Resources"
    mkdir "$photos/Base.lproj"
    touch "$photos/Base.lproj/Quorix.strings"

    local run
    for run in first second; do
        local out err status=0
        out=$(mktemp) err=$(mktemp)
        "$tool" >"$out" 2>"$err" || status=$?
        [[ $status -eq 0 ]] || fail "$run run exited with status $status"
        [[ ! -s $out ]] || fail "$run run printed on stdout: $(cat "$out")"
        [[ ! -s $err ]] || fail "$run run printed on stderr: $(cat "$err")"
        rm -f "$out" "$err"

        expect_entries "$camera" "Camera English.lproj Italian.lproj Japanese.lproj de.lproj en.lproj fr.lproj ja.lproj"
        expect_entries "$camera/de.lproj" "Localizable.strings Quorix.strings"
        expect_entries "$camera/English.lproj" "InfoPlist.strings"
        expect_entries "$camera/en.lproj" ""
        [[ -f $camera/Italian.lproj ]] || fail "the file Italian.lproj is gone"
        expect_entries "$camera/Japanese.lproj" "Quorix.strings mystrings"
        expect_entries "$camera/ja.lproj" "Quorix.strings"
        expect_entries "$camera/fr.lproj" "Quorix.strings"
        expect_entries "$photos" "Base.lproj"
        expect_entries "$outside/lookalike" "Quorix.strings keep.png"
        expect_entries "$outside/shared" "keep.txt"
    done
    umount "$camera/ja.lproj"
    echo "PASS: QuorixTool removed exactly the deprecated directories, silently, with status 0"
}

if ((inside)); then
    run_inside
    exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
    echo "SKIP: needs root to mount a tmpfs on /Applications in a private namespace"
    exit $SKIP
fi
if ! command -v unshare >/dev/null 2>&1; then
    echo "SKIP: unshare is not available"
    exit $SKIP
fi
if ! unshare --mount --propagation private true 2>/dev/null; then
    echo "SKIP: this system does not allow a new mount namespace"
    exit $SKIP
fi
[[ -x $tool ]] || fail "no program at $tool"
if [[ -e /Applications && ! -d /Applications ]]; then
    echo "SKIP: /Applications exists and is not a directory"
    exit $SKIP
fi

# The mount point has to exist outside the namespace too: make it only when
# missing, and take it away again afterwards.
created=0
if [[ ! -e /Applications ]]; then
    mkdir /Applications
    created=1
fi
cleanup() {
    if ((created)); then
        rmdir /Applications 2>/dev/null || true
    fi
}
trap cleanup EXIT

unshare --mount --propagation private -- bash "$0" --inside "$(realpath "$tool")"
