# SPDX-License-Identifier: GPL-3.0-or-later
# The program while the sound server around it changes: no server or no
# output device at start, a device unplugged, the stream killed from a mixer,
# the server killed and started again, the default output changed; and what
# a listener hears: a new key cuts the old recording, even what the server
# holds of it already, a replaced file is read again, each sample rate at its
# pitch, the stream corked when quiet. (The decoder's tests hear the formats.)
#
#   e2e.sh PROGRAM sound [pulseaudio|pipewire] [SCENARIO...]   (every scenario when none is named)

server=${mode_args[0]:-pulseaudio}
scenarios=("${mode_args[@]:1}")
if [ "$server" = pipewire ] && ! command -v pipewire-pulse >/dev/null; then
    echo "PipeWire is not installed (packages pipewire, pipewire-pulse, wireplumber): skipped"
    exit 77
fi

# --- The sound server, started without any output device, then given the
# null sink e2e as its default output. The session's own PulseAudio makes way
# for it.
stop_sound
pipewire_started=
start_server() {
    if [ "$server" = pipewire ]; then
        # PipeWire and its session manager stay; its PulseAudio service is
        # the server the program talks to.
        if [ -z "$pipewire_started" ]; then
            start_pipewire
            pipewire_started=1
        fi
        start_sound pipewire-pulse
    else
        # With a pid file, so that pacmd can reach it.
        start_sound "${bare_pulse[@]/--use-pid-file=no/--use-pid-file=yes}"
    fi
    add_sink e2e
}
kill_server() { stop_sound KILL; }

# kill_stream: ends the program's stream, as a volume mixer can.
kill_stream() {
    local stream
    stream=$(our_stream | cut -d' ' -f1)
    [ -n "$stream" ] || return 0
    if [ "$server" = pipewire ]; then
        pw-cli destroy "$stream" >/dev/null
    else
        pactl list short modules | grep -q module-cli-protocol-unix || pactl load-module module-cli-protocol-unix >/dev/null
        pacmd kill-sink-input "$stream"
    fi
}

# press_pitch KEY: the pitch, in Hz, heard when KEY is pressed.
press_pitch() { playing "$1" 0.3 && pitch_of "$session_dir/playing.raw"; }
# samples_heard KEY...: presses the keys at once and records until quiet;
# prints how many samples of a positive and of a negative level were heard.
samples_heard() {
    local file="$session_dir/samples.raw"
    wait_for "$wait_seconds" quiet_stream
    record_start "$file" || return 1
    xdotool key --delay 0 "$@"
    wait_for 10 eval 'above "$(loud_seconds "$file")" 0.05' && wait_for "$wait_seconds" quiet_end "$file"
    record_stop
    od -An -v -t d2 -w2 "$file" | awk '$1 > 1638 { p++ } $1 < -1638 { n++ } END { print p + 0, n + 0 }'
}

# --- The media: every key a short tone, a few keys made for one check each.
install_copy "$program" "$session_dir/app" 0.3
program="$session_dir/app/quilloro"
img="$session_dir/app/IMG"
sox -n -r 22050 -c 1 -b 16 "$img/l.wav" synth 6 sine 660 vol 0.5 # long
sox -n -r 22050 -c 1 -b 16 "$img/s.wav" synth 0.5 sine 660 vol 0 # pure silence
for rate in 8000 22050 44100; do
    sox -n -r "$rate" -c 1 -b 16 "$img/${rate:0:1}.wav" synth 0.6 sine 440 vol 0.5
done
# A recording short enough to be handed to the server whole at its key, at a
# constant positive level, and a longer one at a negative level: on the
# monitor, the sign of each sample says whose it is.
constant() { # constant FILE SAMPLES LEVEL-AS-TWO-BYTES
    printf "$3%.0s" $(seq "$2") | sox -D -t raw -r 22050 -e signed -b 16 -c 1 - "$1"
}
constant "$img/u.wav" 1764 '\x00\x40' # 0.08 s at 16384
constant "$img/v.wav" 6615 '\x00\xc0' # 0.3 s at -16384

# --- The scenarios. Each has the program on a server whose default output is
# the sink e2e (started for it, but for the no_* ones, which take something
# away first), and leaves the server so.

no_server_at_start() {
    kill_server
    start_program "$program"
    alive "no sound server at start" a
    start_server
    check "no sound server at start: once one runs, the very first key is heard" press_heard b
}

no_device_at_start() {
    pactl unload-module "$sink_module"
    start_program "$program"
    sleep 1 # the player has met the server by now, and found no output
    alive "no output device at start" a
    add_sink e2e
    check "no output device at start: once one appears, the next key is heard" press_heard b
}

listening() {
    wait_for "$wait_seconds" eval '[ -n "$(our_stream)" ]'
    check "before any key: the stream is corked" quiet_stream
    check "a long recording plays" playing l
    cut_by_next_key
    # The positive recording is handed to the server whole at its key: a new
    # key pressed at once must throw away what is not played yet instead of
    # waiting behind it. Tried up to three times, as a busy machine may hold
    # the program between the two keys; without the cut every try hears all.
    local alone both try
    alone=$(samples_heard u)
    for try in 1 2 3; do
        both=$(samples_heard u v)
        [ "${both% *}" -lt $((${alone% *} * 3 / 4)) ] && break
    done
    check "a new key throws away the queued recording (${both% *} of its ${alone% *} samples heard, then ${both#* } of the new)" \
        eval '[ "${both% *}" -lt $((${alone% *} * 3 / 4)) ] && [ "${both#* }" -gt 0 ]'
    cp "$img/s.wav" "$img/r.wav"
    check "a replaced recording: silent before" press_silent r
    sox -n -r 22050 -c 1 -b 16 "$img/r.wav" synth 0.5 sine 660 vol 0.5
    check "a replaced recording: heard at the next press" press_heard r
    local rate pitch
    for rate in 8000 22050 44100; do
        pitch=$(press_pitch "${rate:0:1}")
        check "a recording at $rate Hz plays at its pitch (440 Hz; heard $pitch Hz)" between "$pitch" 396 484
    done
    check "quiet after playing: the stream is corked" wait_for "$wait_seconds" quiet_stream
}

# A break mid-recording and while quiet (interrupted).
device_removed() { interrupted "output device removed" 'pactl unload-module "$sink_module"' 'add_sink e2e' c d e f; }
stream_killed() { interrupted "stream killed" kill_stream : g h i j; }
server_killed() { interrupted "server killed" kill_server start_server n o p q; }

default_changed() {
    local first=$sink_module
    playing l || true
    add_sink other
    alive "default output changed mid-recording" k
    listen=other
    check "default output changed: the next key plays on the new default" press_heard m
    listen=e2e
    set_default sink e2e
    pactl unload-module "$sink_module"
    sink_module=$first
}

start_server
[ ${#scenarios[@]} -gt 0 ] ||
    scenarios=(no_server_at_start no_device_at_start listening device_removed stream_killed default_changed server_killed)
for scenario in "${scenarios[@]}"; do
    echo "--- $scenario ($server)"
    [[ $scenario == no_* ]] || start_program "$program"
    "$scenario"
    quit_program
done
no_stderr
