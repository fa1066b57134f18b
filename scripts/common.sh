# Shared by scripts/run and scripts/test: installs missing Debian packages and configures a build.
set -euo pipefail

KORVEL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs the named Debian packages that are not installed yet: as root directly, otherwise
# through sudo; says what to install when neither is possible.
korvel_require_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo=(sudo)
        else
            echo "Korvel needs these Debian packages: ${missing[*]}" >&2
            echo "Run this script as root, or install them with: apt-get install ${missing[*]}" >&2
            exit 1
        fi
    fi
    echo "Installing Debian packages: ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends --no-upgrade \
        "${missing[@]}"
}

# Packages every build needs.
KORVEL_BUILD_PACKAGES=(cmake ninja-build g++ qt6-base-dev libsqlite3-dev libpq-dev)

# korvel_build BUILD_DIR [cmake options...]: configures (once) and builds into BUILD_DIR.
korvel_build() {
    local dir=$1
    shift
    cmake -S "$KORVEL_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}
