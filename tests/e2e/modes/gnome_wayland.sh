# SPDX-License-Identifier: GPL-3.0-or-later
# The lesson on GNOME on Wayland, judged on the screen as a person sees it:
# mutter as the Wayland compositor, headless, on one virtual monitor, with the
# program as an X11 client of its Xwayland (x11) or as a Wayland client of its
# own (wayland, with Qt's Wayland platform). No client may read the screen or
# type into another's window there, so the test does both through mutter's
# remote desktop (remote_desktop holds its session): the screen is its
# screen cast, a PipeWire stream, and keys and clicks go wherever a person's
# would. The window opens (under Xwayland decorated and centred, and on the
# screen exactly as it drew itself); ten keys a second apart are each heard
# and seen, character and picture; the box for other keys closed with
# Return, a click on the desktop and back, and each time the next key seen
# and heard; Escape's farewell and status 0, nothing on standard error.
# Without mutter, PipeWire, GStreamer's PipeWire source or (for wayland) Qt's
# Wayland platform the test is skipped (77), saying why.
#
# With "lock", the Wayland client under the grown-ups' child lock instead:
# GNOME's own shortcuts reach the lesson (Super+h, which would hide the
# window, is an h there, heard and seen), a toddler's keys leave it open and
# in front, and the word esci ends it with status 0.
#
#   e2e.sh PROGRAM gnome_wayland x11|wayland REMOTE_DESKTOP [lock]

client=${mode_args[0]}
remote_desktop=${mode_args[1]}
lock=${mode_args[2]:-}
[ -z "$lock" ] || [ "$client" = wayland ] || { echo "the lock is tried on a Wayland client" >&2; exit 2; }
# first_window keeps to windows that a window manager manages.
window_manager=mutter
screen_size=(1024 768)

for tool in mutter pipewire wireplumber gst-launch-1.0; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
gst-inspect-1.0 pipewiresrc >/dev/null 2>&1 || skip "GStreamer's PipeWire source (gstreamer1.0-pipewire) is not installed"
case $client in
    x11) command -v Xwayland >/dev/null || skip "Xwayland is not installed" ;;
    wayland)
        dpkg-query -W -f='${Status}' qt6-wayland 2>/dev/null | grep -q 'ok installed' ||
            skip "Qt's Wayland platform (qt6-wayland) is not installed"
        ;;
    *) echo "unknown client $client: x11 or wayland" >&2; exit 2 ;;
esac

# mutter shares the screen through PipeWire, on the session bus that
# start_pipewire starts; the program's sound still goes to PulseAudio's null
# sink, as in every mode.
start_pipewire
env -u DISPLAY "${system_data[@]}" mutter --wayland --headless --virtual-monitor "${screen_size[0]}x${screen_size[1]}" \
    --sm-disable >>"$session_dir/wm.log" 2>&1 &
wm_pid=$!
session_pids+=($wm_pid)
mutter_failed() {
    sed 's/^/wm.log: /' "$session_dir/wm.log" | tail -10
    kill -0 "$wm_pid" 2>/dev/null || skip "mutter ended at start"
    skip "mutter $1"
}
remote_desktop_up() { dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    string:org.gnome.Mutter.RemoteDesktop 2>/dev/null | grep -q 'boolean true'; }
wait_for "$wait_seconds" remote_desktop_up || mutter_failed "offers no remote desktop on the session bus"
wait_for "$wait_seconds" test -S "$XDG_RUNTIME_DIR/wayland-0" || mutter_failed "opened no Wayland display"

# The remote desktop session: commands in through one pipe, answers out
# through another; first it names the screen cast's PipeWire node.
mkfifo "$session_dir/desk.in" "$session_dir/desk.out"
"$remote_desktop" <"$session_dir/desk.in" >"$session_dir/desk.out" 2>>"$session_dir/wm.log" &
desk_pid=$!
session_pids+=($desk_pid)
exec 5>"$session_dir/desk.in" 6<"$session_dir/desk.out"
read -r -t "$wait_seconds" node <&6 || mutter_failed "shares no screen through its remote desktop"
# desk COMMAND...: one command to the remote desktop, answered "ok".
desk() {
    local answer
    kill -0 "$desk_pid" 2>/dev/null || { echo "remote desktop: it ended"; return 1; }
    echo "$*" >&5
    read -r -t "$wait_seconds" answer <&6 && [ "$answer" = ok ] && return 0
    echo "remote desktop: $* answered ${answer:-nothing}"
    return 1
}
type_keys() { desk key "$@"; }

# screen_shot: the screen now, one frame of the screen cast as raw RGB in $shot.
shot="$session_dir/screen.rgb"
screen_shot() {
    program_died
    rm -f "$shot"
    timeout 10 gst-launch-1.0 -q pipewiresrc path="$node" num-buffers=1 ! videoconvert ! video/x-raw,format=RGB ! \
        filesink location="$shot" >>"$session_dir/gst.log" 2>&1 &&
        [ "$(stat -c %s "$shot")" -eq $((screen_size[0] * screen_size[1] * 3)) ]
}
shot_image=(-size "${screen_size[0]}x${screen_size[1]}" -depth 8 "rgb:$shot")
# mask_of COLOUR: the pixels of the shot of that colour, one byte each, 255
# (of that colour) or 0 (any other). Cyan is the key's character, red the
# pictures of install_copy; nothing else on this screen comes near either.
mask_of() {
    convert "${shot_image[@]}" -fuzz 15% -fill '#f0f' -opaque "$1" -fill black +opaque '#f0f' -channel R -separate gray:-
}
count_of() { mask_of "$1" | tr -d '\0' | wc -c; }

# new_ink INK: the screen shows characters whose ink is not INK; sets ink to
# theirs ("PIXELS CHECKSUM"). shows_key INK: and a whole picture beside them.
ink=
new_ink() {
    screen_shot || return 1
    mask_of cyan >"$session_dir/ink"
    ink="$(tr -d '\0' <"$session_dir/ink" | wc -c) $(md5sum <"$session_dir/ink" | cut -d' ' -f1)"
    [ "${ink#* }" != "${1#* }" ] && [ "${ink% *}" -ge 400 ]
}
shows_key() { new_ink "$1" && [ "$(count_of red)" -ge 10000 ]; }

# own_pixels_shown: under Xwayland, the screen shows the window exactly as it
# drew itself; a Wayland client's own pixels cannot be read from outside.
own_pixels_shown() {
    [ "$client" = x11 ] || return 0
    local x y w h
    read -r x y w h <<<"$(geometry "$win")"
    screen_shot && cmp -s <(import -window "$win" -depth 8 rgb:- 2>/dev/null) \
        <(convert "${shot_image[@]}" -crop "${w}x$h+$x+$y" +repage -depth 8 rgb:-)
}
# seen_and_heard KEY: heard, then the screen shows its character and picture,
# as the window drew them.
seen_and_heard() {
    local before=$ink
    press_heard "$1" || { echo "key $1: not heard"; return 1; }
    wait_for "$wait_seconds" shows_key "$before" ||
        { echo "key $1: no new character with its picture on the screen (ink $ink, picture $(count_of red) pixels)"; return 1; }
    wait_for "$wait_seconds" own_pixels_shown || { echo "key $1: the screen does not show the window as it drew itself"; return 1; }
}

# A box over the window is seen by its light grey ground (Qt's #efefef),
# which adds to the title and menu bars': box_opened BEFORE TITLE: the screen
# shows far more of it than BEFORE (a count of light_pixels), and under
# Xwayland a window with that title is open; box_closed BEFORE: no more of it
# than BEFORE, give or take a title's letters. box_answered KEY TITLE: KEY
# opens the box, and Return closes it.
light_pixels() { screen_shot && count_of '#efefef'; }
more_light() { [ "$(light_pixels)" -ge "$1" ]; }
less_light() { [ "$(light_pixels)" -le "$1" ]; }
box_opened() {
    wait_for "$wait_seconds" more_light $(($1 + 20000)) || { echo "no box on the screen"; return 1; }
    [ "$client" = wayland ] || window_named "^$2\$" >/dev/null
}
box_answered() {
    local before
    before=$(light_pixels) && type_keys "$1" && box_opened "$before" "$2" || return 1
    answered less_light $((before + 1000)) || { echo "the box is still on the screen"; return 1; }
}
# answered COMMAND...: Return, until COMMAND succeeds: again every 5 seconds,
# for at most wait_seconds. A box on a Wayland screen gets the keyboard a
# moment after it is drawn, and on a busy machine the first Return may come
# before; the window under a box takes no keys meanwhile.
answered() {
    local deadline=$((SECONDS + wait_seconds))
    while type_keys Return; do
        wait_for 5 "$@" && return 0
        [ "$SECONDS" -lt "$deadline" ] || return 1
    done
    return 1
}

# The program as the chosen client of mutter.
install_copy "$program" "$session_dir/app" 0.25
if [ -n "$lock" ]; then
    mkdir -p "$XDG_CONFIG_HOME/quilloro"
    printf '[lezione]\nblocco_bambino=true\n' >"$XDG_CONFIG_HOME/quilloro/quilloro.conf"
fi
export WAYLAND_DISPLAY=wayland-0
if [ "$client" = x11 ]; then
    x_display() { sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$session_dir/wm.log" | grep .; }
    wait_for "$wait_seconds" x_display >/dev/null || mutter_failed "names no Xwayland display"
    export DISPLAY=$(x_display)
    authority=("$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.*)
    [ -f "${authority[0]}" ] || mutter_failed "left no Xwayland authority file in its runtime folder"
    export XAUTHORITY=${authority[0]}
    wait_for "$wait_seconds" eval 'xdpyinfo >/dev/null 2>&1' || mutter_failed "started no Xwayland"
    QT_QPA_PLATFORM=xcb "$session_dir/app/quilloro" 2>>"$session_dir/stderr" &
    app=$!
    session_pids+=($app)
    watch "$app"
    win=$(window_named '^Quilloro - ') || { echo "FAIL: the window never appeared"; exit 1; }
    check "the window has a title bar drawn by mutter" decorated
    check "the window is centred on the screen ($(geometry "$(frame_of "$win")"))" centred "$(frame_of "$win")"
else
    env -u DISPLAY QT_QPA_PLATFORM=wayland "$session_dir/app/quilloro" 2>>"$session_dir/stderr" &
    app=$!
    session_pids+=($app)
    watch "$app"
fi
check "the invitation is on the screen" eval 'wait_for "$wait_seconds" new_ink none && wait_for "$wait_seconds" own_pixels_shown'

# farewell WHAT KEY...: the keys open the farewell box, Return answers it,
# and the program ends with status 0 (no longer watched: it is meant to),
# having written nothing on standard error.
farewell() {
    local what=$1 before
    shift
    before=$(light_pixels)
    type_keys "$@"
    check "$what opens the farewell box" box_opened "$before" 'A presto da Ferlandi'
    watch
    ended() { ! kill -0 "$app" 2>/dev/null; }
    answered ended || true
    wait_exit "$app"
    check "the program ends with status 0 after the farewell (got $exit_status)" test "$exit_status" = 0
    no_stderr
}

if [ -n "$lock" ]; then
    # mutter hides the window in front on Super+h; the lesson asked it to
    # keep its shortcuts, so the h is the lesson's.
    check "under the lock Super+h reaches the lesson: the h heard and seen with its picture" seen_and_heard Super+h
    # What else a toddler's hands find: the window stays open and in front,
    # its keys its own.
    type_keys Super Alt+Tab Alt+F4 Alt+F10 Control+Alt+Left Escape Escape
    check "after Super, Alt+Tab, Alt+F4, Alt+F10, Ctrl+Alt+Left and Escape, the next key is heard and seen" \
        seen_and_heard k
    farewell "the word esci" e s c i
    return  # to e2e.sh, which sums the checks up
fi

ten_keys

check "A opens the box for other keys, and Return closes it" box_answered A 'Fai attenzione, non hai premuto un tasto alfanumerico'
check "after the box, the next key is heard and seen" seen_and_heard k

# A click on the desktop beside the window, then on the window (its black
# ground, found on the screen): the keys are the window's again.
ground() {
    screen_shot && convert "${shot_image[@]}" -fill '#f0f' -opaque black -fill black +opaque '#f0f' -format '%@' info: |
        tr 'x+' '  '
}
click_away_and_back() {
    local w h x y
    read -r w h x y <<<"$(ground)" && [ -n "$y" ] || return 1
    desk move 5 $((y + h - 5)) && desk click && sleep 0.5 || return 1
    desk move $((x + w - 30)) $((y + h - 30)) && desk click
}
check "after a click on the desktop and back, the next key is heard and seen" eval 'click_away_and_back && seen_and_heard l'

# Escape's farewell box, answered with Return, and the program ends.
farewell Escape Escape
