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

link=$root/usr/bin/quilloro
exe=$root/usr/lib/quilloro/quilloro
if [[ ! -L $link ]]; then
    fail "bin/quilloro is not a symbolic link"
elif [[ $(readlink "$link") != ../lib/quilloro/quilloro ]]; then
    fail "bin/quilloro points to '$(readlink "$link")', not the relative ../lib/quilloro/quilloro"
elif [[ $(readlink -f "$link") != "$(readlink -f "$exe")" ]]; then
    fail "bin/quilloro resolves to '$(readlink -f "$link")'"
fi
if [[ ! -f $exe || ! -x $exe ]]; then
    fail "lib/quilloro/quilloro is not an executable file"
elif [[ $(head -c 4 "$exe" | od -An -c | tr -d ' ') != '177ELF' ]]; then
    fail "lib/quilloro/quilloro is not an ELF executable"
fi

# Exactly the 72 files the program opens, none empty: key + .wav / key + .jpg for 0-9, a-z.
img=$root/usr/lib/quilloro/IMG
expected=$(for key in {0..9} {a..z}; do echo "$key.jpg"; echo "$key.wav"; done | sort)
actual=$(find "$img" -mindepth 1 -size +0 -printf '%f\n' 2>/dev/null | sort || true)
[[ $actual == "$expected" ]] || fail "IMG is not the 72 media files the program opens (<: missing or empty, >: never read):" \
    $(diff <(echo "$expected") <(echo "$actual") | grep '^[<>]' | tr -d ' ')

for size in 48 256; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/io.github.quilloro.Quilloro.png
    if [[ ! -f $icon ]]; then
        fail "no ${size}x${size} icon installed"
    elif [[ $(identify -format '%m %wx%h' "$icon") != "PNG ${size}x${size}" ]]; then
        fail "the ${size}x${size} icon is $(identify -format '%m %wx%h' "$icon")"
    fi
done

((failures == 0)) && echo "install layout OK"
exit $((failures > 0))
