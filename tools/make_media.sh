#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Regenerates the whole media pack from tools/words.tsv, offline:
#   media/IMG/<key>.wav  the voice (espeak-ng), trimmed and loudness-matched with sox
#   media/IMG/<key>.jpg  the pictures, drawn by quilloro_make_media
#   window/icons/*.png   the window icon and mouse pointer, same program
# Usage: tools/make_media.sh            (needs: cmake, Qt 6 dev, espeak-ng, sox,
#        fonts-comfortaa, fonts-noto-color-emoji)
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
words=$repo/tools/words.tsv
out=$repo/media/IMG
icons=$repo/window/icons
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One voice and one rate for the whole pack. espeak-ng's Italian is clean at
# every join; slowed a little and raised a little for small listeners.
voice=it
speed=140
pitch=58
rate=22050
peak_ceiling=-1.2    # dBFS: keeps every peak at -1 dBFS or below
start_threshold=-38  # dBFS: the first kept sample is already clearly speech
end_threshold=-45    # dBFS: below this the tail is silence

for tool in cmake espeak-ng sox soxi; do
    command -v "$tool" >/dev/null || { echo "make_media.sh: $tool is missing" >&2; exit 1; }
done

echo "== building the picture program"
cmake -S "$repo/tools" -B "$work/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/build" --target quilloro_make_media >/dev/null

echo "== drawing pictures and icons"
mkdir -p "$out" "$icons"
"$work/build/quilloro_make_media" "$words" "$out" "$icons"

# Level of a file as "<RMS dB> <peak dB>", from sox's stats effect.
levels() {
    sox "$1" -n stats 2>&1 | awk '/^RMS lev dB/ {r=$4} /^Pk lev dB/ {p=$4} END {print r, p}'
}

echo "== speaking"
keys=()
while IFS=$'\t' read -r key spoken word picture; do
    [[ -z $key || $key == \#* ]] && continue
    keys+=("$key")
    espeak-ng -v "$voice" -s "$speed" -p "$pitch" -w "$work/$key.raw.wav" "$spoken"
    # Evens out loud vowels and soft consonants, so every phrase can reach the
    # same loudness without its peaks passing the ceiling; then peak-normalise
    # and drop the silence around the speech, which would count in its level.
    sox -D "$work/$key.raw.wav" -r "$rate" -c 1 -b 16 "$work/$key.even.wav" \
        highpass 70 compand 0.003,0.12 -70,-70,-45,-30,-25,-14,0,-8 -4 -90 0.005 \
        gain -n "$peak_ceiling" \
        silence 1 0 "$((start_threshold - 4))d" \
        reverse silence 1 0 "$((end_threshold - 4))d" reverse
done < "$words"

# The loudest level every phrase can reach with its peak under the ceiling:
# all are brought down to it, so the whole pack plays at one loudness.
target=$(for key in "${keys[@]}"; do levels "$work/$key.even.wav"; done |
         awk -v c="$peak_ceiling" '{ r = $1 + (c - $2); if (NR == 1 || r < m) m = r } END { printf "%.2f", m }')
echo "   pack loudness: ${target} dBFS RMS"

for key in "${keys[@]}"; do
    read -r rms _ < <(levels "$work/$key.even.wav")
    gain=$(awk -v t="$target" -v r="$rms" 'BEGIN { printf "%.2f", t - r }')
    # The sound must start the moment the key is pressed: after the gain, cut
    # again at the final thresholds, then soften the cut edges.
    sox -D "$work/$key.even.wav" -b 16 "$work/$key.trim.wav" \
        gain "$gain" \
        silence 1 0 "${start_threshold}d" \
        reverse silence 1 0 "${end_threshold}d" reverse
    sox -D "$work/$key.trim.wav" "$out/$key.wav" fade t 0.001 -0 0.012
done

echo "== result (key, seconds, RMS dB, peak dB)"
for key in "${keys[@]}"; do
    printf '%s %s %s\n' "$key" "$(soxi -D "$out/$key.wav")" "$(levels "$out/$key.wav")"
done | awk '{ printf "   %s  %.3f s  %6.2f  %6.2f\n", $1, $2, $3, $4 }'
