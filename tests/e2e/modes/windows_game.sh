# SPDX-License-Identifier: GPL-3.0-or-later
# The listening game under Wine, from the zip's program: chosen in the user's
# %APPDATA%\quilloro\quilloro.ini, every key's recording and the game's sounds
# tones of their own pitches in the family's folder (%LOCALAPPDATA%\quilloro\IMG,
# where the Windows program looks first). A vowel is asked; a wrong vowel
# brings riprova and the question again, the right one bravo and the next
# question, another vowel; Escape brings the farewell, and the program ends
# with status 0.
#
#   e2e.sh ZIP windows_game

zip=$program
start_wine
source "$here/listening.sh"

unzip -q "$zip" -d "$session_dir/zip"
exe=$(compgen -G "$session_dir/zip/*/quilloro.exe")
windows_folder() { winepath -u "$(wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r')"; }
family_tones "$(windows_folder LOCALAPPDATA)/quilloro/IMG"
settings_file=$(windows_folder APPDATA)/quilloro/quilloro.ini
mkdir -p "$(dirname "$settings_file")"
printf '[lezione]\nattivita=ascolta\n' >"$settings_file"

start_hearing
start_program wine "$exe"
next_sound || true
asked=$sound
check "a vowel is asked, unprompted ($asked)" in_level 1 "$asked"

other=$(echo "${level_keys[1]}" | tr -d "$asked" | cut -c1)
xdotool key "$other"
hear
riprova_at=$sound_at
check "'$other' pressed, '$asked' asked: riprova is heard ($sound)" test "$sound" = riprova
next_sound || true
check "'$other' pressed: then the question again ($sound)" test "$sound" = "$asked"
check "'$other' pressed: after a pause (riprova at $riprova_at s, the question at $sound_at s)" \
    above "$sound_at" "$(awk -v t="$riprova_at" 'BEGIN { print t + 1 }')"

xdotool key "$asked"
hear
check "'$asked' pressed: bravo is heard ($sound)" test "$sound" = bravo
previous=$asked
next_sound || true
asked=$sound
check "the next question: another vowel ($asked, after $previous)" \
    eval 'in_level 1 "$asked" && [ "$asked" != "$previous" ]'

quit_program
