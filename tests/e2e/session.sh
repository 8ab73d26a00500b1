# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by e2e.sh: everything the modes share. A private X server and a
# private PulseAudio server with a null sink, the program started in them and
# driven through xdotool, and the checks; all stopped when the script exits.

session_dir=$(mktemp -d /tmp/quilloro-e2e.XXXXXX)
session_pids=()

# The environment a desktop session gives, whatever the caller's: a UTF-8
# locale (Qt warns on standard error under any other) and a runtime folder.
unset LC_ALL LANGUAGE $(compgen -v LC_)
export LANG=C.UTF-8
export XDG_RUNTIME_DIR="$session_dir/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# No session bus unless a mode starts its own: the program keeps to one
# window per bus, and the caller's desktop may be running it.
unset DBUS_SESSION_BUS_ADDRESS

# The program looks for a key's files in the user's and the machine's data
# folders before its IMG, and for the grown-ups' choices in the user's and the
# machine's settings folders: folders of the session's own keep the caller's
# files out. The sound servers and the window managers find their own files
# through XDG_DATA_DIRS and XDG_CONFIG_DIRS, so they are started with the
# caller's (system_data).
system_data=(env)
for variable in XDG_DATA_DIRS XDG_CONFIG_DIRS; do
    [ -n "${!variable+set}" ] || system_data+=(-u "$variable")
done
for variable in XDG_DATA_DIRS XDG_CONFIG_DIRS; do
    [ -z "${!variable+set}" ] || system_data+=("$variable=${!variable}")
done
export XDG_DATA_HOME="$session_dir/data-home" XDG_DATA_DIRS="$session_dir/data-dirs"
export XDG_CONFIG_HOME="$session_dir/config" XDG_CONFIG_DIRS="$session_dir/config-dirs"

# How long to wait, at most, for anything the program does: a window, a box,
# a picture, a recording, its end. Generous, as the machine may be busy; the
# memcheck run raises it, as the program is much slower under Valgrind.
wait_seconds=${wait_seconds:-20}

# wait_for SECONDS COMMAND...: runs COMMAND until it succeeds, for at most SECONDS.
# A program the script drives that ends before it is told to fails the test
# at once: every wait after that could only run into its time limit.
wait_for() {
    local deadline=$((SECONDS + $1))
    until "${@:2}"; do
        program_died
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

# watch PID: the program the waits keep an eye on (start_program and
# start_recorder watch theirs); watch with no PID: none, as the program is
# about to end on purpose.
watched=
watch() { watched=${1:-}; }
program_died() {
    [ -n "$watched" ] && ! kill -0 "$watched" 2>/dev/null || return 0
    local status=0
    wait "$watched" 2>/dev/null || status=$?
    echo "FAIL: the program ended by itself while the test waited for it (status $status)"
    sed 's/^/stderr: /' "$session_dir/stderr" ${log:+"$log"} 2>/dev/null | tail -20
    exit 1
}

# focus_window ID: gives the window the keyboard. A window manager is asked to
# activate it, as a click would: it may ignore a focus set behind its back.
# (xdotool's windowactivate gives up on a window that its window manager has
# not yet put on a desktop, as a newer mutter does for a moment after mapping
# it: it is asked again until the window has the keyboard.)
focus_window() {
    if [ -n "${window_manager:-}" ]; then
        wait_for "$wait_seconds" activated "$1"
    else
        xdotool windowfocus --sync "$1"
    fi
}
activated() {
    xdotool windowactivate "$1" 2>/dev/null
    wait_for 1 has_focus "$1"
}
has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }

# end_process PID [SIGNAL]: sends it SIGNAL (TERM) and waits for it to end;
# one still running after 10 seconds is killed (headless mutter 43 now and
# then spins instead of ending on SIGTERM, and the test would hang on it).
end_process() {
    kill "-${2:-TERM}" "$1" 2>/dev/null || true
    local deadline=$((SECONDS + 10))
    while kill -0 "$1" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.05; done
    kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

session_cleanup() {
    # Newest first: the program before the servers it is connected to.
    local i
    for ((i = ${#session_pids[@]} - 1; i >= 0; i--)); do end_process "${session_pids[i]}"; done
    rm -rf "$session_dir"
}
trap session_cleanup EXIT

# skip REASON: what the test needs is missing here; CTest reports it skipped (77).
skip() {
    echo "skipped: $*"
    exit 77
}

passed=0 failed=0
check() { # check NAME COMMAND...
    if "${@:2}"; then passed=$((passed + 1)); echo "ok:   $1"
    else failed=$((failed + 1)); echo "FAIL: $1"; fi
}
# The closing line, and the script's status.
summary() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

# install_copy PROGRAM FOLDER SECONDS: a copy of PROGRAM in FOLDER with a test
# IMG beside it, where every key has a tone of SECONDS and a red picture.
install_copy() {
    mkdir -p "$2/IMG"
    cp "$1" "$2/quilloro"
    sox -n -r 22050 -c 1 -b 16 "$session_dir/tone.wav" synth "$3" sine 660 vol 0.5
    convert -size 120x90 xc:red "$session_dir/red.jpg"
    local key
    for key in {0..9} {a..z}; do
        cp "$session_dir/tone.wav" "$2/IMG/$key.wav"
        cp "$session_dir/red.jpg" "$2/IMG/$key.jpg"
    done
}

# Starts Xvfb on the first free display, its screen 1024 x 768 unless
# E2E_SCREEN says otherwise, and exports DISPLAY. Without
# -noreset, Xvfb resets whenever its last client leaves, and refuses a client
# that connects meanwhile: a program starting slowly (under Valgrind) while
# xdotool polls for its window met exactly that, and ended with "no display".
start_display() {
    Xvfb -displayfd 3 -screen 0 "${E2E_SCREEN:-1024x768x24}" -nolisten tcp -noreset 3>"$session_dir/display" >/dev/null 2>&1 &
    session_pids+=($!)
    wait_for "$wait_seconds" test -s "$session_dir/display"
    export DISPLAY=":$(cat "$session_dir/display")"
    xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start" >&2; return 1; }
}

# start_sound [COMMAND...]: starts the session's sound server, by default
# PulseAudio with one null sink, "e2e", points clients at it and waits for it.
# "${bare_pulse[@]}" is PulseAudio without any device.
bare_pulse=(pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --system=false
    -L module-native-protocol-unix)
start_sound() {
    export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse" HOME="$session_dir/home"
    mkdir -p "$HOME"
    export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
    [ $# -gt 0 ] || set -- "${bare_pulse[@]}" -L 'module-null-sink sink_name=e2e'
    "${system_data[@]}" "$@" >>"$session_dir/sound.log" 2>&1 &
    sound_pid=$!
    session_pids+=($sound_pid)
    wait_for "$wait_seconds" eval 'pactl info >/dev/null 2>&1' && return 0
    echo "the sound server did not start" >&2
    tail -20 "$session_dir/sound.log" >&2
    return 1
}

stop_sound() { end_process "$sound_pid" "${1:-TERM}"; }

# start_pipewire: PipeWire and its session manager, on a session bus of their
# own, with no output device; start_sound pipewire-pulse then starts the
# PulseAudio service that the program talks to.
start_pipewire() {
    start_bus "${system_data[@]}"
    "${system_data[@]}" pipewire >>"$session_dir/sound.log" 2>&1 &
    session_pids+=($!)
    wait_for "$wait_seconds" test -S "$XDG_RUNTIME_DIR/pipewire-0"
    wireplumber_config "$session_dir/config"
    XDG_CONFIG_HOME="$session_dir/config" "${system_data[@]}" wireplumber >>"$session_dir/sound.log" 2>&1 &
    session_manager=$!
    session_pids+=($session_manager)
    wait_for "$wait_seconds" session_manager_ready && kill -0 "$session_manager" 2>/dev/null ||
        setup_failed "WirePlumber did not make PipeWire's default metadata"
}

# setup_failed WHAT: the session's sound server could not be set up; says
# what and why (the servers' log), and ends the test.
setup_failed() {
    echo "FAIL: $1"
    tail -20 "$session_dir/sound.log" | sed 's/^/sound.log: /'
    exit 1
}

# wireplumber_config FOLDER: a WirePlumber configuration in FOLDER/wireplumber
# for XDG_CONFIG_HOME, read beside the packaged one, that watches no ALSA,
# Bluetooth or camera devices and no seats: the test's outputs are its own
# null sinks, never the machine's sound cards. Bluetooth brings seat
# monitoring through logind, and in a container or chroot without logind
# WirePlumber 0.4 then disconnects from PipeWire. WirePlumber 0.4 reads the Lua
# fragments (in name order across folders: after the packaged 50-*-config.lua,
# before 90-enable-all.lua), 0.5 the SPA-JSON one.
wireplumber_config() {
    local dir=$1/wireplumber
    mkdir -p "$dir/main.lua.d" "$dir/bluetooth.lua.d" "$dir/wireplumber.conf.d"
    printf '%s\n' 'alsa_monitor.enabled = false' 'v4l2_monitor.enabled = false' 'libcamera_monitor.enabled = false' \
        >"$dir/main.lua.d/60-e2e.lua"
    echo 'bluez_monitor.enabled = false' >"$dir/bluetooth.lua.d/60-e2e.lua"
    cat >"$dir/wireplumber.conf.d/60-e2e.conf" <<'EOF'
wireplumber.profiles = {
  main = {
    monitor.alsa = disabled
    monitor.alsa-midi = disabled
    monitor.bluez = disabled
    monitor.bluez-midi = disabled
    monitor.v4l2 = disabled
    monitor.libcamera = disabled
    monitor.bluez.seat-monitoring = disabled
    support.logind = disabled
  }
}
EOF
}

# The session manager is ready once it has made the "default" metadata, which
# keeps the defaults: until then pipewire-pulse refuses set-default-sink
# ("Not supported"). One that ended is waited for no longer.
session_manager_ready() {
    kill -0 "$session_manager" 2>/dev/null || return 0
    pw-metadata -n default 2>/dev/null | grep -q 'metadata'
}

# set_default sink|source NAME: makes NAME the default output or input, and
# waits until the server says so: PipeWire's session manager applies it a
# moment after pipewire-pulse accepts it, and the program's next stream goes
# to the default the server names.
set_default() {
    wait_for "$wait_seconds" default_is "$1" "$2" ||
        setup_failed "$2 could not be made the default $1: $(pactl "set-default-$1" "$2" 2>&1 &&
            echo "the server still names $(pactl "get-default-$1" 2>&1)")"
}
default_is() { pactl "set-default-$1" "$2" 2>/dev/null && [ "$(pactl "get-default-$1")" = "$2" ]; }

# add_sink NAME: a null sink, made the default output; sets sink_module.
add_sink() {
    sink_module=$(pactl load-module module-null-sink "sink_name=$1")
    wait_for "$wait_seconds" eval "pactl list short sinks | grep -qw $1"
    set_default sink "$1"
}

# The program's stream as the server lists it: "INDEX CORKED" (yes or no),
# or nothing. PipeWire knows the stream by another number, its object.id.
our_stream() {
    local index=index_
    [ "${server:-}" = pipewire ] && index=id
    pactl list sink-inputs | awk '
        /^Sink Input #/ { index_ = substr($3, 2); id = "" }
        /object.id = / { id = $3; gsub(/"/, "", id) }
        /Corked:/ { corked = $2 }
        /application.name = "Quilloro"/ { found = 1 }
        found && /^$/ { exit }
        END { if (found) print '"$index"', corked }'
}
quiet_stream() { [ "$(our_stream | cut -d' ' -f2)" != no ]; }

# start_bus [env SETTING...]: a private session bus, pointed at by
# DBUS_SESSION_BUS_ADDRESS; stop_bus ends it.
start_bus() {
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$session_dir/bus"
    "$@" dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" >>"$session_dir/bus.log" 2>&1 &
    bus_pid=$!
    session_pids+=($bus_pid)
    wait_for "$wait_seconds" test -S "$session_dir/bus"
}
stop_bus() {
    end_process "$bus_pid"
    rm -f "$session_dir/bus"
}

# record_start FILE / record_stop: what reaches the null sink ($listen, e2e
# unless a mode says otherwise), as 16-bit mono at 22050 Hz.
listen=e2e
record_start() {
    rm -f "$1"
    parec -d "$listen.monitor" --raw --format=s16le --rate=22050 --channels=1 --latency-msec=10 >"$1" &
    record_pid=$!
    # The monitor delivers silence while nothing plays, so recording has
    # begun once the file grows. That may take two seconds: an idle null sink
    # renders in long blocks, and the first one must end.
    wait_for "$wait_seconds" test -s "$1"
}
record_stop() {
    sleep 0.1
    end_process "$record_pid"
}

# loud_seconds FILE [BYTES]: for how long a recording made by record_start
# (or its last BYTES) is louder than -26 dBFS. A count of loud samples, unlike
# a level over the whole file, does not depend on how long the file is.
loud_seconds() {
    if [ -n "${2:-}" ]; then tail -c "$2" "$1"; else cat "$1"; fi |
        od -An -v -t d2 -w2 | awk '$1 > 1638 || $1 < -1638 { n++ } END { printf "%.3f\n", n / 22050 }'
}
# pitch_of FILE: the pitch, in Hz, of a recording made by record_start, or of
# a WAV of 16-bit mono at 22050 Hz (0 when nothing is heard): from the median
# length of the loud periods (upward zero crossing to upward zero crossing),
# which a gap or a tenth of a second of clicks (buffers late on a busy
# machine) does not move; sox's estimate over the whole recording moved 12 %.
pitch_of() {
    local header=0
    # (A raw recording may begin with silence, zero bytes, which bash would
    # warn of in a command substitution.)
    [ "$(head -c 4 "$1" | tr -d "\0")" != RIFF ] || header=44
    od -An -v -t d2 -w2 -j "$header" "$1" | awk '
        { x = $1; if (x > peak) peak = x }
        prev < 0 && x >= 0 {
            at = NR - 1 - prev / (x - prev)
            if (last && peak > 1638) print at - last
            last = at; peak = 0
        }
        { prev = x }' | sort -n |
        awk '{ period[NR] = $1 } END { print (NR > 20 ? int(22050 / period[int((NR + 1) / 2)] + 0.5) : 0) }'
}
# A tenth of a second is heard; the end of a recording is a fifth of a second quiet.
heard_in() { above "$(loud_seconds "$1")" 0.1; }
quiet_end() { [ "$(loud_seconds "$1" 8820)" = 0.000 ]; }

# window_named TITLE [SECONDS]: waits for a window whose title matches, and prints its id.
# Under a window manager, only a window it manages (WM_STATE) counts: mutter
# 48 draws its frames in windows of their own that carry the title too.
first_window() {
    local id
    for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
        if [ -z "${window_manager:-}" ] || xprop -id "$id" WM_STATE 2>/dev/null | grep -q 'window state'; then
            echo "$id"
            return 0
        fi
    done
    return 1
}
window_named() { wait_for "${2:-$wait_seconds}" first_window "$1"; }
no_window_named() { ! first_window "$1" >/dev/null; }

# wait_exit PID: waits for the program to end, for at most wait_seconds, and
# sets exit_status to its status, or "timeout".
wait_exit() {
    [ "$1" != "$watched" ] || watch
    exit_status=timeout
    wait_for "$wait_seconds" eval "! kill -0 $1 2>/dev/null" || return 0
    wait "$1" 2>/dev/null && exit_status=0 || exit_status=$?
}

# The whole window: with a window manager its frame too, the window's parent.
frame_of() { xwininfo -children -id "$1" | awk '/Parent window id:/ { print $4 }'; }
# geometry ID: "X Y WIDTH HEIGHT" of a window on the screen.
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
                             /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }'
}
# centred ID: the window's middle within 40 pixels of the screen's.
centred() {
    read -r x y w h <<<"$(geometry "$1")"
    awk -v cx=$((x + w / 2)) -v cy=$((y + h / 2)) 'BEGIN { exit !((cx - 512) ^ 2 <= 1600 && (cy - 384) ^ 2 <= 1600) }'
}
# decorated: the window in $win has a frame drawn by its window manager.
decorated() { xprop -id "$win" _NET_FRAME_EXTENTS | awk -F'[=,]' '{ exit !($4 + 0 > 0) }'; }

# Mean brightness (0 to 1) of a rectangle of a window: window_mean ID W H X Y.
# (import waits for a click on some window when the window is gone: a
# program that died fails the test first.)
window_mean() {
    program_died
    import -window "$1" "$session_dir/shot.png" 2>/dev/null
    convert "$session_dir/shot.png" -crop "$2x$3+$4+$5" +repage -format '%[fx:mean]' info:
}

# start_program COMMAND...: starts the program (COMMAND ends with its path),
# its standard error added to $session_dir/stderr, and waits for its window:
# sets app (its process), win (the window) and top (where the client area
# begins under the menu bar).
start_program() {
    "$@" 2>>"$session_dir/stderr" &
    app=$!
    session_pids+=($app)
    if ! win=$(window_named '^Quilloro - '); then
        still_running && echo "FAIL: the window never appeared" ||
            echo "FAIL: the program ended without a window"
        sed 's/^/stderr: /' "$session_dir/stderr" | tail -20
        exit 1
    fi
    watch "$app"
    focus_window "$win" || { echo "FAIL: the window never got the keyboard"; exit 1; }
    top=$(($(xwininfo -id "$win" | awk '/Height:/ { print $2 }') - 554))
}
still_running() { kill -0 "$app" 2>/dev/null; }

# answer_box TITLE: the box with that title opened; answers it, and it closed.
answer_box() {
    local box
    box=$(window_named "^$1\$") || return 1
    focus_window "$box" && xdotool key Return
    wait_for "$wait_seconds" no_window_named "^$1\$"
}

# quit_program: Escape, the farewell box answered, and the program ended with
# status 0. One that does not end is stopped.
quit_program() {
    focus_window "$win" && xdotool key Escape
    check "Escape opens the farewell box" answer_box 'A presto da Ferlandi'
    wait_exit "$app"
    check "the program ends with status 0 after the farewell (got $exit_status)" test "$exit_status" = 0
    [ "$exit_status" != timeout ] || kill "$app" 2>/dev/null || true
}

# no_stderr: the program said nothing on standard error (a mode's last check).
no_stderr() {
    check "nothing on standard error" test ! -s "$session_dir/stderr"
    sed 's/^/stderr: /' "$session_dir/stderr" | head -20
}

# What a key does, judged on the window in $win (its client area $top pixels
# down) and on the null sink. Each waits for the program, never for a fixed time.

# type_keys KEY...: the keys pressed, by xdotool on the session's X server; a
# mode that types otherwise (through a Wayland compositor) defines its own.
type_keys() { xdotool key "$@"; }

# press_heard KEY: presses it and reports whether a recording was heard. It
# then waits for the recording to end, so that the next press is judged alone.
press_heard() {
    local file="$session_dir/press.raw" heard=0
    record_start "$file" || return 1
    type_keys "$1"
    wait_for 10 heard_in "$file" && heard=1
    [ "$heard" = 1 ] && wait_for "$wait_seconds" quiet_end "$file"
    record_stop
    [ "$heard" = 1 ]
}

# press_silent KEY: presses it and reports whether nothing was heard for a
# second after the window showed the key.
press_silent() {
    local file="$session_dir/press.raw" before
    before=$(window_sum)
    record_start "$file" || return 1
    type_keys "$1"
    wait_for "$wait_seconds" window_changed "$before" || { record_stop; return 1; }
    sleep 1
    record_stop
    [ "$(stat -c %s "$file")" -ge 44100 ] && ! above "$(loud_seconds "$file")" 0.01
}
window_sum() {
    program_died
    import -window "$win" -depth 8 rgb:- 2>/dev/null | md5sum
}
window_changed() { program_died && [ "$(window_sum)" != "$1" ]; }

# ten_keys: ten keys a second apart, each judged by the mode's seen_and_heard.
ten_keys() {
    local key seen=0
    for key in a b c d e f g h i j; do
        sleep 1
        seen_and_heard "$key" && seen=$((seen + 1))
    done
    check "ten keys a second apart, each heard and seen with its picture ($seen of 10)" test "$seen" -eq 10
}

# The picture's place in the window is lit (the pictures of install_copy are red).
picture_shown() { wait_for "$wait_seconds" picture_now; }
picture_now() { program_died && above "$(window_mean "$win" 50 50 20 $((top + 310)))" 0.2; }

# playing KEY [SECONDS]: presses KEY and records until its recording is heard,
# and SECONDS more; fails when nothing is heard.
playing() {
    local heard=0
    record_start "$session_dir/playing.raw"
    type_keys "$1"
    wait_for 10 heard_in "$session_dir/playing.raw" && heard=1
    sleep "${2:-0}"
    record_stop
    [ "$heard" = 1 ]
}

# cut_by_next_key: while a long recording plays (from playing), the key s,
# whose recording is pure silence: once the window shows s, the long one
# must be gone.
cut_by_next_key() {
    local before after="$session_dir/after-cut.raw"
    before=$(window_sum)
    type_keys s
    wait_for "$wait_seconds" window_changed "$before" || true
    record_start "$after"
    sleep 0.5
    record_stop
    check "a new key cuts the recording still playing ($(loud_seconds "$after") s of it after)" \
        eval '! above "$(loud_seconds "$after")" 0.05'
}

# wake_ups SECONDS: how often the program's threads woke in that time:
# "WINDOW OTHERS", the window's thread and all the others. Each wake-up ends
# in a voluntary context switch; a blinking caret alone makes ten in five
# seconds.
wake_ups() {
    local before
    before=$(woken)
    sleep "$1"
    join <(echo "$before") <(woken) | awk -v main="$app" '{ n[$1 == main] += $3 - $2 } END { print n[1] + 0, n[0] + 0 }'
}
# woken: "THREAD WAKE-UPS" a line for each of the program's threads, by id.
woken() {
    local task
    for task in /proc/"$app"/task/*; do
        echo "${task##*/} $(awk '/^voluntary_ctxt_switches:/ { print $2 }' "$task/status" 2>/dev/null)"
    done | sort
}

# No box is open: the program shows one window only.
no_box() { [ "$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | wc -l)" -le 1 ]; }
# alive WHAT KEY: KEY pressed, the window shows it, the program is still
# running, shows the key's picture and opened no box.
alive() {
    local before
    before=$(window_sum)
    type_keys "$2"
    check "$1: '$2' shown, still running" eval 'wait_for "$wait_seconds" window_changed "$before" && still_running'
    check "$1: '$2' shows its picture, no box" eval 'picture_shown && no_box'
}

# interrupted WHAT BREAK MEND KEY...: BREAK (a command) while the long
# recording l plays, then while quiet; each time the lesson goes on through a
# key pressed meanwhile, and once MEND is done, the next key is heard. Four
# keys, two for each time.
interrupted() {
    local when keys=("${@:4}")
    check "$1: a recording plays before" playing l
    for when in mid-recording "while quiet"; do
        [ "$when" = mid-recording ] || wait_for "$wait_seconds" quiet_stream || true
        eval "$2"
        alive "$1 $when" "${keys[0]}"
        eval "$3"
        check "$1 $when: then the next key is heard" press_heard "${keys[1]}"
        keys=("${keys[@]:2}")
    done
}

# The recorder for grown-ups (modes recorder and windows_recorder). Its
# sentences go to $log, as it also says them on standard error.

# start_recorder [COMMAND...]: starts it ($recorder by default) and waits for
# its window: sets rec (its process) and rwin (the window).
start_recorder() {
    [ $# -gt 0 ] || set -- "$recorder"
    "$@" 2>>"$log" &
    rec=$!
    session_pids+=($rec)
    rwin=$(window_named 'voci e figure') || { echo "FAIL: the recorder's window never appeared"; cat "$log"; exit 1; }
    watch "$rec"
    focus_window "$rwin"
}
recorder_running() { kill -0 "$rec" 2>/dev/null; }
stop_recorder() { watch; kill "$rec"; wait "$rec" 2>/dev/null || true; }
# said TEXT: the recorder said it.
said() { wait_for "$wait_seconds" grep -qF -- "$1" "$log"; }
# rkey KEY...: keys typed into the recorder's window; rkey_anew the same
# after what the recorder said so far is forgotten.
rkey() { focus_window "$rwin" && xdotool key "$@"; }
rkey_anew() { : >"$log"; rkey "$@"; }
# A program's capture stream; a remapped source's own (no client) is none.
capturing() { pactl list short source-outputs | awk '$3 != "-" { found = 1 } END { exit !found }'; }

# record SOUND_FILE: Space, the file played into the microphone (the null
# sink $voice_sink, whose monitor the microphone hears), Space.
voice_sink=mic
record() {
    : >"$log"
    rkey space
    said "Sto registrando" && wait_for "$wait_seconds" capturing || return 1
    paplay -d "$voice_sink" "$1"
    rkey space
}

# take_figures FILE: "peak_dB onset_ms tail_ms voiced_rms_dB seconds" of a
# 16-bit mono WAV at 22050 Hz; loud is at least 0.3 of the peak, the voiced
# level is over the 20 ms frames within 30 dB of the loudest.
take_figures() {
    tail -c +45 "$1" | od -An -v -t d2 -w2 | awk -v rate=22050 '
        { x[n++] = $1; a = $1 < 0 ? -$1 : $1; if (a > peak) peak = a }
        END {
            for (i = 0; i < n; i++) { a = x[i] < 0 ? -x[i] : x[i]; if (a >= 0.3 * peak) { if (first == "") first = i; last = i } }
            f = 441
            for (s = 0; s + f <= n; s += f) {
                sum = 0; for (i = s; i < s + f; i++) sum += x[i] * x[i]
                r[k++] = sqrt(sum / f); if (r[k - 1] > m) m = r[k - 1]
            }
            sum = 0; c = 0
            for (j = 0; j < k; j++) if (r[j] >= m * 10 ^ (-30 / 20)) { sum += r[j] ^ 2; c++ }
            printf "%.2f %.1f %.1f %.2f %.3f\n", 20 * log(peak / 32768) / log(10), first * 1000 / rate,
                   (n - 1 - last) * 1000 / rate, 20 * log(sqrt(sum / c) / 32768) / log(10), n / rate
        }'
}
between() { awk -v x="$1" -v a="$2" -v b="$3" 'BEGIN { exit !(x >= a && x <= b) }'; }

# Under Wine (modes windows*): start_wine makes a new Wine prefix of the
# session's own, with no Mono or Gecko to offer installing and no menu
# entries made on this machine, and ends its programs when the script exits;
# sets drive, folder and menu.
start_wine() {
    export WINEPREFIX="$session_dir/wine" WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    trap 'wine_cleanup; session_cleanup' EXIT
    wait_seconds=60 # Wine starts programs slowly on a busy machine
    echo "--- a new Wine prefix"
    wine wineboot -i >>"$session_dir/wine.log" 2>&1
    wineserver -w
    # Where the installer puts the programs and their Start menu entries.
    drive=$WINEPREFIX/drive_c
    folder="$drive/Program Files/Quilloro"
    menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Quilloro"
}
wine_cleanup() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}

# has_program_icon WINDOW: the window's icon is the program's, by its colour
# ("R G B", 0 to 1, weighted by opacity): Wine gives a window its own grey
# icon where Qt finds none in the program (as IDI_ICON1).
icon_colour() {
    xprop -id "$1" -notype -f _NET_WM_ICON 32c _NET_WM_ICON 2>/dev/null | sed 's/^[^=]*= //' | tr ',' '\n' | awk '
        NR == 1 { w = $1 } NR == 2 { h = $1 }
        NR > 2 && NR <= 2 + w * h { v = $1 + 0; a = int(v / 16777216); r += int(v / 65536) % 256 * a
                                    g += int(v / 256) % 256 * a; b += v % 256 * a; t += a }
        END { if (t) printf "%.2f %.2f %.2f\n", r / t / 255, g / t / 255, b / t / 255 }'
}
has_program_icon() {
    convert "$here/../../window/icons/quilloro-48.png" -format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]' info: |
        awk -v a="$(icon_colour "$1")" '{ split(a, x, " ")
            for (i = 1; i <= 3; i++) if (x[i] == "" || (x[i] - $i) ^ 2 > 0.06 ^ 2) exit 1 }'
}

# remapped_microphone: the default microphone is a source of its own, "mic",
# remapped from the monitor of a null sink, "voice" (what plays into "voice"
# is heard), so that it can be taken away; its module is $mic_module.
remapped_microphone() {
    pactl load-module module-null-sink sink_name=voice >/dev/null &&
        mic_module=$(pactl load-module module-remap-source master=voice.monitor source_name=mic) &&
        set_default source mic || setup_failed "no microphone made"
}
