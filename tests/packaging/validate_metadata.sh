#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Validates the installed desktop entry and AppStream metainfo, and checks the
# links between them that the validators leave alone: the desktop entry starts
# the installed command and names an installed icon.
# Usage: validate_metadata.sh <build-dir>
set -euo pipefail
source "$(dirname "$0")/common.sh"
build=${1:?usage: validate_metadata.sh <build-dir>}

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
cmake --install "$build" --prefix "$root/usr" >/dev/null

id=io.github.quilloro.Quilloro
desktop=$root/usr/share/applications/$id.desktop
metainfo=$root/usr/share/metainfo/$id.metainfo.xml

desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $id.desktop"
appstreamcli validate --no-net --explain "$metainfo" || fail "appstreamcli rejects $id.metainfo.xml"
# validate-tree also checks that the launchable desktop entry is installed.
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli rejects the installed tree"

key() { sed -n "s/^$1=//p" "$desktop"; }
exec_cmd=$(key Exec)
[[ -e $root/usr/bin/${exec_cmd%% *} ]] || fail "Exec=$exec_cmd is not an installed command"
icon=$(key Icon)
shopt -s nullglob
icons=("$root"/usr/share/icons/hicolor/*/apps/"$icon".png)
((${#icons[@]})) || fail "Icon=$icon names no installed hicolor icon"

((failures == 0)) && echo "desktop entry and metainfo OK"
exit $((failures > 0))
