#!/usr/bin/env bash
# The build installed into a temporary prefix: every file in its place, the desktop entry and metainfo
# valid, and the installed programs run from another folder, find the installed readme, keep the log out
# of the prefix and complete library names. Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$(realpath "$work")/prefix
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
unset KORVEL_DM KORVEL_DM_FAULTS
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null
# The completion installed below does nothing unless bash-completion loads it.
grep -q '^set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "[^"]*\bbash-completion\b' "$build/CPackConfig.cmake" ||
    fail "the package does not recommend bash-completion"
share=$prefix/share
for file in bin/korvel bin/korvel-dm share/korvel/Korvel_Skerrow_Readme.txt share/doc/korvel/copyright \
    share/doc/korvel/changelog.gz share/applications/korvel.desktop share/metainfo/org.example.korvel.metainfo.xml \
    share/icons/hicolor/scalable/apps/korvel.svg share/man/man1/korvel.1.gz share/man/man1/korvel-dm.1.gz \
    share/bash-completion/completions/korvel share/bash-completion/completions/korvel-dm; do
    [ -s "$prefix/$file" ] || fail "$file not installed"
done
for size in 16 22 24 32 48 64 128 256; do
    file $share/icons/hicolor/${size}x$size/apps/korvel.png | grep -q "PNG image data, $size x $size" ||
        fail "no $size pixel icon"
done
desktop-file-validate "$share/applications/korvel.desktop"
appstreamcli validate --no-net --pedantic "$share/metainfo/org.example.korvel.metainfo.xml" >/dev/null

mkdir -p "$HOME" && cd "$HOME"
version=$("$prefix/bin/korvel" --version)
[ "$(zcat "$share/doc/korvel/changelog.gz" | head -1 | sed -E 's/^korvel \(([^)]*)\).*/korvel \1/')" = "$version" ] ||
    fail "the changelog's last entry is not $version"
"$prefix/bin/korvel" --help | grep -qxF "Readme (Help/View Readme): $share/korvel/Korvel_Skerrow_Readme.txt" ||
    fail "the installed program does not name the installed readme"
"$prefix/bin/korvel-dm" init-demo "$work/demo" >/dev/null
before=$(find "$prefix" | sort)
"$prefix/bin/korvel" --batch --dm "$work/demo/installation.ini" --dry-run move-folder CORPORATE 1001 ARCHIVE \
    >/dev/null 2>&1
compgen -G "$XDG_DATA_HOME/korvel/*.LOG" >/dev/null || fail "no log in the user's data directory"
[ "$(find "$prefix" | sort)" = "$before" ] || fail "the run wrote under the installation prefix"

source "$share/bash-completion/completions/korvel-dm"
COMP_WORDS=(korvel --batch --dm "$work/demo/installation.ini" move-folder CORPORATE 1001 "")
COMP_CWORD=7
_korvel
[ "${COMPREPLY[*]}" = "CORPORATE ARCHIVE LEGAL" ] || fail "completion offered: ${COMPREPLY[*]}"
