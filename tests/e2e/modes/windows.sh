# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows program under Wine, in a Wine prefix of its own: the installer
# installs silently, and the installed program gives the lesson (the start
# screen, a letter and a digit with their pictures and recordings, the box
# for other keys, the farewell and status 0); the portable zip runs as it
# unpacks, and its program cuts a recording with the next key, names a
# damaged picture in a box, makes no system caret (whose blinking would wake
# it), is silent without a sound server, and is heard again once a server
# that went away is back; the uninstaller removes everything the installer
# put in.
#
#   e2e.sh INSTALLER windows ZIP

installer=$program
zip=$(readlink -f "${mode_args[0]}")

start_wine

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quilloro'
registered() { wine reg query "$uninstall_key" >/dev/null 2>&1; }

# The start screen: the client area (under the menu bar) mostly black, and
# only black and cyan: no red at all, some green and blue.
client_shot() {
    import -window "$win" "$session_dir/shot.png" 2>/dev/null
    convert "$session_dir/shot.png" -crop "517x554+0+$top" +repage "$@" info:
}
black_ground() { above 0.5 "$(client_shot -colorspace gray -threshold 10% -format '%[fx:mean]')"; }
cyan_on_black() {
    client_shot -format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]' | awk '{ exit !($1 < 0.01 && $2 > 0.05 && $3 > 0.05) }'
}
# No cyan in a strip of the client area (W H X Y): the invitation and a key's
# character drawn whole in Arial's widths, neither cut at the label's right
# edge nor pushed up under the menu bar (Wine has no Arial of its own).
no_cyan_in() { ! above "$(client_shot -crop "$1x$2+$3+$4" +repage -format '%[fx:maxima.g]')" 0.5; }
# The program's stream on the sound server, as Wine names it; quiet, the
# program holds none.
our_stream() { pactl list sink-inputs 2>/dev/null | grep -q 'application.name = "quilloro.exe"'; }
quiet_stream() { ! our_stream; }
# The pictures of the pack are not black: where the picture goes is lit.
picture_now() { above "$(window_mean "$win" 40 40 20 $((top + 310)))" 0.05; }

echo "--- the installer"
check "the installer runs silently and ends with status 0" wine "$installer" /S
for file in quilloro.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll platforms/qwindows.dll imageformats/qjpeg.dll \
    libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll IMG/a.wav IMG/a.jpg IMG/9.wav IMG/9.jpg Uninstall.exe; do
    check "installed: $file" test -f "$folder/$file"
done
check "a Start menu entry" test -f "$menu/Quilloro.lnk"
check "listed among the installed programs" registered

echo "--- the installed program"
start_program wine "$folder/quilloro.exe"
check "the start screen: a black window" black_ground
check "the start screen: the invitation in cyan" cyan_on_black
check "the start screen: the invitation is not cut at the label's right edge" no_cyan_in 8 500 477 60
check "the window has the program's icon ($(icon_colour "$win"))" has_program_icon "$win"
check "a plays its recording" press_heard a
check "a shows its picture" picture_shown
check "7 plays its recording" press_heard 7
check "7 shows its picture" picture_shown
check "b plays its recording" press_heard b
check "b: the character's top is below the menu bar" no_cyan_in 517 3 0 0
xdotool key shift+a
check "A opens the box for other keys, and Return closes it" \
    answer_box 'Fai attenzione, non hai premuto un tasto alfanumerico'
quit_program

echo "--- the zip, unpacked, with media made for the checks"
unzip -q "$zip" -d "$session_dir/zip"
portable=$(dirname "$(compgen -G "$session_dir/zip/*/quilloro.exe")")
img=$portable/IMG
sox -n -r 22050 -c 1 -b 16 "$img/l.wav" synth 6 sine 660 vol 0.5 # long
sox -n -r 22050 -c 1 -b 16 "$img/s.wav" synth 0.5 sine 660 vol 0  # pure silence
printf 'not a picture' >"$img/z.jpg"
start_program wine "$portable/quilloro.exe"
check "the zip's program plays a recording" playing l
check "while it plays, the program has a stream on the sound server" our_stream
cut_by_next_key
check "quiet after playing: the program holds no stream" wait_for "$wait_seconds" quiet_stream
xdotool key z
check "a damaged picture opens its box" answer_box 'Immagine non disponibile'
quit_program

echo "--- no system caret"
# A system caret blinks, invisible or not, and its timer wakes the idle
# program twice a second. Wine traces the caret's creation under a name with
# CreateCaret in it (the "win" channel; "caret" in older Wine). The key box
# has the keyboard from the start; keys are pressed and released in it.
traced=$(wc -l <"$session_dir/stderr")
start_program env WINEDEBUG=trace+win,trace+caret wine "$portable/quilloro.exe"
check "traced: a plays its recording" press_heard a
check "traced: 7 plays its recording" press_heard 7
quit_program
tail -n +$((traced + 1)) "$session_dir/stderr" >"$session_dir/traced.err"
check "Wine traced the window calls" grep -q ':trace:win:' "$session_dir/traced.err"
check "keys pressed and released make no system caret ($(grep -ci createcaret "$session_dir/traced.err") traced)" \
    eval '! grep -qi createcaret "$session_dir/traced.err"'

echo "--- the zip's folder without its platform plugin"
# Qt shows a box of its own first when the program has no console; then the
# program says why in one line (on standard error here, where Wine gives it
# one; in a box of its own where there is none) and ends with status 1.
broken="$session_dir/broken"
cp -r "$portable" "$broken"
rm -r "$broken/platforms"
wine "$broken/quilloro.exe" 2>"$session_dir/broken.err" &
broken_pid=$!
check "no platform plugin: Qt's box" answer_box quilloro
wait_exit "$broken_pid"
check "no platform plugin: status 1 (got $exit_status)" test "$exit_status" = 1
grep -v '^ALSA\|wine32\|multiarch\|dpkg --add-architecture\|apt-get install wine32' "$session_dir/broken.err" >"$session_dir/broken.line" || true
check "no platform plugin: one line naming it ($(head -c 150 "$session_dir/broken.line"))" \
    eval '[ "$(wc -l <"$session_dir/broken.line")" -eq 1 ] && grep -q "plugin \"windows\" not found; reinstall Quilloro" "$session_dir/broken.line"'

echo "--- no sound server at start"
stop_sound
start_program wine "$portable/quilloro.exe"
alive "no sound server at start" a
# Not whether the next key is heard once a server is started: Wine chooses
# its audio driver once, when a program first asks for sound, and a program
# started without a server stays silent for the rest of its run. (Windows
# itself lists an output that appears later.)
start_sound
quit_program

echo "--- the sound server gone while the program runs, and back"
start_program wine "$portable/quilloro.exe"
interrupted "the sound server gone" stop_sound start_sound c d e f
quit_program

echo "--- the uninstaller"
# It copies itself elsewhere and returns at once; its copy does the work.
wine "$folder/Uninstall.exe" /S
check "the uninstaller removes the program's folder" wait_for "$wait_seconds" test ! -e "$folder"
check "and the Start menu entry" wait_for "$wait_seconds" test ! -e "$menu"
check "and its entry among the installed programs" wait_for "$wait_seconds" eval '! registered'
