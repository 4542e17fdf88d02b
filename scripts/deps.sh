# Shared by scripts/test and scripts/korvana: installs what the build needs.
# Sourced, not run.

KORVANA_PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev qt6-base-dev qt6-image-formats-plugins
                  libgl-dev fonts-dejavu-core ccache)
# What only scripts/test needs on top: the fuzz targets (clang with libFuzzer),
# clang-tidy, and python3 for scripts/tidy.
KORVANA_CI_PACKAGES=(clang libclang-rt-dev clang-tidy python3)

# korvana_ensure_deps [EXTRA_PACKAGE...]
korvana_ensure_deps() {
    local missing=()
    local p
    for p in "${KORVANA_PACKAGES[@]}" "$@"; do
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
