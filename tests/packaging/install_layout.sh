#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build tree into a scratch prefix and checks what the installed
# program needs to run: bin/quilloro reaches the executable through a relative
# link (so the program, resolving /proc/self/exe, looks in lib/quilloro/IMG),
# IMG holds the whole media pack and the icon is there in both sizes.
# Usage: install_layout.sh <build-dir>
set -euo pipefail
source "$(dirname "$0")/common.sh"
build=${1:?usage: install_layout.sh <build-dir>}

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
cmake --install "$build" --prefix "$root/usr" >/dev/null

# The child's program and the recorder for grown-ups, both beside IMG.
for program in quilloro quilloro-registra; do
    link=$root/usr/bin/$program
    exe=$root/usr/lib/quilloro/$program
    [[ -L $link && $(readlink "$link") == ../lib/quilloro/$program && $(readlink -f "$link") == "$(readlink -f "$exe")" ]] ||
        fail "bin/$program is not the relative link ../lib/quilloro/$program (it points to '$(readlink "$link")')"
    [[ -f $exe && -x $exe && $(head -c 4 "$exe" | od -An -c | tr -d ' ') == '177ELF' ]] ||
        fail "lib/quilloro/$program is not an ELF executable"
done
for page in man1/quilloro-registra.1.gz it/man1/quilloro-registra.1.gz; do
    [[ -s $root/usr/share/man/$page ]] || fail "no manual page $page"
done

# Exactly the 75 files the program opens, none empty: key + .wav / key + .jpg
# for 0-9, a-z, and the listening game's three sounds.
img=$root/usr/lib/quilloro/IMG
expected=$( (for key in {0..9} {a..z}; do echo "$key.jpg"; echo "$key.wav"; done; printf '%s.wav\n' bravo riprova festa) |
    sort)
actual=$(find "$img" -mindepth 1 -size +0 -printf '%f\n' 2>/dev/null | sort || true)
[[ $actual == "$expected" ]] || fail "IMG is not the 75 media files the program opens (<: missing or empty, >: never read):" \
    $(diff <(echo "$expected") <(echo "$actual") | grep '^[<>]' | tr -d ' ')

for size in 48 256; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/io.github.quilloro.Quilloro.png
    [[ $(identify -format '%m %wx%h' "$icon" 2>/dev/null) == "PNG ${size}x${size}" ]] ||
        fail "the ${size}x${size} icon is missing or not a ${size}x${size} PNG"
done

finish "install layout OK"
