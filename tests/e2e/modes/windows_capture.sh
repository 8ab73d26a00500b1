# SPDX-License-Identifier: GPL-3.0-or-later
# The WASAPI capture under Wine, through the session's PulseAudio, driven by
# the capture test's recorder (tests/tst_capture_wasapi.cpp): the default
# microphone is a source of its own, "mic", remapped from the monitor of a
# null sink, "voice", into which a 440 Hz tone plays at 48000 Hz. A take
# comes back as a WAV, mono 16-bit at 22050 Hz, at the tone's pitch; the
# sound server gone mid-take ends it as lost, with what was recorded before;
# with no server, there is no microphone. WINEPATH must lead to the Qt and
# MinGW libraries the recorder was built with.
#
#   e2e.sh TST_CAPTURE_WASAPI.EXE windows_capture

start_wine

# The microphone, and the tone playing into it.
microphone() {
    remapped_microphone
    sox -n -r 48000 -c 1 -t raw -e signed -b 16 - synth 120 sine 440 vol 0.5 2>/dev/null |
        pacat -d voice --raw --rate=48000 --channels=1 --format=s16le 2>/dev/null &
    session_pids+=($!)
}
# take NAME SECONDS: records a take of SECONDS into NAME.wav in the
# background; its lines go to NAME.out, its process is $take_pid.
take() {
    wine "$program" record "Z:$session_dir/$1.wav" "$2" >"$session_dir/$1.out" 2>>"$session_dir/wine.log" &
    take_pid=$!
    session_pids+=($take_pid)
}
# Wine's C library ends the recorder's lines with CR LF.
recording() { grep -qs '^progress [1-9]' "$session_dir/$1.out"; }
last_line() { tail -n 1 "$session_dir/$1.out" | tr -d '\r'; }
wav_info() { soxi "$@" 2>/dev/null; }
peak() { sox "$1" -n stat 2>&1 | awk '/Maximum amplitude/ { print $3 }'; }

echo "--- a take from the default microphone"
microphone
take tone 3
wait_exit "$take_pid"
check "the take ends with status 0 (got $exit_status)" test "$exit_status" = 0
# Stopped once three seconds are in, with what came in meanwhile (up to a
# second on a busy machine); a take at twice or half the rate is far off.
frames=$(last_line tone | awk '$1 == "recorded" { print $2 }')
check "its three seconds recorded ($(last_line tone))" eval '[ "${frames:-0}" -ge 66150 ] && [ "$frames" -lt 88200 ]'
wav="$session_dir/tone.wav"
format="$(wav_info -c "$wav") $(wav_info -b "$wav") $(wav_info -r "$wav")"
check "the take is mono 16-bit at 22050 Hz ($format)" test "$format" = "1 16 22050"
check "the tone is heard ($(peak "$wav") at most)" above "$(peak "$wav")" 0.3
# Within 3 %; a rate taken wrongly (44100 for 48000) is off by 9 %.
check "at its pitch, 440 Hz ($(pitch_of "$wav") Hz)" between "$(pitch_of "$wav")" 427 453

# Not the microphone taken away during a take: PulseAudio moves the stream
# to another source, and Wine's driver follows it without telling the
# program, where Windows itself invalidates the device.

echo "--- the sound server gone during a take"
take lost 30
check "the take has begun" wait_for "$wait_seconds" recording lost
stop_sound
wait_exit "$take_pid"
check "the take ends with the failure's status 3 (got $exit_status)" test "$exit_status" = 3
check "it is reported lost ($(last_line lost))" eval '[[ $(last_line lost) == "failed Lost "* ]]'
frames=$(last_line lost | awk '{ print $3 }')
check "what was recorded before is kept ($frames samples)" test "${frames:-0}" -gt 0
check "the WAV holds them" test "$(wav_info -s "$session_dir/lost.wav")" = "${frames:-x}"

echo "--- no sound server"
take none 3
wait_exit "$take_pid"
check "no microphone, status 3 (got $exit_status)" test "$exit_status" = 3
check "reported as no microphone ($(last_line none))" test "$(last_line none)" = "failed NoMicrophone 0"
