# SPDX-License-Identifier: GPL-3.0-or-later
# The grown-ups' choices under Wine, from the zip's program: the user's
# %APPDATA%\quilloro\quilloro.ini and the machine's
# %PROGRAMDATA%\quilloro\quilloro.ini, read at start and followed while the
# lesson runs. Capitals: a shows a capital, and Shift+a is the key a, heard
# with a's recording. The whole screen: the window covers the X screen
# (Wine's windows are X11 windows). The user's choice stands before the
# machine's. The child lock: Escape does nothing, the low-level keyboard hook
# swallows the Windows keys, Alt+Tab, Alt+Esc, Ctrl+Esc and Alt+F4, the
# lesson keeps the keyboard, and the word esci ends it with status 0.
#
#   e2e.sh ZIP windows_choices
#
# What Wine 8 does with those keys on a bare X server (no window manager, no
# virtual desktop), as seen: Alt+Tab, Alt+Esc and the Windows keys do nothing
# at all, even with a second program's window (notepad) open, so a switch of
# windows cannot tell whether the hook took them; xdotool getactivewindow has
# no window manager to ask, and the X input focus is what shows the window in
# front. Each key does reach the program's window as a key-down message when
# no hook stands in the way; Ctrl+Esc reaches it as an Escape, and Alt+F4
# closes it. So the keys are judged in Wine's trace of the program's messages
# (WINEDEBUG=trace+msg): under the lock each is handed to the low-level hook
# ("calling keyboard LL hook vk ...") and its key-down never reaches the
# window; without the lock each key-down does.

zip=$program
start_wine

unzip -q "$zip" -d "$session_dir/zip"
exe=$(compgen -G "$session_dir/zip/*/quilloro.exe")
# a's own recording, a tone of its own pitch, to be told from any other key's.
sox -n -r 22050 -c 1 -b 16 "$(dirname "$exe")/IMG/a.wav" synth 0.6 sine 660 vol 0.5

windows_folder() { winepath -u "$(wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r')"; }
user_file=$(windows_folder APPDATA)/quilloro/quilloro.ini
machine_file=$(windows_folder PROGRAMDATA)/quilloro/quilloro.ini
echo "the user's file: ${user_file#"$drive"/}; the machine's: ${machine_file#"$drive"/}"
# choices FILE NAME=VALUE...: writes the [lezione] section of FILE whole.
choices() {
    mkdir -p "$(dirname "$1")"
    { echo '[lezione]'; printf '%s\n' "${@:2}"; } >"$1.new"
    mv "$1.new" "$1"
}

geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
                             /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }'
}
screen=$(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print 0, 0, w, h }')
whole_screen() { program_died && [ "$(geometry "$win")" = "$screen" ]; }
# The height of the cyan character drawn in the window.
character_height() {
    import -window "$win" "$session_dir/character.png" 2>/dev/null
    convert "$session_dir/character.png" -fuzz 20% -fill black +opaque cyan -trim -format '%h' info: 2>/dev/null
}
heard_pitch() { press_heard "$1" && pitch_of "$session_dir/press.raw" 2>/dev/null; }
has_keyboard() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$win" ]; }

# The program's messages, traced by Wine on its standard error, from a mark on.
mark_trace() { mark=$(wc -l <"$session_dir/stderr"); }
traced() { tail -n +$((mark + 1)) "$session_dir/stderr"; }
# reached VK: a key-down of the virtual key VK (hex, as Wine writes it) was
# taken from the window's queue; offered VK: the hook was called with it.
reached() { traced | grep -Eq "got type 7 msg 10[04] \(WM_(SYS)?KEYDOWN\) hwnd [^ ]+ wp $1 "; }
offered() { traced | grep -Eq "calling keyboard LL hook vk $1 .* flags (0|1|20|21) "; }
# press_traced KEY: KEY, then b; once b's key-down reached the window, so
# had whatever KEY brought.
press_traced() {
    mark_trace
    xdotool key "$1" b
    wait_for "$wait_seconds" reached 42
}
# xdotool's key, and the virtual key Windows acts on.
system_keys=(super:5b Super_R:5c Menu:5d alt+Tab:9 alt+Escape:1b ctrl+Escape:1b alt+F4:73)

echo "--- no choices"
start_program wine "$exe"
check "the window does not cover the screen ($(geometry "$win"))" eval '! whole_screen'
pitch=$(heard_pitch a) || pitch=
check "a is heard with its recording (${pitch:-nothing} Hz)" between "${pitch:-0}" 640 680
small_a=$(window_sum)
small_height=$(character_height) || small_height=
# Under the Windows style a lone Alt would hand the keys to the menu bar.
xdotool key alt
check "Alt alone: the next key is still the lesson's" press_heard b
xdotool key alt+F4
wait_exit "$app"
check "Alt+F4 closes the window: the program ends (status $exit_status)" test "$exit_status" = 0

echo "--- capitals from the user's file; the whole screen from the machine's, written while the lesson runs"
choices "$user_file" maiuscole=true
start_program env WINEDEBUG=trace+msg wine "$exe"
pitch=$(heard_pitch a) || pitch=
check "capitals: a is heard with its recording (${pitch:-nothing} Hz)" between "${pitch:-0}" 640 680
capital_a=$(window_sum)
capital_height=$(character_height) || capital_height=
check "capitals: a is shown otherwise than without the choice" test "$capital_a" != "$small_a"
check "capitals: a's character is a capital's height ($small_height px without, $capital_height with)" \
    eval 'above "${capital_height:-0}" "$(awk -v h="${small_height:-0}" "BEGIN { print 1.25 * h }")"'
pitch=$(heard_pitch shift+a) || pitch=
check "capitals: Shift+a is the key a (${pitch:-nothing} Hz), no box" eval 'between "${pitch:-0}" 640 680 && no_box'
check "capitals: Shift+a shows what a showed" test "$(window_sum)" = "$capital_a"
# The machine's folder is made while the program runs; its maiuscole=false
# is overridden by the user's maiuscole=true.
choices "$machine_file" schermo_intero=true maiuscole=false
check "the machine's whole screen, followed: the window covers the screen ($screen) within 10 s" \
    wait_for 10 whole_screen
check "the user's capitals stand before the machine's: Shift+a is still the key a" \
    eval 'between "$(heard_pitch shift+a)" 640 680 && no_box'
# Without the lock no hook is set, and each of the keys that the lock
# swallows reaches the window.
for entry in "${system_keys[@]:0:5}"; do
    key=${entry%:*} vk=${entry#*:}
    check "no lock: $key reaches the window, no hook asked" eval 'press_traced "$key" && reached "$vk" && ! offered "$vk"'
done
focus_window "$win" && xdotool key ctrl+Escape
check "no lock: Ctrl+Esc reaches the lesson as its Escape" answer_box 'A presto da Ferlandi'
wait_exit "$app"
check "the program ends with status 0 after the farewell (got $exit_status)" test "$exit_status" = 0

echo "--- the child lock, from the user's file"
choices "$user_file" blocco_bambino=true maiuscole=true
start_program env WINEDEBUG=trace+msg wine "$exe"
check "the machine's whole screen, read at start" wait_for "$wait_seconds" whole_screen
# The hook is set once the lesson is in front: from then on Wine hands it
# every key.
hooked() { press_traced b && offered 42; }
hook_set=false
wait_for "$wait_seconds" hooked && hook_set=true
check "the low-level keyboard hook is set" $hook_set
xdotool key Escape
sleep 2
check "Escape: no farewell, the lesson goes on" eval 'still_running && no_window_named "^A presto da Ferlandi\$"'
# Without a hook these keys would close the window or open the farewell,
# and every check after them would only wait out its time.
if $hook_set; then
    for entry in "${system_keys[@]}"; do
        key=${entry%:*} vk=${entry#*:}
        check "lock: the hook swallows $key" eval 'press_traced "$key" && offered "$vk" && ! reached "$vk"'
    done
fi
check "lock: after them the lesson runs and keeps the keyboard" eval 'still_running && has_keyboard && no_box'
check "lock: still on the whole screen" whole_screen
focus_window "$win" && xdotool type --delay 100 esci
check "the word esci brings the farewell" answer_box 'A presto da Ferlandi'
wait_exit "$app"
check "and the lesson ends with status 0 (got $exit_status)" test "$exit_status" = 0
