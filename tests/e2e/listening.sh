# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the listening game's modes (game, windows_game): every key's
# recording and the game's own sounds as tones of pitches of their own, and
# the null sink's monitor recorded for the whole session, so that each sound
# the game makes is known by its pitch.

# tone[NAME]: its pitch in Hz. The keys, in the order 0-9 a-z, 5 % apart from
# 400 Hz to 2.2 kHz; the game's sounds below them, 13 % apart at least
# (pack-bravo is a bravo.wav of a pack's, to be told from the family's). A
# pitch heard is named when within 2 % of one of them (pitch_of is good to a
# fraction of that).
keys=({0..9} {a..z})
declare -A tone=([riprova]=220 [bravo]=260 [festa]=300 [pack-bravo]=340)
for i in "${!keys[@]}"; do
    tone[${keys[i]}]=$(awk -v i="$i" 'BEGIN { printf "%.0f", 400 * 1.05 ^ i }')
done
# make_tone FILE SECONDS NAME
make_tone() { sox -n -r 22050 -c 1 -b 16 "$1" synth "$2" sine "${tone[$3]}" vol 0.5; }
# family_tones FOLDER: every key's recording and the game's sounds in FOLDER.
family_tones() {
    mkdir -p "$1"
    local name
    for name in "${keys[@]}"; do make_tone "$1/$name.wav" 0.5 "$name"; done
    for name in riprova bravo festa; do make_tone "$1/$name.wav" 0.4 "$name"; done
}

# name_of HZ: the name whose pitch HZ is, or "HZ Hz" (0 Hz: nothing heard).
name_of() {
    local name
    for name in "${!tone[@]}"; do
        if awk -v f="$1" -v t="${tone[$name]}" 'BEGIN { exit !(f >= t * 0.98 && f <= t * 1.02) }'; then
            echo "$name"
            return
        fi
    done
    echo "$1 Hz"
}
# in_level LEVEL KEY: KEY is one of the level's.
declare -A level_keys=([1]=aeiou [2]=bcdfghlmnpqrstvz [3]=0123456789)
in_level() { [ "${#2}" = 1 ] && [[ ${level_keys[$1]} == *"$2"* ]]; }

# --- Hearing. start_hearing records the null sink's monitor into $heard,
# 44100 bytes a second, until the script ends; $cursor is where the sounds
# not yet judged begin, $asked the key the game asks for.
heard="$session_dir/heard.raw"
cursor=0
asked=
start_hearing() {
    record_start "$heard"
    session_pids+=($record_pid)
}

# sounds_after BYTE: the sounds recorded from BYTE on, "START END" (bytes) a
# line. A sound is a run of 10 ms frames louder than -26 dBFS, which ends
# with half a second quiet: the game's sounds are more than a second apart,
# and a gap in a busy machine's playback does not make two sounds of one.
# One still going on is not listed yet.
sounds_after() {
    tail -c +$(($1 + 1)) "$heard" | od -An -v -t d2 -w2 | awk -v from="$1" '
        $1 > 1638 || $1 < -1638 { loud = 1 }
        NR % 220 == 0 {
            frame = NR / 220 - 1
            if (loud) { if (start == "") start = frame; last = frame }
            else if (start != "" && frame - last >= 50) { print from + start * 440, from + (last + 1) * 440; start = "" }
            loud = 0
        }'
}
# name_between START END: the name of the sound recorded there.
name_between() {
    tail -c +$(($1 + 1)) "$heard" | head -c $(($2 - $1)) >"$session_dir/sound.raw"
    name_of "$(pitch_of "$session_dir/sound.raw")"
}

# next_sound [SECONDS]: waits for the next sound after the cursor (at most
# SECONDS, wait_seconds by default) and moves the cursor past it; sets sound
# to its name (or "none"), sound_at to when it began (seconds into the
# recording).
next_sound() {
    local deadline=$((SECONDS + ${1:-$wait_seconds})) found start end
    sound=none
    until found=$(sounds_after "$cursor") && [ -n "$found" ]; do
        program_died
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.2
    done
    read -r start end <<<"${found%%$'\n'*}"
    sound=$(name_between "$start" "$end")
    sound_at=$(awk -v b="$start" 'BEGIN { printf "%.2f", b / 44100 }')
    cursor=$end
}
# hear [SECONDS]: the next sound that is not the question heard again (its
# eight-second repeat may fall anywhere while the test looks at the screen).
hear() {
    next_sound "$@" || return 0
    while [ "$sound" = "$asked" ]; do next_sound "$@" || return 0; done
}
# heard_since BYTE: the names of the sounds heard from BYTE on, in one line.
heard_since() {
    local start end names=()
    while read -r start end; do
        names+=("$(name_between "$start" "$end")")
    done < <(sounds_after "$1")
    echo "${names[*]}"
}
# recorded: how many bytes are recorded so far, at a frame's boundary.
recorded() { local size; size=$(stat -c %s "$heard"); echo $((size - size % 440)); }
