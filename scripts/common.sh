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

# Packages the throwaway PostgreSQL server of the tests needs: the server (initdb, pg_ctl, citext) and psql.
KORVEL_TEST_SERVER_PACKAGES=(postgresql-15 postgresql-client-15)

# korvel_start_test_postgresql: starts a throwaway PostgreSQL server on a Unix socket in a fresh temporary
# directory, exports KORVEL_TEST_POSTGRESQL (host, port and user of its superuser; no database) and
# stops it and removes the directory when the script exits, however it exits. As root the server runs
# as the postgres user, otherwise as the user running the script. A KORVEL_TEST_POSTGRESQL already set
# names a server of the caller's own, and is used as it is.
korvel_start_test_postgresql() {
    [ -n "${KORVEL_TEST_POSTGRESQL:-}" ] && return 0
    local bin
    bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
    if [ ! -x "$bin/initdb" ]; then
        echo "No PostgreSQL server found under /usr/lib/postgresql" >&2
        exit 1
    fi
    KORVEL_PG_BIN=$bin
    # Under /tmp rather than $TMPDIR: the postgres user must reach it, and a socket path has at most 107 bytes.
    KORVEL_PG_DIR=$(mktemp -d /tmp/korvel-pg.XXXXXX)
    KORVEL_PG_AS=()
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres:postgres "$KORVEL_PG_DIR"
        KORVEL_PG_AS=(runuser -u postgres --)
    fi
    trap korvel_stop_test_postgresql EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM

    # Each test process holds a connection per library and the fixtures one more: room for parallel runs.
    (cd / && "${KORVEL_PG_AS[@]}" "$bin/initdb" -D "$KORVEL_PG_DIR/data" -U postgres -A trust -E UTF8 \
        --locale=C.UTF-8 --no-sync >/dev/null)
    if ! (cd / && "${KORVEL_PG_AS[@]}" "$bin/pg_ctl" -D "$KORVEL_PG_DIR/data" -l "$KORVEL_PG_DIR/server.log" \
        -w -t 60 start -o "-p 55432 -c listen_addresses='' -c unix_socket_directories='$KORVEL_PG_DIR' \
        -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=400" >/dev/null); then
        cat "$KORVEL_PG_DIR/server.log" >&2
        exit 1
    fi
    export KORVEL_TEST_POSTGRESQL="host=$KORVEL_PG_DIR port=55432 user=postgres"
    echo "Test PostgreSQL server: $KORVEL_TEST_POSTGRESQL"
}

korvel_stop_test_postgresql() {
    [ -n "${KORVEL_PG_DIR:-}" ] || return 0
    if [ -f "$KORVEL_PG_DIR/data/postmaster.pid" ]; then
        (cd / && "${KORVEL_PG_AS[@]}" "$KORVEL_PG_BIN/pg_ctl" -D "$KORVEL_PG_DIR/data" -m immediate -w stop \
            >/dev/null) || true
    fi
    rm -rf "$KORVEL_PG_DIR"
    KORVEL_PG_DIR=
}
