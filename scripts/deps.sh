# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by scripts/test and scripts/korvana: installs what the build needs.
# Sourced, not run.

KORVANA_PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev qt6-base-dev qt6-image-formats-plugins
                  libgl-dev libsqlite3-dev libzstd-dev fonts-dejavu-core fonts-tlwg-garuda ccache)

# Asked for by `korvana_ensure_deps test` (scripts/test) and `… package` (scripts/package) only:
# validators of the desktop and metainfo files, what cpack's DEB generator runs, and Debian's
# package checker (lintian) that the package test and scripts/package run on the .deb.
# scripts/test also needs the fuzz targets' clang with libFuzzer, clang-tidy and python3 (scripts/tidy),
# and poppler-utils (pdftotext, pdftoppm, pdfinfo) to read back the customer's report.
KORVANA_TEST_PACKAGES=(desktop-file-utils appstream dpkg-dev file lintian clang libclang-rt-dev clang-tidy python3
                       poppler-utils)
KORVANA_PACKAGE_PACKAGES=(dpkg-dev file lintian)
# Asked for by `korvana_ensure_deps windows`: the MinGW-w64 cross-compiler with
# posix threads and Wine to run what it builds (GoogleTest is built from the
# sources libgtest-dev ships in /usr/src/googletest).
KORVANA_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 googletest)

# korvana_ensure_deps [test|package|windows] [EXTRA_PACKAGE...]
korvana_ensure_deps() {
    local missing=()
    local p
    local wanted=("${KORVANA_PACKAGES[@]}")
    case "${1:-}" in
        test) wanted+=("${KORVANA_TEST_PACKAGES[@]}") ;;
        package) wanted+=("${KORVANA_PACKAGE_PACKAGES[@]}") ;;
        windows) wanted+=("${KORVANA_WINDOWS_PACKAGES[@]}") ;;
    esac
    for p in "${wanted[@]}" "${@:2}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Run as root:" >&2
        echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}
