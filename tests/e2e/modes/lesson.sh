# SPDX-License-Identifier: GPL-3.0-or-later
# The lesson as a child has it: the window, a letter with its picture and its
# recording, the program idle, ten presses of one key, a key that is not a
# letter, Escape.
# Runs on a copy of the program beside a test IMG of short tones, unless the
# installed mode asks for the program's own media.

if [ -z "${own_media:-}" ]; then
    install_copy "$program" "$session_dir/app" 0.25
    program="$session_dir/app/quilloro"
fi

start_program "$program"
width=$(xwininfo -id "$win" | awk '/Width:/ { print $2 }')
check "window is 517 pixels wide" test "$width" -eq 517
check "menu bar above the client area" test "$top" -gt 10 -a "$top" -lt 60
check "no picture before a key" test "$(window_mean "$win" 50 50 20 $((top + 310)))" = 0

check "a plays its recording" press_heard a
check "a shows its picture" picture_shown

# Idle, once its recording has played and the stream is corked, the window's
# thread sleeps: no caret blinking in the hidden key box, no timer. Each of
# its wake-ups ends in a voluntary context switch; a blinking caret alone
# makes ten in five seconds. (The sound thread may still hear from the
# server now and then; what it costs is the benchmark's idle figure.)
check "after its recording, the stream is corked" wait_for "$wait_seconds" quiet_stream
woke=$(wake_ups 5)
check "idle for five seconds, the window's thread woke ${woke% *} times (at most 2; the others ${woke#* })" \
    test "${woke% *}" -le 2

if [ -z "${own_media:-}" ]; then
    # Each press is recorded on its own, after the previous tone has ended,
    # so every one of the ten must be heard by itself.
    heard=0
    for i in $(seq 10); do
        press_heard b && heard=$((heard + 1))
    done
    check "ten presses of b give ten recordings ($heard heard)" test "$heard" -eq 10
fi

xdotool key shift+a
check "A opens the box for other keys, and Return closes it" answer_box 'Fai attenzione, non hai premuto un tasto alfanumerico'
check "the window has the keyboard again" wait_for "$wait_seconds" eval '[ "$(xdotool getwindowfocus)" = "$win" ]'

quit_program
no_stderr
