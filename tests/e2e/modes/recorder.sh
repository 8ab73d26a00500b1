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
# and a phone's photo turned upright. (A hostile picture of the family's:
# tst_recorder_window.) On a session bus a second start opens nothing; a
# recorder killed with a take waiting leaves no preview behind once started
# again. The take once more on PipeWire, asked for by name (exits 77 where
# PipeWire is not installed).
#
#   e2e.sh PROGRAM recorder RECORDER [SCENARIO...]   (every scenario when none is named)

recorder=$(readlink -f "${mode_args[0]}")
scenarios=("${mode_args[@]:1}")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(take faults picture english again load)
export XDG_DATA_HOME="$session_dir/data" XDG_DATA_DIRS="$session_dir/none"
own="$XDG_DATA_HOME/quilloro/IMG"
pack="$(dirname "$program")/IMG"
log="$session_dir/recorder.err"
: >"$log"

# The session's sound server with a "microphone": the output "e2e", and a
# second null sink, "mic", whose monitor is the default source. FAULTY=1:
# without any device at all.
restart_sound() {
    stop_sound
    if [ -n "${1:-}" ]; then
        start_sound "${bare_pulse[@]}"
        return
    fi
    start_sound
    mic_module=$(pactl load-module module-null-sink sink_name=mic)
    pactl set-default-source mic.monitor
    pactl set-default-sink e2e
}
restart_sound
sox -n -r 22050 -c 1 -b 16 "$session_dir/voice.wav" synth 0.4 sine 0 vol 0 : synth 1 sine 440 vol 0.3 : \
    synth 0.6 sine 0 vol 0
sox -n -r 22050 -c 1 -b 16 "$session_dir/hum.wav" synth 1.5 sine 440 vol 0.005

# end_recorder: what went before left the recorder open; it is closed.
end_recorder() { check "the recorder is still open" recorder_running; stop_recorder; }
# Between takes the recorder keeps neither a capture stream nor its thread.
capture_thread() { cat /proc/"$rec"/task/*/comm 2>/dev/null | grep -q '^quilloro-captur'; }
not_capturing() { ! capturing && ! capture_thread; }

# child_hears_b: the child's program, started on the session's folders,
# plays b; sets heard_pitch to the pitch heard.
child_hears_b() {
    start_program "$program"
    heard_pitch=0
    press_heard b && heard_pitch=$(pitch_of "$session_dir/press.raw")
    quit_program
}

scenario_take() {
    local pack_sum figures
    pack_sum=$(md5sum <"$pack/b.wav")
    start_recorder
    rkey b
    check "typing b selects it, with its word" said "b, come balena"
    check "no capture stream before recording" not_capturing
    rkey space
    check "recording: a capture stream and its thread" eval 'wait_for "$wait_seconds" capturing && capture_thread'
    rkey Escape
    check "Escape throws it away: neither is left" eval 'said "Registrazione interrotta" && wait_for "$wait_seconds" not_capturing'
    record_start "$session_dir/heard.raw"
    check "Space records, Space stops: the take is offered" eval 'record "$session_dir/voice.wav" && said "Ecco la registrazione di b"'
    check "the take is played back to the grown-up" wait_for "$wait_seconds" heard_in "$session_dir/heard.raw"
    record_stop
    check "the capture stream is closed once stopped" wait_for "$wait_seconds" not_capturing
    rkey Return
    check "Return keeps it in the family's folder, named" eval 'said "Fatto: ora b dice la tua voce ($own/b.wav)" && test -f "$own/b.wav"'
    check "mono 16-bit at 22050 Hz" eval '[ "$(soxi -c "$own/b.wav") $(soxi -b "$own/b.wav") $(soxi -r "$own/b.wav")" = "1 16 22050" ]'
    check "the tone at its pitch ($(pitch_of "$own/b.wav") Hz)" between "$(pitch_of "$own/b.wav")" 430 450
    read -r peak onset tail level seconds < <(take_figures "$own/b.wav")
    check "the voice within 30 ms of the start ($onset ms)" between "$onset" 0 30
    check "at most 200 ms after the voice ($tail ms)" between "$tail" 0 200
    check "the voice's level within 1 dB of the pack's -18.2 dBFS ($level)" between "$level" -19.2 -17.2
    check "peak at most -1 dBFS ($peak)" between "$peak" -100 -1
    check "the pack's b.wav untouched" eval '[ "$(md5sum <"$pack/b.wav")" = "$pack_sum" ]'

    child_hears_b
    check "the child's program plays the family's b ($heard_pitch Hz)" between "$heard_pitch" 430 450

    rkey_anew alt+v
    check "Voce originale asks first" answer_box "Tornare all'originale"
    check "and goes back to the pack's voice" said "di nuovo la voce originale"
    check "the family's b.wav is gone" test ! -e "$own/b.wav"
    child_hears_b
    check "the child's program plays the pack's b again ($heard_pitch Hz)" eval '! between "$heard_pitch" 400 480 && above "$heard_pitch" 0'
    check "the pack's b.wav still untouched" eval '[ "$(md5sum <"$pack/b.wav")" = "$pack_sum" ]'
    end_recorder
}

scenario_faults() {
    local old_sum message
    restart_sound
    mkdir -p "$own"
    cp "$session_dir/voice.wav" "$own/b.wav"
    old_sum=$(md5sum <"$own/b.wav")
    start_recorder
    rkey b
    said "b, come balena"

    stop_sound
    rkey_anew space
    check "no sound server: Nessun microfono trovato, and what to check" said "Nessun microfono trovato: il sistema audio"
    restart_sound faulty
    rkey_anew space
    check "no microphone: Nessun microfono trovato, and what to check" said "Nessun microfono trovato. Controlla che sia collegato"
    restart_sound

    check "a take with no voice" eval 'record "$session_dir/hum.wav" && said "non si sente nessuna voce"'
    check "is not kept" eval '[ "$(md5sum <"$own/b.wav")" = "$old_sum" ]'
    check "and the capture stream is closed" wait_for "$wait_seconds" not_capturing

    rkey_anew space
    said "Sto registrando" && wait_for "$wait_seconds" capturing
    paplay -d mic "$session_dir/voice.wav" 2>/dev/null &
    local player=$!
    sleep 0.5
    pactl unload-module "$mic_module"
    wait "$player" 2>/dev/null || true
    check "the microphone unplugged mid-take: said so" said "Il microfono si è scollegato (o è cambiato) durante la registrazione"
    check "the previous file is kept" eval '[ "$(md5sum <"$own/b.wav")" = "$old_sum" ]'
    restart_sound

    # A folder that cannot be written: read-only, or (for root, who writes
    # anywhere) a file where the folder should be.
    rm -rf "$XDG_DATA_HOME/quilloro"
    mkdir -p "$XDG_DATA_HOME"
    if [ "$(id -u)" -eq 0 ]; then echo "not a folder" >"$XDG_DATA_HOME/quilloro"; else mkdir -p "$own" && chmod 555 "$own"; fi
    record "$session_dir/voice.wav" && said "Ecco la registrazione di b"
    rkey_anew Return
    check "a folder that cannot be written is named, and why" eval 'said "cartella $own (" && ! grep -qF "$own ()" "$log"'
    check "and nothing is there" test ! -f "$own/b.wav"
    if [ "$(id -u)" -eq 0 ]; then rm -f "$XDG_DATA_HOME/quilloro"; else chmod 755 "$own"; fi
    rkey_anew Return
    check "the take waited: kept once the folder can be written" said "Fatto: ora b dice la tua voce"
    check "the capture stream stayed closed" not_capturing
    end_recorder
}

# choose_picture PATH: Ctrl+O, the path typed into Qt's file dialog, Return.
choose_picture() {
    rkey_anew ctrl+o
    local dialog
    dialog=$(window_named 'Scegli una figura per b') || return 1
    xdotool windowfocus --sync "$dialog" type --delay 5 "$1"
    xdotool key Return
    wait_for "$wait_seconds" no_window_named 'Scegli una figura per b'
}

scenario_picture() {
    local pack_sum
    pack_sum=$(md5sum <"$pack/b.jpg")
    rm -rf "$XDG_DATA_HOME/quilloro"
    start_recorder
    rkey b
    said "b, come balena"

    echo "not a picture" >"$session_dir/broken.jpg"
    choose_picture "$session_dir/broken.jpg"
    check "a picture that cannot be read is named, and why" eval 'said "la figura $session_dir/broken.jpg (" && ! grep -qF "broken.jpg ()" "$log"'

    # A phone's photo: 4000 x 3000, the top half red, stored on its side
    # with EXIF orientation 6 (turn right to see it upright): an APP1
    # segment holding a one-entry TIFF directory, put in after SOI.
    convert -size 4000x1500 xc:red -size 4000x1500 xc:blue -append "$session_dir/sensor.jpg"
    { head -c 2 "$session_dir/sensor.jpg"
      printf '\xff\xe1\x00\x22Exif\x00\x00MM\x00\x2a\x00\x00\x00\x08\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00\x00\x00\x00\x00'
      tail -c +3 "$session_dir/sensor.jpg"; } >"$session_dir/photo.jpg"
    choose_picture "$session_dir/photo.jpg"
    check "the photo is shown before it is kept" said "Ecco la figura per b"
    check "nothing kept yet" test ! -e "$own/b.jpg"
    rkey_anew Return
    check "Return keeps it" said "Fatto: ora b mostra la tua figura"
    local size
    size=$(identify -format '%wx%h' "$own/b.jpg" 2>/dev/null)
    check "saved as JPEG within 1000 x 500 ($size)" test "$size" = 375x500
    check "upright: the red half on the right" eval \
        '[ "$(convert "$own/b.jpg" -crop 40x40+280+210 +repage -format "%[fx:mean.r>0.8 && mean.b<0.2]" info:)" = 1 ]'
    check "the pack's b.jpg untouched" eval '[ "$(md5sum <"$pack/b.jpg")" = "$pack_sum" ]'

    rkey_anew alt+g
    answer_box "Tornare all'originale"
    check "Figura originale goes back to the pack's picture" said "di nuovo la figura originale"
    check "the family's b.jpg is gone" test ! -e "$own/b.jpg"
    end_recorder
}

# The take again, through PipeWire's PulseAudio service, where installed.
scenario_pipewire() {
    if ! command -v pipewire-pulse >/dev/null; then
        echo "PipeWire is not installed (packages pipewire, pipewire-pulse, wireplumber): skipped"
        exit 77
    fi
    stop_sound
    start_pipewire
    start_sound pipewire-pulse
    add_sink mic
    add_sink e2e
    set_default source mic.monitor
    rm -rf "$XDG_DATA_HOME/quilloro"
    scenario_take
}

# On a session bus a second start hands over to the first and opens nothing;
# a recorder killed with a take waiting leaves no preview once started again.
scenario_again() {
    local previews="${XDG_CACHE_HOME:-$HOME/.cache}/quilloro-registra/previews" second
    start_bus
    start_recorder
    "$recorder" 2>>"$log" &
    second=$!
    wait_exit "$second"
    check "a second start ends with status 0 (got $exit_status)" test "$exit_status" = 0
    check "no second window" eval '[ "$(xdotool search --name "voci e figure" | wc -l)" -eq 1 ]'
    check "the first is still running" recorder_running
    rkey b
    record "$session_dir/voice.wav" && said "Ecco la registrazione di b"
    check "a take waits, its preview in the cache" eval 'ls "$previews"/take-*.wav >/dev/null 2>&1'
    watch; kill -9 "$rec"; wait "$rec" 2>/dev/null || true
    start_recorder
    check "killed and started again: no preview left" eval '! ls "$previews"/take-*.wav >/dev/null 2>&1'
    stop_recorder
    stop_bus
}

# Under load (stress-ng --cpu 2, where installed; NOLOAD=1 without): the 1 s
# tone of voice.wav played from the moment the recorder says "parla ora" to
# Space is whole in the kept take, also when the take is started while Listen
# still plays; a tone held for 3 s of wall clock from "parla ora" to Space
# gives a take of about 3 s.
scenario_load() {
    local hog="" tone_ms player
    if [ -z "${NOLOAD:-}" ] && command -v stress-ng >/dev/null; then stress-ng --cpu 2 --quiet & hog=$!; fi
    sox -n -r 22050 -c 1 -b 16 "$session_dir/long.wav" synth 6 sine 440 vol 0.3
    rm -rf "$XDG_DATA_HOME/quilloro"
    start_recorder
    rkey b
    for round in listen plain held; do
        : >"$log"
        [ $round = held ] && { paplay -d mic "$session_dir/long.wav" & player=$!; }
        if [ $round = listen ]; then rkey alt+a space; else rkey space; fi
        said "parla ora"
        if [ $round = held ]; then sleep 3; else paplay -d mic "$session_dir/voice.wav"; fi
        rkey space
        said "Ecco la registrazione di b" && rkey Return && said "Fatto: ora b dice la tua voce"
        read -r _ onset tail _ seconds < <(take_figures "$own/b.wav")
        tone_ms=$(awk -v s="$seconds" -v o="$onset" -v t="$tail" 'BEGIN { printf "%d", s * 1000 - o - t }')
        if [ $round = held ]; then
            wait "$player" 2>/dev/null || true
            check "under load: 3 s from parla ora to Space, a take of 3 s ($tone_ms ms)" between "$tone_ms" 2850 3300
        else
            check "under load ($round): the 1 s tone after parla ora is whole ($tone_ms ms)" between "$tone_ms" 900 1100
        fi
    done
    watch; kill "$rec" ${hog:+"$hog"}; wait "$rec" ${hog:+"$hog"} 2>/dev/null || true
}

# Italian by default (the session's locale is C); English by an English locale.
scenario_english() {
    : >"$log"
    LANG=en_GB.UTF-8 start_recorder
    check "English by the locale: the title" eval "window_named '^Quilloro: voci e figure \(voices and pictures\)$' >/dev/null"
    check "and the sentences" said "Choose a key: click its picture"
    rkey 7
    check "typing 7 selects it, with its Italian word" said "7, as in sette"
    stop_recorder
}

for scenario in "${scenarios[@]}"; do
    echo "--- $scenario"
    "scenario_$scenario"
done
