#!/usr/bin/env bash
# A batch move killed with SIGKILL at moments spread over its run: after each kill the libraries pass
# the check, and the same move run again leaves the libraries as a move that was never killed.
# Usage: killmove_test.sh KORVEL KORVEL_DM [postgresql]
# With "postgresql" the demos' libraries are databases of the server $KORVEL_TEST_POSTGRESQL names.
set -euo pipefail
korvel=$1
tool=$2
server=
if [ "${3:-}" = postgresql ]; then
    server=${KORVEL_TEST_POSTGRESQL:?the server tests need KORVEL_TEST_POSTGRESQL}
fi

work=$(mktemp -d)
demos=()
cleanup() {
    for demo in "${demos[@]}"; do
        for library in corporate archive legal; do
            psql -X -q "$server dbname=postgres" -c "DROP DATABASE IF EXISTS ${demo}_$library WITH (FORCE)" \
                >/dev/null 2>&1 || true
        done
    done
    rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export QT_QPA_PLATFORM=offscreen
unset KORVEL_DM KORVEL_DM_FAULTS

fail() {
    echo "FAILED: $*" >&2
    exit 1
}
move() {
    exec "$korvel" --batch --dm "$1/installation.ini" --yes --log-quiet move-folder CORPORATE 1001 ARCHIVE \
        >"$1/output.txt" 2>&1
}
# Every library as a tree; folder numbers are left out, since the folders a run makes are numbered as
# the run goes.
# A kill between a source folder's last unlink and its delete (two DM calls) leaves it empty and in no
# folder, where no later run of the move reaches it; nothing is lost with it. The source library's empty
# top-level folders are therefore left out of the comparison, on both sides alike.
trees() {
    for library in CORPORATE ARCHIVE LEGAL; do
        "$tool" tree --dm "$1/installation.ini" "$library" |
            if [ "$library" = CORPORATE ]; then
                awk '{ depth = match($0, /[^ ]/) }
                     held != "" { if (depth <= 3) held = ""; else { print held; held = "" } }
                     depth == 3 && /^  F / { held = $0; next }
                     { print }'
            else
                cat
            fi
    done | sed -E 's/^( *F) #[0-9]+/\1/'
}
milliseconds() {
    echo $(($(date +%s%N) / 1000000))
}

# A fresh demo in $work/NAME: a copy of the first one for files; on a server, made anew under names of
# this run's own (demos are made alike), since a copied installation file would name the same databases.
demo() {
    if [ -z "$server" ]; then
        cp -r "$work/demo" "$work/$1"
    else
        demos+=("kk$$_$1")
        "$tool" init-demo "$work/kk$$_$1" --postgresql "$server" >/dev/null
        ln -s "$work/kk$$_$1" "$work/$1"
    fi
}

[ -n "$server" ] || "$tool" init-demo "$work/demo" >/dev/null
demo clean
started=$(milliseconds)
(move "$work/clean") || fail "the move without a kill exits $?"
took=$(($(milliseconds) - started))
expected=$(trees "$work/clean")

for eighth in 1 2 3 4 5 6 7; do
    demo "killed$eighth"
    copy=$work/killed$eighth
    after=$((took * eighth / 8))
    # The program itself is killed, not a shell around it.
    move "$copy" &
    pid=$!
    sleep "$((after / 1000)).$(printf '%03d' $((after % 1000)))"
    kill -9 "$pid" 2>/dev/null || true
    status=0
    wait "$pid" || status=$?
    "$tool" check --dm "$copy/installation.ini" >/dev/null || fail "check after a kill at $after ms"
    again=0
    (move "$copy") || again=$?
    # Killed once the move was done, the second run finds no folder to move (exit 3); the libraries must
    # then be as the move left them.
    [ "$again" -eq 0 ] || [ "$again" -eq 3 ] ||
        fail "the second run after a kill at $after ms exits $again (the first: $status):
$(cat "$copy/output.txt")
$(find "$HOME" -iname '*.log' -exec grep -hE '^(Error|Warning):' {} + || true)"
    "$tool" check --dm "$copy/installation.ini" >/dev/null || fail "check after the second run ($after ms)"
    [ "$(trees "$copy")" = "$expected" ] ||
        fail "the libraries after a kill at $after ms and a second run differ from a move never killed:
$(diff <(echo "$expected") <(trees "$copy") || true)"
    echo "killed at $after ms of $took (first run exit $status), second run exit $again: libraries as after a clean move"
done
