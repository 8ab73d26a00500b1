#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real program while the sound server around it changes: no output
# device, a device unplugged, a stream killed from a mixer, the server killed
# and started again, the default output changed; and what a listener hears:
# a new key cuts the old recording, a replaced file is heard, each sample rate
# at its pitch, the stream corked when quiet.
#
#   sound.sh PROGRAM [pulseaudio|pipewire] [SCENARIO...]   (all scenarios when none is named)
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
source "$here/session.sh"
program=$(readlink -f "$1")
server=${2:-pulseaudio}
scenarios=("${@:3}")

if [ "$server" = pipewire ] && ! command -v pipewire-pulse >/dev/null; then
    echo "PipeWire is not installed (packages pipewire, pipewire-pulse, wireplumber): skipped"
    exit 77
fi

# --- The sound server, started without any output device.
server_pids=()
start_server() {
    export XDG_RUNTIME_DIR="$session_dir/run" PULSE_RUNTIME_PATH="$session_dir/run/pulse" HOME="$session_dir/home"
    mkdir -p "$XDG_RUNTIME_DIR" "$HOME"
    chmod 700 "$XDG_RUNTIME_DIR"
    export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
    if [ "$server" = pipewire ]; then
        # PipeWire itself and its session manager stay; only its PulseAudio
        # service is the server the program talks to.
        if [ ${#server_pids[@]} -eq 0 ]; then
            # The session manager needs a session bus.
            export DBUS_SESSION_BUS_ADDRESS="unix:path=$session_dir/bus"
            dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" >>"$session_dir/server.log" 2>&1 &
            server_pids+=($!); session_pids+=($!)
            sleep 0.3
            pipewire >>"$session_dir/server.log" 2>&1 &
            server_pids+=($!); session_pids+=($!)
            sleep 0.3
            wireplumber >>"$session_dir/server.log" 2>&1 &
            server_pids+=($!); session_pids+=($!)
        fi
        pipewire-pulse >>"$session_dir/server.log" 2>&1 &
    else
        pulseaudio -n --daemonize=no --exit-idle-time=-1 --system=false \
            -L module-native-protocol-unix >>"$session_dir/server.log" 2>&1 &
    fi
    sound_pid=$!
    session_pids+=($sound_pid)
    local i
    for i in $(seq 400); do
        pactl info >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    echo "the sound server did not start" >&2
    tail -20 "$session_dir/server.log" >&2
    return 1
}

kill_server() {
    kill -KILL "$sound_pid" 2>/dev/null || true
    wait "$sound_pid" 2>/dev/null || true
}

# add_sink NAME: a null sink, made the default; sets sink_module.
add_sink() {
    sink_module=$(pactl load-module module-null-sink "sink_name=$1")
    local i
    for i in $(seq 200); do
        pactl list short sinks | grep -qw "$1" && break
        sleep 0.05
    done
    pactl set-default-sink "$1"
}

# The program's stream, as the server lists it: its index, and whether corked.
# (PipeWire knows it by another number, its object.id.)
our_stream() {
    local index_field='index_'
    [ "$server" = pipewire ] && index_field='id'
    pactl list sink-inputs | awk '
        /^Sink Input #/ { index_ = substr($3, 2); id = "" }
        /object.id = / { id = $3; gsub(/"/, "", id) }
        /Corked:/ { corked = $2 }
        /application.name = "Quilloro"/ { found = 1 }
        found && /^$/ { exit }
        END { if (found) print '"$index_field"', corked }'
}

# kill_stream INDEX: ends a playback stream as a volume mixer can.
kill_stream() {
    if [ "$server" = pipewire ]; then
        pw-cli destroy "$1" >/dev/null
    else
        pactl list short modules | grep -q module-cli-protocol-unix || pactl load-module module-cli-protocol-unix >/dev/null
        pacmd kill-sink-input "$1"
    fi
}

# --- Listening: what reaches the monitor of the sink named in $listen.
listen=e2e
record_from() {
    parec -d "$listen.monitor" --raw --format=s16le --rate=22050 --channels=1 --latency-msec=10 >"$1" &
    record_pid=$!
    local i
    for i in $(seq 200); do
        [ -s "$1" ] && return 0
        sleep 0.02
    done
}

# press_heard KEY [SECONDS]: presses it, records SECONDS (0.6), and says whether it was heard.
press_heard() {
    record_from "$session_dir/press.raw"
    xdotool key "$1"
    sleep "${2:-0.6}"
    record_stop
    local rms
    rms=$(rms_of "$session_dir/press.raw")
    above "$rms" 0.02 || { echo "      ($1: RMS $rms, stream: $(our_stream))"; return 1; }
}
press_silent() { ! press_heard "$@"; }

# Rough pitch of a recording, in Hz.
pitch_of() {
    sox -t raw -r 22050 -e signed -b 16 -c 1 "$1" -n stat 2>&1 | awk '/Rough +frequency/ { print $3 }'
}
# press_pitch KEY: the pitch heard when it is pressed.
press_pitch() {
    record_from "$session_dir/pitch.raw"
    xdotool key "$1"
    sleep 0.5
    record_stop
    pitch_of "$session_dir/pitch.raw"
}
near() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b * 0.9 && a < b * 1.1) }'; }

start_program() {
    "$program" 2>>"$session_dir/stderr" &
    app=$!
    session_pids+=($app)
    win=$(window_named '^Quilloro - ') || return 1
    xdotool windowfocus --sync "$win"
    top=$(($(xwininfo -id "$win" | awk '/Height:/ { print $2 }') - 554))
}
quit_program() {
    local box status=timeout i
    xdotool key Escape
    box=$(window_named '^A presto da Ferlandi$') && xdotool windowfocus --sync "$box" key Return
    for i in $(seq 200); do
        if ! kill -0 "$app" 2>/dev/null; then
            wait "$app" && status=0 || status=$?
            break
        fi
        sleep 0.05
    done
    [ "$status" = timeout ] && kill -KILL "$app" 2>/dev/null
    check "$1: the program ends with status 0 (got $status)" test "$status" = 0
}
still_running() { kill -0 "$app" 2>/dev/null; }
picture_shown() { above "$(window_mean "$win" 50 50 20 $((top + 310)))" 0.2; }
# No window but the program's own: no box opened.
no_box() { [ "$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | wc -l)" -le 1 ]; }
# alive WHAT: the program still runs, shows the last key's picture and opened no box.
alive() {
    check "$1: still running" still_running
    check "$1: picture shown, no box" eval 'picture_shown && no_box'
}

# --- The media: every key a short tone; some keys made for one check each.
install_copy "$program" "$session_dir/app" 0.3
program="$session_dir/app/quilloro"
img="$session_dir/app/IMG"
sox -n -r 22050 -c 1 -b 16 "$img/l.wav" synth 4 sine 660 vol 0.5   # long
sox -n -r 22050 -c 1 -b 16 "$img/s.wav" synth 0.5 sine 660 vol 0    # silence
for rate in 8000 22050 44100; do
    sox -n -r "$rate" -c 1 -b 16 "$img/${rate:0:1}.wav" synth 0.6 sine 440 vol 0.5
done

# A floating-point recording with the extensible header, as audio editors
# and ffmpeg write them: a 660 Hz tone at half of full scale.
le() { local value=$1 bytes=$2 i; for ((i = 0; i < bytes; i++)); do printf '\\x%02x' $(((value >> (8 * i)) & 255)); done; }
sox -n -r 22050 -c 1 -t f32 "$session_dir/float.raw" synth 0.6 sine 660 vol 0.5
size=$(stat -c %s "$session_dir/float.raw")
{
    printf 'RIFF%bWAVEfmt %b' "$(le $((4 + 8 + 40 + 8 + size)) 4)" "$(le 40 4)"
    printf '%b' "$(le 0xFFFE 2)$(le 1 2)$(le 22050 4)$(le $((22050 * 4)) 4)$(le 4 2)$(le 32 2)$(le 22 2)$(le 32 2)$(le 4 4)"
    printf '%b' '\x03\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71'
    printf 'data%b' "$(le "$size" 4)"
    cat "$session_dir/float.raw"
} >"$img/x.wav"

# Each scenario starts the program on a server with the sink e2e as its
# default output, and leaves it so.

no_device_at_start() {
    pactl unload-module "$sink_module"
    start_program || { check "no output device at start: the window opens" false; return; }
    sleep 1
    xdotool key a
    sleep 0.5
    alive "no output device at start"
    add_sink e2e
    check "no output device at start: once one appears, the next key is heard" press_heard b
}

listening() {
    start_program || return
    local stream pitch rate
    sleep 0.5
    stream=$(our_stream)
    check "before any key: the stream is corked or gone (${stream:-gone})" test "${stream#* }" != no
    record_from "$session_dir/cut.raw"
    xdotool key l
    sleep 0.5
    xdotool key s # pure silence: the long tone must stop at once
    sleep 0.1
    record_stop
    record_from "$session_dir/after-cut.raw"
    sleep 0.5
    record_stop
    check "a new key cuts the recording still playing" \
        eval 'above "$(rms_of "$session_dir/cut.raw")" 0.02 && ! above "$(rms_of "$session_dir/after-cut.raw")" 0.002'
    check "a floating-point recording is heard at its level" eval 'press_heard x && above "$(rms_of "$session_dir/press.raw")" 0.2'
    cp "$img/s.wav" "$img/r.wav"
    check "replaced recording: silent before" press_silent r
    sox -n -r 22050 -c 1 -b 16 "$img/r.wav" synth 0.5 sine 660 vol 0.5
    check "replaced recording: heard at the next press" press_heard r
    for rate in 8000 22050 44100; do
        pitch=$(press_pitch "${rate:0:1}")
        check "recording at $rate Hz plays at its pitch (440 Hz, heard $pitch Hz)" near "$pitch" 440
    done
    sleep 1
    stream=$(our_stream)
    check "quiet after playing: the stream is corked or gone (${stream:-gone})" test "${stream#* }" != no
}

device_removed() {
    start_program || return
    xdotool key l
    sleep 0.3
    pactl unload-module "$sink_module"
    sleep 0.5
    xdotool key c
    sleep 0.3
    alive "device removed mid-recording"
    add_sink e2e
    check "device removed mid-recording: when one is back, the next key is heard" press_heard d
    sleep 1
    pactl unload-module "$sink_module"
    sleep 0.5
    xdotool key e
    sleep 0.3
    alive "device removed while quiet"
    add_sink e2e
    check "device removed while quiet: when one is back, the next key is heard" press_heard f
}

stream_killed() {
    start_program || return
    local stream
    xdotool key l
    sleep 0.3
    stream=$(our_stream)
    [ -n "$stream" ] && kill_stream "${stream%% *}"
    sleep 0.3
    alive "stream killed mid-recording"
    check "stream killed mid-recording: the next key is heard" press_heard g
    sleep 1
    stream=$(our_stream)
    [ -n "$stream" ] && kill_stream "${stream%% *}"
    sleep 0.3
    alive "stream killed while quiet"
    check "stream killed while quiet: the next key is heard" press_heard h
}

default_changed() {
    start_program || return
    local first=$sink_module
    xdotool key l
    sleep 0.3
    add_sink other
    sleep 0.3
    alive "default output changed mid-recording"
    listen=other
    check "default output changed: the next key plays on the new default" press_heard i
    listen=e2e
    pactl set-default-sink e2e
    pactl unload-module "$sink_module"
    sink_module=$first
}

server_killed() {
    start_program || return
    xdotool key l
    sleep 0.3
    kill_server
    local key
    for key in m n o; do xdotool key "$key"; sleep 0.1; done
    alive "server killed"
    start_server
    add_sink e2e
    sleep 0.3
    check "server back: the very first key is heard" press_heard p 1.0
    check "server back: and the next one" press_heard q
    sleep 1
    kill_server
    start_server
    add_sink e2e
    check "server killed while quiet and back: the very first key is heard" press_heard r 1.0
}

: >"$session_dir/stderr"
start_display
start_server
add_sink e2e
[ ${#scenarios[@]} -gt 0 ] || scenarios=(no_device_at_start listening device_removed stream_killed default_changed server_killed)
for scenario in "${scenarios[@]}"; do
    echo "--- $scenario ($server)"
    "$scenario"
    quit_program "$scenario"
done
check "nothing on standard error" test ! -s "$session_dir/stderr"
[ -s "$session_dir/stderr" ] && sed 's/^/stderr: /' "$session_dir/stderr" | head -20

summary
