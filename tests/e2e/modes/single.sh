# SPDX-License-Identifier: GPL-3.0-or-later
# One lesson at a time. On a session bus, starting the program again brings
# the running window to the keyboard and ends at once with status 0, opening
# no window of its own; starts at the same instant give one window; once the
# program has ended, the next start opens a window again. With no session
# bus, or a dead one, each start opens its own window, and says nothing.

install_copy "$program" "$session_dir/app" 0.25
program="$session_dir/app/quilloro"

windows() { xdotool search --onlyvisible --name '^Quilloro - ' 2>/dev/null | wc -l; }
focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }
# starts N: starts the program N times at once; sets started to their processes.
starts() {
    started=()
    local i
    for ((i = 0; i < $1; i++)); do
        "$program" 2>>"$session_dir/stderr" &
        started+=($!)
        session_pids+=($!)
    done
}
# start_again WHAT: one more start, which must end with status 0 (one that
# does not end is stopped).
start_again() {
    starts 1
    wait_exit "${started[0]}"
    check "$1 ends with status 0 (got $exit_status)" test "$exit_status" = 0
    [ "$exit_status" != timeout ] || kill "${started[0]}" 2>/dev/null
}
running() { local pid n=0; for pid in "$@"; do kill -0 "$pid" 2>/dev/null && n=$((n + 1)); done; echo "$n"; }
# end_starts [PID...]: the started programs (and PIDs) ended, their windows gone.
end_starts() {
    kill "${started[@]}" "$@" 2>/dev/null || true
    wait "${started[@]}" "$@" 2>/dev/null || true
    wait_for "$wait_seconds" eval '[ "$(windows)" -eq 0 ]' || true
}

# --- On a session bus: a second start while the first runs.
start_bus
start_program "$program"
first=$app first_win=$win
# The child went to another window meanwhile: it has the keyboard.
xmessage -title elsewhere 'another window' >/dev/null 2>&1 &
session_pids+=($!)
other=$(window_named '^elsewhere$')
xdotool windowfocus --sync "$other"
check "another window has the keyboard before the second start" focused "$other"

start_again "a second start"
check "one window, the first ($(windows))" eval '[ "$(windows)" -eq 1 ] && first_window "^Quilloro - " | grep -qx "$first_win"'
check "the first window has the keyboard again" wait_for "$wait_seconds" focused "$first_win"
check "the first is still running" still_running

# --- The first has a message box open (a key that is not a letter): the
# box is what comes forward, as the child must answer it first.
box_title='Fai attenzione, non hai premuto un tasto alfanumerico'
xdotool windowfocus --sync "$first_win" key shift+a
if box=$(window_named "^$box_title\$"); then
    xdotool windowfocus --sync "$other"
    start_again "a start while a box is open"
    check "a start while a box is open: the box has the keyboard" wait_for "$wait_seconds" focused "$box"
    answer_box "$box_title" || true
else
    check "the box for other keys opens" false
fi

# --- Started from a launcher, with its startup id: the running program ends
# the launcher's busy pointer (the X11 startup-notification message to the
# root window), as the start that handed over shows no window to end it.
xdotool windowfocus --sync "$other"
xev -root -event property >"$session_dir/root-events" 2>/dev/null &
session_pids+=($!)
# Listening once a property changed on the root window shows in it.
xev_listens() { xprop -root -f _PROBE 8s -set _PROBE 1; grep -q _PROBE "$session_dir/root-events"; }
wait_for "$wait_seconds" xev_listens || true
DESKTOP_STARTUP_ID="launcher-$$-quilloro_TIME0" start_again "a start from a launcher"
check "a start from a launcher: the first window has the keyboard again" wait_for "$wait_seconds" focused "$first_win"
check "a start from a launcher: its busy pointer is ended" \
    wait_for "$wait_seconds" grep -q '(_NET_STARTUP_INFO_BEGIN)' "$session_dir/root-events"

# --- The first ended: starts at the same instant, one window among them.
quit_program
starts 3
if win=$(window_named '^Quilloro - '); then
    wait_for "$wait_seconds" eval '[ "$(running "${started[@]}")" -le 1 ]' || true
    statuses=()
    for pid in "${started[@]}"; do
        if kill -0 "$pid" 2>/dev/null; then app=$pid; else wait "$pid" && statuses+=(0) || statuses+=($?); fi
    done
    check "three starts at once after the end: one runs (${#statuses[*]} of 3 ended: ${statuses[*]})" \
        eval '[ "${statuses[*]}" = "0 0" ]'
    check "three starts at once after the end: one window ($(windows))" test "$(windows)" -eq 1
    xdotool windowfocus --sync "$win" 2>/dev/null || true
    quit_program
else
    check "three starts at once after the end: a window opens" false
fi
end_starts

# --- The name held by a program that takes the call and never answers
# (dbus-test-tool, package dbus-tests): after the wait, a window of its own.
owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:io.github.quilloro.Quilloro 2>/dev/null | grep -q 'boolean true'
}
if command -v dbus-test-tool >/dev/null; then
    dbus-test-tool black-hole --name=io.github.quilloro.Quilloro &
    hole=$!
    session_pids+=($hole)
    wait_for "$wait_seconds" owned
    starts 1
    check "the name held by a program that never answers: a window of its own" \
        eval 'win=$(window_named "^Quilloro - ") && [ "$(running "${started[@]}")" -eq 1 ]'
    end_starts "$hole"
else
    echo "dbus-test-tool is not installed (package dbus-tests): the unanswering owner is not tried"
fi

# --- No session bus, or one that has gone: each start its own window. With
# the variable unset, libdbus starts a bus of its own over X11 where dbus-x11
# is installed (as on many desktops), and then the second start rightly finds
# the first on it. That bus is stopped with the row.
autolaunched() {
    local pid
    for pid in $(pgrep -f 'dbus-launch --autolaunch|dbus-daemon' 2>/dev/null); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "DISPLAY=$DISPLAY" && echo "$pid"
    done
}
stop_bus
for bus in unset dead; do
    expected=2
    if [ "$bus" = unset ]; then
        unset DBUS_SESSION_BUS_ADDRESS
        command -v dbus-launch >/dev/null && expected=1
    else
        export DBUS_SESSION_BUS_ADDRESS="unix:path=$session_dir/bus"
    fi
    starts 2
    check "no session bus ($bus): two starts, $expected running" \
        eval 'wait_for "$wait_seconds" eval "[ \$(windows) -eq $expected ]" &&
              wait_for "$wait_seconds" eval "[ \$(running ${started[*]}) -eq $expected ]"'
    check "no session bus ($bus): $expected window(s)" test "$(windows)" -eq "$expected"
    end_starts
    kill $(autolaunched) 2>/dev/null || true
done

no_stderr
