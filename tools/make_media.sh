#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Regenerates the whole media pack from tools/words.tsv, offline:
#   media/IMG/<key>.wav  the voice (espeak-ng), trimmed and loudness-matched with sox
#   media/IMG/<key>.jpg  the pictures, drawn by quilloro_make_media
#   media/IMG/bravo.wav, riprova.wav, festa.wav
#                        the listening game's sounds: the same voice with a few
#                        notes made by sox's synth, levelled like the keys
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

# speak NAME TEXT: the voice saying TEXT, evened out, in $work/NAME.even.wav.
speak() {
    espeak-ng -v "$voice" -s "$speed" -p "$pitch" -w "$work/$1.raw.wav" "$2"
    # Evens out loud vowels and soft consonants, so every phrase can reach the
    # same loudness without its peaks passing the ceiling; then peak-normalise
    # and drop the silence around the speech, which would count in its level.
    sox -D "$work/$1.raw.wav" -r "$rate" -c 1 -b 16 "$work/$1.even.wav" \
        highpass 70 compand 0.003,0.12 -70,-70,-45,-30,-25,-14,0,-8 -4 -90 0.005 \
        gain -n "$peak_ceiling" \
        silence 1 0 "$((start_threshold - 4))d" \
        reverse silence 1 0 "$((end_threshold - 4))d" reverse
}

echo "== speaking"
keys=()
while IFS=$'\t' read -r key spoken word picture; do
    [[ -z $key || $key == \#* ]] && continue
    keys+=("$key")
    speak "$key" "$spoken"
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

# The listening game's sounds. Their notes are made by sox's synth; -R
# seeds its random numbers (the pluck's noise) the same on every run, and the
# work files are 32-bit floats, so nothing is rounded before the last step.
float=(-e floating-point -b 32)

# notes NAME "START SECONDS SYNTH-ARGUMENTS [EFFECTS]"...: the notes played
# together, each made by "synth SECONDS SYNTH-ARGUMENTS [EFFECTS]" and
# starting at START seconds, mixed into $work/NAME.notes.wav with their peak
# just under full scale.
notes() {
    local name=$1 note start length sound inputs=()
    shift
    for note in "$@"; do
        read -r start length sound <<<"$note"
        # shellcheck disable=SC2086 # the synth's arguments and effects, one word each
        sox -R -D -n -r "$rate" -c 1 "${float[@]}" "$work/$name.note${#inputs[@]}.wav" \
            synth "$length" $sound pad "$start"
        inputs+=("$work/$name.note${#inputs[@]}.wav")
    done
    # sox -m scales each input by 1/n, so the sum cannot clip before it is normalised.
    sox -R -D -m "${inputs[@]}" "${float[@]}" "$work/$name.notes.wav" gain -n -0.1
}

# game_sound NAME NOTES_DB VOICE_AT LOUDNESS_DB: the notes NOTES_DB below
# the voice's peak with the voice ($work/NAME.even.wav) from VOICE_AT
# seconds, the whole LOUDNESS_DB from the pack's loudness (or as near as the
# peak ceiling allows), trimmed and faded like a key's recording.
game_sound() {
    local name=$1 notes_db=$2 voice_at=$3 loudness=$4 rms peak gain
    sox -R -D -m "|sox -R -D $work/$name.notes.wav -p gain $notes_db" \
        "|sox -R -D $work/$name.even.wav -p pad $voice_at" "${float[@]}" "$work/$name.both.wav"
    read -r rms peak < <(levels "$work/$name.both.wav")
    gain=$(awk -v t="$target" -v l="$loudness" -v r="$rms" -v p="$peak" -v c="$peak_ceiling" \
           'BEGIN { g = t + l - r; if (p + g > c) g = c - p; printf "%.2f", g }')
    sox -R -D "$work/$name.both.wav" -b 16 "$work/$name.trim.wav" \
        gain "$gain" \
        silence 1 0 "${start_threshold}d" \
        reverse silence 1 0 "${end_threshold}d" reverse
    sox -R -D "$work/$name.trim.wav" "$out/$name.wav" fade t 0.001 -0 0.012
}

echo "== the game's sounds"
# A right answer: plucked notes rising quickly, C6 E6 G6 C7, and over the
# last note a cheerful "Bravo!", as loud as a key.
speak bravo "Bravo!"
notes bravo "0 0.45 pluck C6" "0.07 0.45 pluck E6" "0.14 0.45 pluck G6" "0.21 0.6 pluck C7"
game_sound bravo -8 0.3 0
# Another key: two soft low notes, E4 then A4, and a calm "Riprova." 4 dB
# below the pack, so that a wrong key never sounds like a scolding.
speak riprova "Riprova."
notes riprova "0 0.3 sine E4 fade q 0.03 0.3 0.2" "0.25 0.4 sine A4 fade q 0.03 0.4 0.3"
game_sound riprova -10 0.5 -4
# A level completed: a fanfare rising G4 C5 E5 to a long G5, a C major chord
# held under "Bravissimo!" and fading after it.
speak festa "Bravissimo!"
notes festa "0   0.18 sawtooth G4 lowpass 2500 fade q 0.01 0.18 0.05" \
            "0.2 0.18 sawtooth C5 lowpass 2500 fade q 0.01 0.18 0.05" \
            "0.4 0.18 sawtooth E5 lowpass 2500 fade q 0.01 0.18 0.05" \
            "0.6 1.0  sawtooth G5 lowpass 2500 fade q 0.01 1.0 0.6" \
            "0.6 2.2  sine C5 fade q 0.05 2.2 1.2" \
            "0.6 2.2  sine E5 fade q 0.05 2.2 1.2"
game_sound festa -6 1.3 0

echo "== result (name, seconds, RMS dB, peak dB)"
for name in "${keys[@]}" bravo riprova festa; do
    printf '%s %s %s\n' "$name" "$(soxi -D "$out/$name.wav")" "$(levels "$out/$name.wav")"
done | awk '{ printf "   %s  %.3f s  %6.2f  %6.2f\n", $1, $2, $3, $4 }'
