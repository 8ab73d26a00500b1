# SPDX-License-Identifier: GPL-3.0-or-later
# The listening game ("Ascolta e trova") as a child plays it, heard on the
# null sink and seen on the screen. Every key's recording in the family's
# folder is a tone of a pitch of its own, and so are the game's own sounds,
# so what is asked is known from what is heard. The child answers: the right
# key brings bravo (festa on a level's fifth), the character in cyan and a
# gold star; a wrong key brings riprova and the question again, the answer
# unseen until the third miss shows it in grey; a key that is not a letter
# or a digit does nothing. Five right answers move from the vowels to the
# consonants, five more to the digits. The family's bravo.wav stands before
# the pack's, which is heard once it is taken away. Unanswered, the question
# is heard three more times, then the game is quiet and does not wake. The
# character shown for each key is the one the lesson shows; a change of
# activity while it runs starts the game afresh; Escape brings the farewell,
# and the program ends with status 0.
#
#   e2e.sh PROGRAM game SCREEN_PROBE

probe=${mode_args[0]}

# --- The media. The pack beside the copy has the keys' pictures (red) and a
# bravo.wav of its own, but no key's recording: each key is heard only from
# the family's folder.
install_copy "$program" "$session_dir/app" 0.3
program="$session_dir/app/quilloro"
rm "$session_dir/app/IMG/"*.wav
family="$XDG_DATA_HOME/quilloro/IMG"

source "$here/listening.sh"
family_tones "$family"
make_tone "$session_dir/app/IMG/bravo.wav" 0.4 pack-bravo

settings_file="$XDG_CONFIG_HOME/quilloro/quilloro.conf"
# activity WORD: the grown-up's choice of activity, written whole.
activity() {
    mkdir -p "$(dirname "$settings_file")"
    printf '[lezione]\nattivita=%s\n' "$1" >"$settings_file.new"
    mv "$settings_file.new" "$settings_file"
}

# --- Seeing, on the screen (screen_probe --game): sets character (a hash of
# the big label), cyan and grey (its pixels of each), stars (five digits, 1
# for a gold star), level (a hash of the level's text) and picture (1 when
# the key's picture is shown). settled: two looks in a row agree.
look() {
    program_died
    read -r character cyan grey stars level picture <<<"$("$probe" --game "$win" "$top")"
}
settled() {
    local first
    look
    first="$character $cyan $grey $stars $level $picture"
    look
    [ "$first" = "$character $cyan $grey $stars $level $picture" ]
}
look_settled() { wait_for 5 settled || true; }
# stars_row N: the row with N gold stars.
stars_row() { local gold=11111 dim=00000; echo "${gold:0:$1}${dim:$1}"; }
shown() { echo "character ${character:0:8}, $cyan cyan and $grey grey pixels, stars $stars, picture $picture"; }

# --- The game, played.
# question LEVEL ROUND: the next question is heard without a key: one of the
# level's keys, not the one asked before; its picture and the question mark
# are seen, with the level's text and the stars won in it. The first
# question sets question_mark (what the label shows), level 1's text and
# each level's.
declare -A level_text shown_as
question_mark=
question() {
    local what="level $1, round $2"
    previous=$asked
    next_sound "$((Repeat + wait_seconds))" || true
    asked=$sound
    check "$what: a key of the level's is asked ($asked)" in_level "$1" "$asked"
    check "$what: not the key asked before ($previous)" test "$asked" != "$previous"
    wait_for "$wait_seconds" eval 'settled && [ "$picture" = 1 ]' || true
    if [ -z "$question_mark" ]; then
        question_mark=$character
        check "$what: a big question mark in cyan, no grey ($(shown))" eval '[ "$cyan" -gt 2000 ] && [ "$grey" -eq 0 ]'
    fi
    check "$what: the key's picture and the question mark ($(shown))" \
        eval '[ "$picture" = 1 ] && [ "$character" = "$question_mark" ]'
    check "$what: the stars won in the level, $(($2 - 1)) ($stars)" test "$stars" = "$(stars_row $(($2 - 1)))"
    [ -n "${level_text[$1]:-}" ] || level_text[$1]=$level
    check "$what: the level's own text" test "$level" = "${level_text[$1]}"
}

# right STARS SOUND: the asked key pressed; the character is seen in cyan
# with STARS gold stars (before the next question, 1.5 s later, takes its
# place), and SOUND (bravo, festa, pack-bravo) is heard.
right() {
    local what="'$asked' pressed, asked" row
    row=$(stars_row "$1")
    xdotool key "$asked"
    if wait_for 5 eval 'settled && [ "$character" != "$question_mark" ] && [ "$stars" = "$row" ]'; then
        shown_as[$asked]=$character
    fi
    check "$what: its character in cyan, not grey, and $1 gold stars ($(shown))" \
        eval '[ "$character" != "$question_mark" ] && [ "$cyan" -gt 1000 ] && [ "$grey" -eq 0 ] && [ "$stars" = "$row" ]'
    hear
    check "$what: $2 is heard ($sound)" test "$sound" = "$2"
}

# wrong KEY MISS: KEY, another recognised key, pressed: riprova is heard, then
# the question again, not at once; the answer is not seen before the third
# miss, which shows it in grey.
wrong() {
    local what="'$1' pressed, '$asked' asked (miss $2)" riprova_at
    xdotool key "$1"
    hear
    riprova_at=$sound_at
    check "$what: riprova is heard ($sound)" test "$sound" = riprova
    look_settled
    if [ "$2" -lt 3 ]; then
        check "$what: still the question mark, no answer ($(shown))" test "$character" = "$question_mark"
    else
        check "$what: the answer in grey ($(shown))" \
            eval '[ "$character" != "$question_mark" ] && [ "$grey" -gt 1000 ] && [ "$cyan" -eq 0 ]'
    fi
    next_sound || true
    check "$what: then the question again ($sound)" test "$sound" = "$asked"
    check "$what: after a pause (riprova at $riprova_at s, the question at $sound_at s)" \
        above "$sound_at" "$(awk -v t="$riprova_at" 'BEGIN { print t + 1 }')"
}

# The waits of the game, in seconds: the question heard again unanswered.
Repeat=8

activity ascolta
start_hearing
start_program "$program"

echo "--- level 1: the vowels; three misses, then the answer"
question 1 1
# A key that is neither a letter nor a digit: no box, nothing heard, the question stays.
mark=$(recorded)
xdotool key minus comma
sleep 1
look_settled
since=$(heard_since "$mark")
check "'-' and ',': no box, the question mark stays, nothing heard but the question (${since:-nothing})" \
    eval 'no_box && [ "$character" = "$question_mark" ] && [ -z "${since//$asked/}" ]'
for miss in 1 2 3; do
    other=$(echo "${level_keys[1]}" | tr -d "$asked" | cut -c"$miss")
    wrong "$other" "$miss"
done
right 1 bravo
for round in 2 3 4 5; do
    question 1 "$round"
    if [ "$round" -lt 5 ]; then right "$round" bravo; else right 5 festa; fi
done

echo "--- level 2: the consonants"
for round in 1 2 3 4 5; do
    question 2 "$round"
    if [ "$round" -lt 5 ]; then right "$round" bravo; else right 5 festa; fi
done
check "level 2's text is not level 1's" test "${level_text[2]}" != "${level_text[1]}"

echo "--- level 3: the digits; the family's bravo.wav, then the pack's"
question 3 1
right 1 bravo
rm "$family/bravo.wav"
question 3 2
right 2 pack-bravo
check "level 3's text is neither level 1's nor level 2's" \
    eval '[ "${level_text[3]}" != "${level_text[1]}" ] && [ "${level_text[3]}" != "${level_text[2]}" ]'

echo "--- unanswered: the question again three times, then quiet"
question 3 3
asked_at=$sound_at
for repeat in 1 2 3; do
    next_sound $((Repeat + wait_seconds)) || true
    check "unanswered: the question heard again ($repeat of 3: $sound at $sound_at s, asked at $asked_at s)" \
        test "$sound" = "$asked"
done
last_end=$cursor
woke=$(wake_ups 5)
check "quiet: the window's thread woke ${woke% *} times in five seconds (at most 2; the others ${woke#* })" \
    test "${woke% *}" -le 2
# A fourth time would come eight seconds after the third: twelve seconds of
# the recording after it must be quiet.
wait_for $((12 + wait_seconds)) eval '[ "$(recorded)" -ge $((last_end + 12 * 44100)) ]' || true
check "quiet: nothing heard in the twelve seconds after the third ($(heard_since "$last_end"))" \
    eval '[ -z "$(heard_since "$last_end")" ] && ! above "$(loud_seconds "$heard" $(($(recorded) - last_end)))" 0'

echo "--- each character as the lesson shows it; the game again from the start"
activity esplora
check "the lesson follows the change of activity: no picture, no question mark" \
    wait_for "$wait_seconds" eval 'settled && [ "$picture" = 0 ] && [ "$character" != "$question_mark" ]'
for key in "${!shown_as[@]}"; do
    xdotool key "$key"
    wait_for 5 eval 'settled && [ "$picture" = 1 ] && [ "$character" = "${shown_as[$key]}" ]' || true
    check "'$key' shown in the game as the lesson shows it" test "$character" = "${shown_as[$key]}"
done
wait_for "$wait_seconds" quiet_end "$heard" || true
cursor=$(recorded)
asked=
activity ascolta
question 1 1
echo "--- Escape"
quit_program
record_stop
no_stderr
