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

appstreamcli validate --no-net --explain "$metainfo" || fail "appstreamcli rejects $id.metainfo.xml"
# validate-tree also checks that the launchable desktop entry is installed.
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli rejects the installed tree"

# The child's program and the recorder for grown-ups, each with its entry.
recorder_desktop=$root/usr/share/applications/$id.Registra.desktop
shopt -s nullglob
for entry in "$desktop" "$recorder_desktop"; do
    desktop-file-validate "$entry" || fail "desktop-file-validate rejects $(basename "$entry")"
    key() { sed -n "s/^$1=//p" "$entry"; }
    exec_cmd=$(key Exec)
    [[ -e $root/usr/bin/${exec_cmd%% *} ]] || fail "$(basename "$entry"): Exec=$exec_cmd is not an installed command"
    icon=$(key Icon)
    icons=("$root"/usr/share/icons/hicolor/*/apps/"$icon".png)
    ((${#icons[@]})) || fail "$(basename "$entry"): Icon=$icon names no installed hicolor icon"
    [[ $(key Categories) == *Education\;* ]] || fail "$(basename "$entry") is not in the Education menu"
done
[[ $(sed -n 's/^Name=//p' "$recorder_desktop") == "Quilloro: voci e figure" ]] ||
    fail "the recorder's menu entry is not named \"Quilloro: voci e figure\""

finish "desktop entry and metainfo OK"
