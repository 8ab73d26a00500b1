# SPDX-License-Identifier: GPL-3.0-or-later
# The lesson on the desktops families run, judged on the screen as a person
# sees it: under a real window manager, whose compositor draws the screen from
# the windows' own pixels, what counts is what the screen shows
# (screen_probe compares the two). mutter is GNOME on Xorg, kwin_x11 Plasma
# on X11, xfwm4 Xfce; none is a bare X server, as a kiosk session has. The
# window opens decorated and centred; ten keys a second apart are each heard
# and seen whole, character and picture; then two hundred keys at every
# point of the compositor's frame are each seen whole; the box for other
# keys closed with Return, a click on the desktop and back, and each time the
# next key seen and heard; Escape's farewell and status 0. Under a window
# manager that composites, the recorder for grown-ups too: its 36 tiles on
# the screen, a chosen key's picture in its preview, and the level moving
# while it records. A window manager that is not installed or does not start
# skips the test (77), saying why.
#
#   e2e.sh PROGRAM desktop WINDOW_MANAGER SCREEN_PROBE [RECORDER [choices]]
#
# With "choices", the grown-ups' choices instead (choices.sh).

window_manager=${mode_args[0]}
probe=${mode_args[1]}
recorder=${mode_args[2]:-}
[ "$window_manager" != none ] || window_manager=

# start_window_manager NAME: starts it on the session's display and bus and
# waits until it manages the screen and composites it.
start_window_manager() {
    local command
    case $1 in
        mutter) command=(mutter --x11 --replace --sm-disable) ;;
        kwin) command=(kwin_x11 --replace) ;;
        xfwm4) command=(xfwm4 --replace --compositor=on) ;;
        *) echo "unknown window manager $1" >&2; exit 2 ;;
    esac
    command -v "${command[0]}" >/dev/null || skip "${command[0]} is not installed"
    # Their settings (GSettings schemas, themes) are found through the
    # system's XDG_DATA_DIRS, and they talk to the desktop on a session bus.
    start_bus "${system_data[@]}"
    "${system_data[@]}" "${command[@]}" >>"$session_dir/wm.log" 2>&1 &
    wm_pid=$!
    session_pids+=($wm_pid)
    if ! wait_for "$wait_seconds" "$probe" --composited; then
        sed 's/^/wm.log: /' "$session_dir/wm.log" | grep -v -e ALSA -e DPMS | tail -10
        kill -0 "$wm_pid" 2>/dev/null || skip "${command[0]} ended at start"
        skip "${command[0]} does not composite on this X server"
    fi
}
[ -z "$window_manager" ] || start_window_manager "$window_manager"

on_screen() { "$probe" "${1:-$win}"; }
# seen_and_heard KEY: heard, its picture in the window, the window whole on the screen.
seen_and_heard() { press_heard "$1" && picture_now && on_screen; }

# The grown-ups' choices instead of the lesson as designed.
if [ "${mode_args[3]:-}" = choices ]; then
    [ -n "$window_manager" ] || skip "the choices are judged under a window manager"
    source "$here/choices.sh"
    return
fi

install_copy "$program" "$session_dir/app" 0.25
start_program "$session_dir/app/quilloro"
if [ -n "$window_manager" ]; then
    check "the window has a title bar drawn by $window_manager" decorated
    check "the window is centred on the screen ($(geometry "$(frame_of "$win")"))" centred "$(frame_of "$win")"
else
    check "the window is centred on the screen ($(geometry "$win"))" centred "$win"
fi
check "the invitation is on the screen" on_screen

ten_keys

keys=(a b c d e f g h i j k l m n o p q r s t u v w x y z 0 1 2 3 4 5 6 7 8 9)
burst=()
for i in $(seq 200); do burst+=("${keys[RANDOM % 36]}"); done
check "two hundred keys, each seen whole on the screen" "$probe" "$win" "${burst[@]}"

xdotool key shift+a
check "A opens the box for other keys, and Return closes it" answer_box 'Fai attenzione, non hai premuto un tasto alfanumerico'
check "the window has the keyboard again" wait_for "$wait_seconds" has_focus "$win"
check "after the box, the next key is heard and seen" seen_and_heard k

# A click on the desktop beside the window, then on the window: the keys
# are the window's again.
read -r x y w h <<<"$(geometry "$win")"
xdotool mousemove 5 $((y + h - 5)) click 1 sleep 0.5 mousemove $((x + w - 30)) $((y + h - 30)) click 1
check "after a click on the desktop and back, the next key is heard and seen" \
    eval 'wait_for "$wait_seconds" has_focus "$win" && seen_and_heard l'

quit_program
no_stderr

# The recorder's window is drawn: not one colour, as before its first frame.
tiles_drawn() { above "$(import -window "$rwin" -format '%[fx:standard_deviation]' info: 2>/dev/null)" 0.05; }
# The recorder for grown-ups: its tiles, a key's picture in its preview, the
# level while it records, each on the screen.
recorder_on_screen() {
    log="$session_dir/recorder.err"
    : >"$log"
    pactl load-module module-null-sink sink_name=mic >/dev/null && set_default source mic.monitor
    sox -n -r 22050 -c 1 -b 16 "$session_dir/voice.wav" synth 0.3 sine 0 vol 0 : synth 1.5 sine 440 vol 0.3 : \
        synth 0.3 sine 0 vol 0
    start_recorder "$recorder"
    local before frames player
    check "the recorder's key tiles are drawn and on the screen" eval 'wait_for "$wait_seconds" tiles_drawn && on_screen "$rwin"'
    before=$("$probe" "$rwin" >/dev/null && import -window root rgb:- 2>/dev/null | md5sum)
    rkey b
    check "typing b shows its picture in the preview, on the screen" \
        eval 'said "b, come balena" && on_screen "$rwin" && [ "$(import -window root rgb:- 2>/dev/null | md5sum)" != "$before" ]'
    rkey_anew space
    if said "Sto registrando" && wait_for "$wait_seconds" capturing; then
        paplay -d mic "$session_dir/voice.wav" &
        player=$!
        sleep 0.4
        frames=$("$probe" --frames 1)
        wait "$player" || true
        check "recording: the level moves on the screen ($frames different screens in a second)" test "$frames" -ge 3
        rkey Escape
        said "Registrazione interrotta" || true
    else
        check "Space starts recording" false
    fi
    stop_recorder
}
[ -z "$window_manager" ] || [ -z "$recorder" ] || recorder_on_screen
