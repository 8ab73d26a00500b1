# SPDX-License-Identifier: GPL-3.0-or-later
# The recorder for grown-ups under Wine, as an Italian user (LANG it_IT) meets
# it: the installer puts quilloro-registra.exe beside quilloro.exe with a
# Start menu entry and the program's icon; a take of a 440 Hz tone with
# silence around it, played into the default microphone (a remapped source,
# as in windows_capture), is kept, trimmed, in the user's profile
# (%LOCALAPPDATA%\quilloro\IMG), not in the program's folder, and quilloro.exe
# plays it. A folder that cannot be written keeps the take waiting; Qt's
# buttons are Italian (the close question's Sì answers to S); the sound
# server gone mid-take leaves the kept take as it was; no microphone is said;
# the recorder stays open through all of them. The uninstaller leaves the
# user's files. With QUILLORO_E2E_SHOTS set, screenshots of the main steps go
# to that folder.
#
#   e2e.sh INSTALLER windows_recorder

installer=$program
log="$session_dir/recorder.err"
: >"$log"
start_wine
# Wine takes a program's locale from LANG, which must exist: it is made
# privately, for the programs alone (env, so that $! is the program's).
mkdir -p "$session_dir/locale"
localedef -i it_IT -f UTF-8 "$session_dir/locale/it_IT.UTF-8" >/dev/null 2>&1 || true
italian=(env LOCPATH="$session_dir/locale" LANG=it_IT.UTF-8)

shot() {
    [ -z "${QUILLORO_E2E_SHOTS:-}" ] || import -window root "$QUILLORO_E2E_SHOTS/windows-recorder-$1.png" 2>/dev/null
}
same_sum() { [ "$(md5sum <"$1")" = "$2" ]; }
sox -n -r 22050 -c 1 -b 16 "$session_dir/voice.wav" synth 0.4 sine 0 vol 0 : synth 1 sine 440 vol 0.3 : \
    synth 0.6 sine 0 vol 0

echo "--- the installer"
check "the installer runs silently and ends with status 0" wine "$installer" /S
touch "$session_dir/installed"
check "installed: quilloro-registra.exe beside quilloro.exe" \
    eval 'test -f "$folder/quilloro-registra.exe" && test -f "$folder/quilloro.exe"'
entry=$(compgen -G "$menu/*voci e figure*.lnk" || true)
check "a Start menu entry, ${entry##*/}, starting quilloro-registra.exe" \
    eval '[ -n "$entry" ] && strings -a -el "$entry" | grep -qi "quilloro-registra\.exe"'
pack_sum=$(md5sum <"$folder/IMG/b.wav")
own=$(winepath -u "$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')")/quilloro/IMG
echo "the user's folder: ${own#"$drive"/}"

echo "--- a take of b, kept"
remapped_microphone
voice_sink=voice
set_default sink e2e
start_recorder "${italian[@]}" wine "$folder/quilloro-registra.exe"
check "the window's title, in Italian: $(xdotool getwindowname "$rwin")" \
    eval '[[ $(xdotool getwindowname "$rwin") == "Quilloro: voci e figure" ]]'
check "it invites to choose a key" said "Scegli un tasto"
check "the window has the program's icon ($(icon_colour "$rwin"))" has_program_icon "$rwin"
shot 1-open
rkey b
check "typing b selects it" said "b, come balena"
check "Space records, Space stops: the take is offered" eval 'record "$session_dir/voice.wav" && said "Ecco la registrazione di b"'
shot 2-take-waiting
rkey_anew Return
check "Return keeps it" said "Fatto: ora b dice la tua voce"
shot 3-kept
check "kept in the user's profile" test -f "$own/b.wav"
check "mono 16-bit at 22050 Hz" eval '[ "$(soxi -c "$own/b.wav") $(soxi -b "$own/b.wav") $(soxi -r "$own/b.wav")" = "1 16 22050" ]'
check "the tone at its pitch ($(pitch_of "$own/b.wav") Hz)" between "$(pitch_of "$own/b.wav")" 430 450
read -r peak onset tail level seconds < <(take_figures "$own/b.wav")
check "trimmed: the tone from ${onset} ms to ${tail} ms before the end, $seconds s in all" \
    eval 'between "$onset" 0 30 && between "$tail" 0 200 && between "$seconds" 0.95 1.25'
check "nothing written into the program's folder, its b.wav untouched" \
    eval '[ -z "$(find "$folder" -newer "$session_dir/installed" -type f)" ] && same_sum "$folder/IMG/b.wav" "$pack_sum"'
take_sum=$(cat "$own/b.wav" 2>/dev/null | md5sum)

echo "--- the child's program plays it"
start_program "${italian[@]}" wine "$folder/quilloro.exe"
heard_pitch=0
press_heard b && heard_pitch=$(pitch_of "$session_dir/press.raw")
check "quilloro.exe plays the family's b ($heard_pitch Hz)" between "$heard_pitch" 430 450
quit_program

echo "--- a folder that cannot be written: a file where it goes"
mv "$own" "$own.kept"
echo "not a folder" >"$own"
rkey c
record "$session_dir/voice.wav" && said "Ecco la registrazione di c"
rkey_anew Return
check "said so, and the recorder is still open" eval 'said "Non riesco a scrivere nella cartella" && recorder_running'
rm "$own"
mv "$own.kept" "$own"
rkey_anew Return
check "the take waited: kept once the folder is back" eval 'said "Fatto: ora c dice la tua voce" && test -f "$own/c.wav"'
check "b.wav as it was" same_sum "$own/b.wav" "$take_sum"

echo "--- Qt's own texts in Italian"
rkey ctrl+o
check "Ctrl+O opens the file dialog" eval "window_named 'Scegli una figura per c' >/dev/null"
shot 4-file-dialog
xdotool key Escape
wait_for "$wait_seconds" no_window_named 'Scegli una figura per c' || true
rkey d
record "$session_dir/voice.wav" && said "Ecco la registrazione di d"
rkey alt+F4
check "closed with a take waiting: the question" eval "window_named '^Chiudere' >/dev/null"
shot 5-close-question
xdotool key s
wait_exit "$rec"
check "its Sì answers to S: the recorder ends (status $exit_status), the take thrown away" \
    eval '[ "$exit_status" = 0 ] && test ! -e "$own/d.wav"'
watch; kill "$rec" 2>/dev/null || true # still open when the question was not answered

echo "--- what goes wrong"
start_recorder "${italian[@]}" wine "$folder/quilloro-registra.exe"
rkey b
rkey_anew space
said "Sto registrando" && wait_for "$wait_seconds" capturing || true
stop_sound
check "the sound server gone mid-take: the microphone lost" said "Il microfono si"
check "b.wav as it was" same_sum "$own/b.wav" "$take_sum"
start_sound "${bare_pulse[@]}"
rkey_anew space
check "a server with no microphone: said so" said "Nessun microfono trovato. Controlla"
check "the recorder is still open" recorder_running
shot 6-no-microphone
stop_recorder

echo "--- the uninstaller"
wine "$folder/Uninstall.exe" /S
check "removes the programs and the Start menu entries" \
    wait_for "$wait_seconds" eval 'test ! -e "$folder" && test ! -e "$menu"'
{ find "$folder" "$menu" 2>/dev/null || true; } | head -5 | sed 's/^/left: /'
check "and leaves the user's b.wav and c.wav" eval 'same_sum "$own/b.wav" "$take_sum" && test -f "$own/c.wav"'
