# SPDX-License-Identifier: GPL-3.0-or-later
# The real program where things go wrong around it: no display, an odd
# program folder reached through a link, a missing or unreadable media folder,
# damaged files. (The sound server's own troubles are the sound mode's.)

# refused WHAT LINE SETTING...: the program started with env SETTING... ends
# with status 1 (no core dump) and says why in one line, matching LINE.
refused() {
    local line=$2
    env "${@:3}" "$program" 2>"$session_dir/refused" && status=0 || status=$?
    check "$1: exit status 1 (got $status), one line saying so ($(head -c 120 "$session_dir/refused"))" \
        eval '[ "$status" -eq 1 ] && [ "$(wc -l <"$session_dir/refused")" -eq 1 ] && grep -q "$line" "$session_dir/refused"'
}
# --- No display; a platform plugin that is not there (a Wayland session
# without Qt's Wayland plugin, or a mistyped QT_QPA_PLATFORM): the line names it.
refused "no display (unset)" "no display available" -u WAYLAND_DISPLAY -u DISPLAY QT_QPA_PLATFORM=
refused "no display (:987)" "no display available" -u WAYLAND_DISPLAY DISPLAY=:987
ls /usr/lib/*/qt6/plugins/platforms/libqwayland* >/dev/null 2>&1 ||
    refused "no wayland plugin" 'plugin "wayland" not found' -u DISPLAY WAYLAND_DISPLAY=wayland-0 QT_QPA_PLATFORM=wayland
refused "no nonesuch plugin" 'plugin "nonesuch" not found' -u DISPLAY WAYLAND_DISPLAY=wayland-0 QT_QPA_PLATFORM=nonesuch

# --- The messages of a start that succeeds keep their own type: Qt's debug
# messages, when asked for, stay debug messages and do not become warnings.
QT_MESSAGE_PATTERN='%{type}|%{category}|%{message}' QT_LOGGING_RULES='qt.qpa.*.debug=true' \
    "$program" 2>"$session_dir/debug" &
debug_app=$!
session_pids+=($debug_app)
window_named '^Quilloro - ' >/dev/null || true
end_process "$debug_app"
check "start-up debug messages stay debug messages ($(grep -c '^debug|' "$session_dir/debug") debug, $(grep -c '^warning|' "$session_dir/debug") warnings)" \
    eval 'grep -q "^debug|qt.qpa" "$session_dir/debug" && ! grep -q "^warning|" "$session_dir/debug"'

# --- A program folder with spaces, accents and a path near PATH_MAX, started through a link.
deep="$session_dir/cartella con spazi/perché àèìòù"
long=$(printf 'x%.0s' $(seq 240))
while [ ${#deep} -lt 3700 ]; do deep="$deep/$long"; done
install_copy "$program" "$deep" 1.0
ln -s "$deep/quilloro" "$session_dir/quilloro-link"
start_program "$session_dir/quilloro-link"
check "odd folder through a link: recording heard" press_heard a
check "odd folder through a link: picture shown" picture_shown
quit_program

# --- The media folder missing, a file instead of a folder, or unreadable.
for case in missing file unreadable; do
    folder="$session_dir/media-$case"
    install_copy "$program" "$folder" 1.0
    user=()
    case $case in
    missing) rm -r "$folder/IMG" ;;
    file) rm -r "$folder/IMG" && echo "not a folder" >"$folder/IMG" ;;
    unreadable)
        # Permissions do not stop root, so the program runs as nobody here.
        [ "$(id -u)" -eq 0 ] && user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
        chmod a+x "$session_dir"
        chmod -R a+rX "$folder"
        chmod 000 "$folder/IMG"
        ;;
    esac
    if [ ${#user[@]} -gt 0 ]; then
        mkdir -p -m 700 "$session_dir/nobody-run" && chown nobody "$session_dir/nobody-run"
        start_program "${user[@]}" env DISPLAY="$DISPLAY" HOME=/tmp XDG_RUNTIME_DIR="$session_dir/nobody-run" \
            "$folder/quilloro"
    else
        start_program "$folder/quilloro"
    fi
    for key in a 7; do
        xdotool key "$key"
        check "media folder $case: '$key' reports the picture" answer_box 'Immagine non disponibile'
    done
    check "media folder $case: still running" still_running
    quit_program
    chmod 755 "$folder/IMG" 2>/dev/null || true
done
chmod 700 "$session_dir"

# --- A hostile picture through the real program: a box, and the lesson goes
# on. (Damaged recordings are silent: the own-media mode hears one, the
# decoder's tests go through the kinds of damage.)
install_copy "$program" "$session_dir/damaged" 1.0
printf '\xff\xd8\xff\xc0\x00\x11\x08\x9c\x40\x9c\x40\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xff\xd9' \
    >"$session_dir/damaged/IMG/v.jpg" # a frame header claiming 40000 x 40000 pixels
start_program "$session_dir/damaged/quilloro"
xdotool key v
check "decompression bomb: reported" answer_box 'Immagine non disponibile'
check "after the hostile picture: the next key is heard" press_heard a
check "after the hostile picture: its picture shown" picture_shown
quit_program

no_stderr
