# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the desktop mode, under a compositing window manager: the
# grown-ups' choices, each turned on in the recorder with a click on its check
# box, followed by the lesson already open, and judged on the screen.
# Capitals: a and Shift+a both show the capital, heard with a's recording.
# The whole screen: the window covers it, the character and the picture
# drawn larger. The child lock: another program cannot take the keyboard
# while the lesson is in front; three thousand keys a toddler may press,
# Escape, Super, Alt+Tab, Alt+F4, Ctrl+W and Ctrl+Q among them, leave it open,
# in front and on the whole screen; the word esci ends it with status 0.

log="$session_dir/recorder.err"
: >"$log"
settings_file="$XDG_CONFIG_HOME/quilloro/quilloro.conf"

# The lesson's window as the screen shows it, and the size of what is drawn
# in a colour there: "WIDTH HEIGHT".
screen_shot() {
    local x y w h
    read -r x y w h <<<"$(geometry "$win")"
    import -window root -crop "${w}x$h+$x+$y" "$session_dir/screen.png" 2>/dev/null
}
drawn_in() {
    convert "$session_dir/screen.png" -fuzz 20% -fill black +opaque "$1" -trim -format '%w %h' info: 2>/dev/null
}
# taller FACTOR BEFORE AFTER: AFTER's height at least FACTOR times BEFORE's.
taller() { awk -v f="$1" -v a="${2#* }" -v b="${3#* }" 'BEGIN { exit !(b >= f * a) }'; }

# choose N: clicks the recorder's Nth check box (1 capitals, 2 whole screen,
# 3 lock), where a person would, and waits until the recorder saved it. The
# window manager raises the recorder a moment after it gives it the keyboard;
# on a busy machine a click at once can land on the lesson still above it, so
# the click waits until the recorder is the window under the pointer.
choose() {
    focus_window "$rwin" || return 1
    : >"$log"
    xdotool mousemove ${boxes[$(($1 - 1))]} || return 1
    wait_for "$wait_seconds" under_pointer "$rwin" || { echo "the recorder is not under the pointer"; return 1; }
    xdotool click 1
    said "Scelta salvata"
}
under_pointer() { [ "$(xdotool getmouselocation --shell 2>/dev/null | sed -n 's/^WINDOW=//p')" = "$1" ]; }
lesson_front() { focus_window "$win"; }

install_copy "$program" "$session_dir/app" 0.25
start_program "$session_dir/app/quilloro"
check "a, as designed: heard, its picture shown" eval 'press_heard a && picture_now && on_screen'
small_a=$(window_sum)
screen_shot
small_character=$(drawn_in cyan) small_picture=$(drawn_in red)

start_recorder
check "the recorder's window is on the screen" eval 'wait_for "$wait_seconds" on_screen "$rwin"'
# Its three check boxes, all empty: the last three white squares.
mapfile -t boxes < <("$probe" --check-boxes "$rwin" | tail -3)
check "the recorder shows three check boxes (${boxes[*]})" test "${#boxes[@]}" = 3

# Capitals.
check "a click on \"Lettere maiuscole\" saves it" choose 1
check "the family's file says so" grep -qx 'maiuscole=true' "$settings_file"
lesson_front
check "capitals: a is heard and shown, not as before" eval 'press_heard a && on_screen && [ "$(window_sum)" != "$small_a" ]'
capital_a=$(window_sum)
check "capitals: Shift+a is the same key, heard, no box" eval 'press_heard shift+a && no_box && on_screen'
check "capitals: Shift+a shows what a showed" test "$(window_sum)" = "$capital_a"

# The whole screen.
check "a click on \"Schermo intero\" saves it" choose 2
whole_screen() { [ "$(geometry "$win")" = "0 0 1024 768" ] || [ "$(geometry "$(frame_of "$win")")" = "0 0 1024 768" ]; }
check "the lesson open takes the whole screen" wait_for "$wait_seconds" whole_screen
lesson_front
check "on the whole screen, b is heard and the window is on the screen" eval 'press_heard b && on_screen'
screen_shot
check "the character is drawn larger ($small_character, now $(drawn_in cyan))" taller 1.2 "$small_character" "$(drawn_in cyan)"
check "the picture is drawn larger ($small_picture, now $(drawn_in red))" taller 1.2 "$small_picture" "$(drawn_in red)"

# The child lock. The menu bar's hint changes with it.
menu_bar() { program_died && import -window "$win" -crop "$(geometry "$win" | cut -d' ' -f3)x16+0+2" rgb:- 2>/dev/null | md5sum; }
hint_before=$(menu_bar)
check "a click on \"Blocco bambino\" saves it" choose 3
lesson_front
check "the menu bar's hint changes" wait_for "$wait_seconds" eval '[ "$(menu_bar)" != "$hint_before" ]'
held() { ! "$probe" --grab-keyboard; }
check "while the lesson is in front, no other program can take the keyboard" wait_for "$wait_seconds" held
toddler=(a b c 1 2 Escape Escape super Super_R alt+Tab alt+shift+Tab alt+F4 ctrl+w ctrl+q alt+space ctrl+alt+Left
         Return space shift+a x y 9)
presses=()
for i in $(seq 3000); do presses+=("${toddler[RANDOM % ${#toddler[@]}]}"); done
xdotool key --delay 8 "${presses[@]}"
app_window_in_front() {
    local active
    active=$(xdotool getactivewindow 2>/dev/null) || return 1
    [ "$active" = "$win" ] || xdotool search --pid "$app" 2>/dev/null | grep -qx "$active"
}
check "after three thousand keys the lesson is still running" still_running
check "... in front" wait_for "$wait_seconds" app_window_in_front
check "... on the whole screen" whole_screen
close_boxes() {
    local i
    for i in $(seq 20); do
        no_box && return 0
        xdotool key Escape
        sleep 0.3
    done
    no_box
}
check "the boxes the keys opened close" close_boxes
focus_window "$win" && xdotool type --delay 100 esci
check "the word esci brings the farewell" answer_box 'A presto da Ferlandi'
wait_exit "$app"
check "and the lesson ends with status 0 (got $exit_status)" test "$exit_status" = 0
check "the keyboard is free again" "$probe" --grab-keyboard
check "the recorder is still open (nothing the lesson did reached it)" recorder_running
stop_recorder
no_stderr
