#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package made by cpack from this build: its control fields, the
# layout dpkg-deb lists, the files an extraction puts in place, (as root) an
# installation with dpkg into a throw-away root whose program then finds its
# data under usr/share/korvana, and Debian's package checker lintian, which
# must report no error and only the warnings explained below. Everything
# happens in a scratch folder inside the build folder, removed at the end.
# Usage: deb_test.sh BUILD_DIR VERSION. Exit 77 when a packaging tool is
# missing (dpkg-dev, file; lintian: then after every other check has passed).
set -uo pipefail
build=$(cd "$1" && pwd) || exit 1
version=$2

for tool in cpack dpkg-deb dpkg-shlibdeps file; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (dpkg-dev, file)"
        exit 77
    fi
done

scratch=$(mktemp -d "$build/package-deb-XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    fail "cpack did not make the package"
    exit 1
fi
deb="$scratch/out/korvana_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$scratch/out"; fail "no $deb"; exit 1; }
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = korvana ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Section)" ] || fail "no Section"
[ -n "$(field Description)" ] || fail "no Description"
depends=$(field Depends)
# From dpkg-shlibdeps (the Qt libraries the programs link) and the TIFF plugin Qt loads.
for dep in libqt6widgets6 libqt6gui6 libc6 qt6-image-formats-plugins; do
    [[ ",$depends," == *[\ ,]"$dep"[\ ,\(]* ]] || fail "Depends lacks $dep: $depends"
done

contents=$(dpkg-deb --contents "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); sub(/ -> .*/, ""); print }')
expected=(
    ./usr/bin/korvana ./usr/bin/korvana-cli ./usr/bin/korvana-sim
    "./usr/share/korvana/Skins/Gauge.tif" "./usr/share/korvana/KOR_LANG/"
    "./usr/share/korvana/KORVANA PRESET/Initial settings.settings"
    "./usr/share/korvana/KORVANA Firmware/" ./usr/share/korvana/Doc/
    ./usr/share/applications/Korvana2013.Tarnwolde.v100.desktop
    ./usr/share/metainfo/io.github.korvana.Korvana.metainfo.xml
    ./usr/share/mime/packages/korvana.xml
    ./usr/share/icons/hicolor/scalable/apps/korvana.svg
    ./usr/share/man/man1/korvana.1.gz ./usr/share/man/man1/korvana-cli.1.gz ./usr/share/man/man1/korvana-sim.1.gz
    ./usr/share/doc/korvana/copyright ./usr/share/doc/korvana/changelog.gz
)
for size in 16 24 32 48 64 128 256; do
    expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/korvana.png")
done
for path in "${expected[@]}"; do
    grep -qxF -- "$path" <<<"$contents" || fail "the package lacks $path"
done
for lib in liberrkit libkorvana_core; do
    grep -qE "^\./usr/lib/([^/]+/)?korvana/$lib\.so\.1\$" <<<"$contents" || fail "the package lacks the private $lib"
done
# Nothing outside /usr, no headers, no tests or build tools.
bad=$(grep -vE '^\./(usr/)?$|^\./usr/(bin|lib|share)/' <<<"$contents")
[ -z "$bad" ] && ! grep -q '^\./usr/include' <<<"$contents" || fail "unexpected paths: $bad"
[ "$(grep -c '^\./usr/bin/.' <<<"$contents")" -eq 3 ] || fail "bin/ holds more than the three programs"

# Extraction puts the files where the listing says.
dpkg-deb -x "$deb" "$scratch/x" || fail "dpkg-deb -x"
for path in "${expected[@]}"; do
    [ -e "$scratch/x/${path#./}" ] || fail "extraction lacks $path"
done
# Stripped programs whose private libraries are found from the extracted tree.
file "$scratch/x/usr/bin/korvana" | grep -q ', stripped' || fail "korvana is not stripped"
env -u KORVANA_RUNTIME_DIR XDG_STATE_HOME="$scratch/state" "$scratch/x/usr/bin/korvana-cli" info --demo >/dev/null \
    || fail "the extracted korvana-cli does not run"

# dpkg itself, into a throw-away root (root only: dpkg wants to own the files).
if [ "$(id -u)" -eq 0 ] && command -v dpkg >/dev/null; then
    root="$scratch/root"
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
    touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
    # --force-all: the throw-away root has none of the dependencies; its
    # maintainer scripts (ldconfig) run outside the root, which has no shell.
    if dpkg --root="$root" --force-all --force-script-chrootless -i "$deb" >"$scratch/dpkg.log" 2>&1; then
        dpkg --root="$root" -s korvana 2>/dev/null | grep -q '^Status: install ok installed' \
            || fail "dpkg does not list korvana as installed"
        dpkg --root="$root" -L korvana | grep -qx /usr/share/korvana/Skins/Gauge.tif \
            || fail "dpkg -L lacks the skins"
        mkdir -p "$scratch/work/rt" && chmod 700 "$scratch/work/rt"
        log=$(cd "$scratch/work" && env -u KORVANA_RUNTIME_DIR QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch/work/rt" \
            XDG_STATE_HOME="$scratch/work/state" XDG_CONFIG_HOME="$scratch/work/cfg" KORVANA_PORTS= \
            "$root/usr/bin/korvana" --demo --page 0 --size 800x600 --screenshot "$scratch/work/shot.png" \
            --quit-after 1000 --verbose 2>&1) || fail "the installed korvana failed: $log"
        grep -qF "data folders in $root/usr/share/korvana" <<<"$log" || fail "data not found under usr/share: $log"
        grep -q "picture missing" <<<"$log" && fail "pictures missing: $log"
        [ -s "$scratch/work/shot.png" ] || fail "no screenshot"
    else
        cat "$scratch/dpkg.log"
        fail "dpkg --root -i"
    fi
else
    echo "note: not root, dpkg --root installation left out"
fi

# The warnings lintian may give, each with why it stays; any other warning and
# every error fail the test.
declare -A explained=(
    [maintscript-calls-ldconfig]="a build configured for /usr/local, as this test's usually is, installs the private
      libraries in usr/lib/korvana, and cpack then adds an ldconfig call; scripts/package configures for /usr,
      the libraries go to usr/lib/<multiarch>/korvana and the package has no maintainer scripts"
)
lintian_missing=0
if command -v lintian >/dev/null; then
    # As root (CI, the throw-away installation) lintian asks to be told that is meant.
    root_flag=()
    [ "$(id -u)" -eq 0 ] && root_flag=(--allow-root)
    # --fail-on none: the findings are judged below, a non-zero status means lintian itself failed.
    lintian "${root_flag[@]}" --fail-on none --tag-display-limit 0 --display-level '>=warning' "$deb" \
        >"$scratch/lintian.log" 2>&1
    status=$?
    echo "lintian $(lintian --version | awk '{ print $2 }'):"
    while IFS= read -r line; do
        [[ "$line" =~ ^([EW]):\ [^:]+:\ ([a-z0-9+.-]+)(\ (.*))?$ ]] || continue
        level=${BASH_REMATCH[1]}
        tag=${BASH_REMATCH[2]}
        if [ "$level" = E ]; then
            fail "lintian error: $line"
        elif [ -n "${explained[$tag]:-}" ]; then
            echo "  $line"
            echo "      (${explained[$tag]})"
        else
            fail "lintian warning not explained in deb_test.sh: $line"
        fi
    done <"$scratch/lintian.log"
    if [ "$status" -ne 0 ]; then
        cat "$scratch/lintian.log"
        fail "lintian did not run (status $status)"
    fi
else
    lintian_missing=1
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
if [ "$lintian_missing" -eq 1 ]; then
    echo "SKIP: lintian is not installed; every other package check passed"
    exit 77
fi
echo "package checks passed"
