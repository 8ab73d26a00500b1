# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the end-to-end tests: a private X server and a private PulseAudio
# server with a null sink, both stopped when the calling script exits.

session_dir=$(mktemp -d /tmp/quilloro-e2e.XXXXXX)
session_pids=()

session_cleanup() {
    # Newest first: the program before the servers it is connected to.
    local i pid
    for ((i = ${#session_pids[@]} - 1; i >= 0; i--)); do
        pid=${session_pids[i]}
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$session_dir"
}
trap session_cleanup EXIT

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

# Starts Xvfb on the first free display and exports DISPLAY.
start_display() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$session_dir/display" >/dev/null 2>&1 &
    session_pids+=($!)
    local i
    for i in $(seq 100); do
        [ -s "$session_dir/display" ] && break
        sleep 0.05
    done
    export DISPLAY=":$(cat "$session_dir/display")"
    xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start" >&2; return 1; }
}

# Starts PulseAudio with one null sink, "e2e", and points clients at it.
start_sound() {
    export XDG_RUNTIME_DIR="$session_dir/run" PULSE_RUNTIME_PATH="$session_dir/run/pulse" HOME="$session_dir/home"
    mkdir -p "$XDG_RUNTIME_DIR" "$HOME"
    chmod 700 "$XDG_RUNTIME_DIR"
    export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --system=false \
        -L 'module-null-sink sink_name=e2e' -L 'module-native-protocol-unix' >"$session_dir/pulse.log" 2>&1 &
    sound_pid=$!
    session_pids+=($sound_pid)
    local i
    for i in $(seq 100); do
        pactl info >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    echo "PulseAudio did not start" >&2
    cat "$session_dir/pulse.log" >&2
    return 1
}

stop_sound() {
    kill "$sound_pid" 2>/dev/null || true
    wait "$sound_pid" 2>/dev/null || true
}

# record_start FILE / record_stop: what reaches the null sink, as 16-bit mono at 22050 Hz.
record_start() {
    parec -d e2e.monitor --raw --format=s16le --rate=22050 --channels=1 --latency-msec=10 >"$1" &
    record_pid=$!
    # The monitor delivers silence while nothing plays, so recording has
    # begun once the file grows.
    local i
    for i in $(seq 100); do
        [ -s "$1" ] && return 0
        sleep 0.02
    done
}
record_stop() {
    sleep 0.1
    kill "$record_pid" 2>/dev/null || true
    wait "$record_pid" 2>/dev/null || true
}

# RMS level of a recording made by record_start, from 0 to 1.
rms_of() {
    sox -t raw -r 22050 -e signed -b 16 -c 1 "$1" -n stat 2>&1 | awk '/RMS +amplitude/ { print $3 }'
}

# Waits for a window whose title matches, and prints its id.
window_named() {
    local id i
    for i in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.05
    done
    return 1
}

# Mean brightness (0 to 1) of a rectangle of a window: window_mean ID W H X Y.
window_mean() {
    import -window "$1" "$session_dir/shot.png" 2>/dev/null
    convert "$session_dir/shot.png" -crop "$2x$3+$4+$5" +repage -format '%[fx:mean]' info:
}
