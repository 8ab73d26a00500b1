# SPDX-License-Identifier: GPL-3.0-or-later
# The recorder for grown-ups on the real programs: a take recorded from the
# default source (a null sink's monitor, "mic", into which a 440 Hz tone
# with silence around it is played), kept into the family's folder and
# checked (mono 16-bit at 22050 Hz, the tone at its pitch, the voice within
# 30 ms of the start, at most 200 ms after it, the pack's level); the child's
# program then plays it, the pack's file untouched, and "back to the
# original" brings the pack's back. Then what goes wrong, each on the real
# program, which stays open: no microphone, a silent take, the source
# removed mid-take, a folder that cannot be written, an unreadable picture;
# and a phone's photo turned upright.
#
#   e2e.sh PROGRAM recorder RECORDER [SCENARIO...]   (every scenario when none is named)

recorder=$(readlink -f "${mode_args[0]}")
scenarios=("${mode_args[@]:1}")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(take faults picture)
export XDG_DATA_HOME="$session_dir/data" XDG_DATA_DIRS="$session_dir/none"
own="$XDG_DATA_HOME/quilloro/IMG"
pack="$(dirname "$program")/IMG"
log="$session_dir/recorder.err"
: >"$log"

# The "microphone": a second null sink whose monitor is the default source.
pactl load-module module-null-sink sink_name=mic >/dev/null
pactl set-default-source mic.monitor
pactl set-default-sink e2e
sox -n -r 22050 -c 1 -b 16 "$session_dir/voice.wav" synth 0.4 sine 0 vol 0 : synth 1 sine 440 vol 0.3 : \
    synth 0.6 sine 0 vol 0
sox -n -r 22050 -c 1 -b 16 "$session_dir/hum.wav" synth 1.5 sine 440 vol 0.005

start_recorder() {
    "$recorder" 2>>"$log" &
    rec=$!
    session_pids+=($rec)
    rwin=$(window_named 'voci e figure') || { echo "FAIL: the recorder's window never appeared"; cat "$log"; exit 1; }
    xdotool windowfocus --sync "$rwin"
}
recorder_running() { kill -0 "$rec" 2>/dev/null; }
# said TEXT: the recorder said it (its sentences go to standard error too).
said() { wait_for "$wait_seconds" grep -qF -- "$1" "$log"; }
# rkey KEY...: keys typed into the recorder's window.
rkey() { xdotool windowfocus --sync "$rwin" key "$@"; }
capturing() { [ -n "$(pactl list short source-outputs)" ]; }
not_capturing() { ! capturing; }

# record SOUND_FILE: Space, the file played into the microphone, Space.
record() {
    : >"$log"
    rkey space
    said "Sto registrando" && wait_for "$wait_seconds" capturing || return 1
    paplay -d mic "$1"
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
# pitch FILE [raw]: sox's rough frequency of a WAV, or of a recording made by record_start.
pitch() {
    if [ "${2:-}" = raw ]; then sox -t raw -r 22050 -e signed -b 16 -c 1 "$1" -n stat 2>&1
    else sox "$1" -n stat 2>&1; fi | awk '/Rough/ { print $3 }'
}
between() { awk -v x="$1" -v a="$2" -v b="$3" 'BEGIN { exit !(x >= a && x <= b) }'; }

# child_hears_b: the child's program, started on the session's folders,
# plays b; sets heard_pitch to the pitch heard.
child_hears_b() {
    start_program "$program"
    heard_pitch=0
    press_heard b && heard_pitch=$(pitch "$session_dir/press.raw" raw)
    quit_program
}

scenario_take() {
    local pack_sum figures
    pack_sum=$(md5sum <"$pack/b.wav")
    start_recorder
    check "the window's title says voci e figure" test -n "$rwin"
    rkey b
    check "typing b selects it, with its word" said "b, come balena"
    check "no capture stream before recording" not_capturing
    record_start "$session_dir/heard.raw"
    check "Space records, Space stops: the take is offered" eval 'record "$session_dir/voice.wav" && said "Ecco la registrazione di b"'
    check "the take is played back to the grown-up" wait_for "$wait_seconds" heard_in "$session_dir/heard.raw"
    record_stop
    check "the capture stream is closed once stopped" wait_for "$wait_seconds" not_capturing
    rkey Return
    check "Return keeps it" said "Fatto: ora b dice la tua voce"
    check "kept in the family's folder" test -f "$own/b.wav"
    check "mono 16-bit at 22050 Hz" eval '[ "$(soxi -c "$own/b.wav") $(soxi -b "$own/b.wav") $(soxi -r "$own/b.wav")" = "1 16 22050" ]'
    check "the tone at its pitch ($(pitch "$own/b.wav") Hz)" between "$(pitch "$own/b.wav")" 430 450
    read -r peak onset tail level seconds < <(take_figures "$own/b.wav")
    echo "take: peak $peak dBFS, voice from $onset ms, $tail ms after it, voiced RMS $level dBFS, $seconds s," \
        "$(stat -c %s "$own/b.wav") bytes"
    check "the voice within 30 ms of the start ($onset ms)" between "$onset" 0 30
    check "at most 200 ms after the voice ($tail ms)" between "$tail" 0 200
    check "the voice's level within 1 dB of the pack's -18.2 dBFS ($level)" between "$level" -19.2 -17.2
    check "peak at most -1 dBFS ($peak)" between "$peak" -100 -1
    check "the pack's b.wav untouched" eval '[ "$(md5sum <"$pack/b.wav")" = "$pack_sum" ]'

    child_hears_b
    check "the child's program plays the family's b ($heard_pitch Hz)" between "$heard_pitch" 430 450

    : >"$log"
    rkey alt+v
    check "Voce originale asks first" answer_box "Tornare all'originale"
    check "and goes back to the pack's voice" said "di nuovo la voce originale"
    check "the family's b.wav is gone" test ! -e "$own/b.wav"
    child_hears_b
    check "the child's program plays the pack's b again ($heard_pitch Hz)" eval '! between "$heard_pitch" 400 480 && above "$heard_pitch" 0'
    check "the pack's b.wav still untouched" eval '[ "$(md5sum <"$pack/b.wav")" = "$pack_sum" ]'
    check "the recorder is still open" recorder_running
    kill "$rec"; wait "$rec" 2>/dev/null || true
}

for scenario in "${scenarios[@]}"; do
    echo "--- $scenario"
    "scenario_$scenario"
done
