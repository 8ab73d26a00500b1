# SPDX-License-Identifier: GPL-3.0-or-later
# A family's own recordings and pictures: each file of a press is the first
# found in the user's folder ($XDG_DATA_HOME/quilloro/IMG), in quilloro/IMG
# under the folders of $XDG_DATA_DIRS, then in the pack (IMG beside the
# program), looked up again at every press; a damaged file of the user's is
# the one used; without a usable home the pack is used, and nothing is ever
# written. Each place has a tone and a colour of its own, so the sink and the
# window tell where a file came from: the pack 660 Hz and red, the shared
# folder 440 Hz and blue, the user's 880 Hz and green.

install_copy "$program" "$session_dir/app" 0.4
program="$session_dir/app/quilloro"
# A long name without break opportunities: a box that names a file of the
# user's is then much wider than one that names a file of the pack's.
user_data="$session_dir/datidellafamigliarossichehannoregistratolelorovociperibambinidicasaloro"
declare -A folder=([pack]="$session_dir/app/IMG" [user]="$user_data/quilloro/IMG"
    [shared]="$session_dir/scuola/quilloro/IMG")
mkdir -p "${folder[user]}" "${folder[shared]}" "$session_dir/empty"
for place in user:880:green shared:440:blue; do
    IFS=: read -r name pitch colour <<<"$place"
    sox -n -r 22050 -c 1 -b 16 "$session_dir/$name.wav" synth 0.4 sine "$pitch" vol 0.5
    convert -size 120x90 "xc:$colour" "$session_dir/$name.jpg"
done

# put KEY FILE...: PLACE.wav or PLACE.jpg (user, shared) copied in as the
# key's file there; bad-PLACE.wav or bad-PLACE.jpg (user, shared, pack) a
# damaged one.
put() {
    local file place
    for file in "${@:2}"; do
        place=${file%.*}
        if [ "${place#bad-}" != "$place" ]; then
            echo "neither a recording nor a picture" >"${folder[${place#bad-}]}/$1.${file##*.}"
        else
            cp "$session_dir/$file" "${folder[$place]}/$1.${file##*.}"
        fi
    done
}

# press_from KEY: presses it, and prints whose recording was heard, by its
# pitch: pack, shared, user, "silence", or the pitch heard.
press_from() {
    local hz=0
    press_heard "$1" && hz=$(pitch_of "$session_dir/press.raw")
    case $hz in
    0) echo silence ;;
    4[0-7]?) echo shared ;;
    6[2-9]?) echo pack ;;
    8[4-9]? | 9[01]?) echo user ;;
    *) echo "$hz Hz" ;;
    esac
}

# picture_is PLACE: the picture's place in the window shows PLACE's colour
# (none: nothing lit).
declare -A rgb_of=([pack]=100 [user]=010 [shared]=001 [none]=000)
picture_is() {
    import -window "$win" "$session_dir/shot.png" 2>/dev/null
    [ "$(convert "$session_dir/shot.png" -crop "50x50+20+$((top + 310))" +repage \
        -format '%[fx:round(mean.r)]%[fx:round(mean.g)]%[fx:round(mean.b)]' info:)" = "${rgb_of[$1]}" ]
}

picture_box='Immagine non disponibile'
# box_width: the width of the open box that reports a picture.
box_width() {
    local box
    box=$(window_named "^$picture_box\$") && xwininfo -id "$box" | awk '/Width:/ { print $2 }'
}

# expect WHAT KEY HEARD SHOWN: KEY pressed; HEARD is whose recording plays
# (or silence), SHOWN whose picture is shown, or box-pack / box-user: a box
# reports the picture, naming the pack's or the user's file, and afterwards
# none is shown.
expect() {
    local what=$1 key=$2 heard=$3 shown=$4 got width
    if [ "$heard" = silence ]; then
        check "$what: '$key' silent" press_silent "$key"
    else
        got=$(press_from "$key")
        check "$what: '$key' plays the $heard's recording (heard: $got)" test "$got" = "$heard"
    fi
    case $shown in
    box-*)
        width=$(box_width) || true
        check "$what: '$key' opens the box for a picture" test -n "$width"
        if [ "$shown" = box-pack ]; then
            pack_box_width=$width
        else
            check "$what: the box names the user's file (it is $width pixels wide, $pack_box_width for the pack's)" \
                test "${width:-0}" -gt $((pack_box_width + 100))
        fi
        answer_box "$picture_box" || true
        check "$what: no picture shown behind the box" wait_for "$wait_seconds" picture_is none
        ;;
    *) check "$what: '$key' shows the $shown's picture" wait_for "$wait_seconds" picture_is "$shown" ;;
    esac
}

# --- Every place at once, the second of two shared folders holding files.
# The pack's own z.jpg damaged: a box naming a file of the pack's is this wide.
put d shared.wav shared.jpg
put e user.wav user.jpg shared.wav shared.jpg
put f bad-user.jpg shared.jpg
put g bad-user.wav shared.wav
put h user.wav user.jpg
put z bad-pack.jpg
start_program env XDG_DATA_HOME="$user_data" XDG_DATA_DIRS="$session_dir/empty:${folder[shared]%/quilloro/IMG}" \
    "$program"
# what                                      key heard   shown
expect "the pack's files"                    a  pack    pack
expect "the pack's picture damaged"          z  pack    box-pack
expect "the shared folder's files"           d  shared  shared
expect "the user's before the shared"        e  user    user
expect "the user's picture damaged"          f  pack    box-user
expect "the user's recording damaged"        g  silence pack
expect "the user's files"                    h  user    user
rm "${folder[user]}"/h.*
expect "the user's files removed"            h  pack    pack
put i user.wav user.jpg
expect "the user's files put in"             i  user    user
quit_program

# --- No user's folder, no home, an unreadable one: the pack's files, and
# nothing written, not even the user's folder.
rm -r "$user_data"
start_program env XDG_DATA_HOME="$user_data" "$program"
expect "no user's folder" a pack pack
quit_program
check "no user's folder: none made" test ! -e "$user_data"
# No home at all, the user's files where the home would lead. (An empty or a
# relative HOME makes the sound library complain on standard error.)
folder[user]="$HOME/.local/share/quilloro/IMG"
mkdir -p "${folder[user]}"
put b user.wav user.jpg
start_program env -u XDG_DATA_HOME -u HOME "$program"
expect "no home" b pack pack
quit_program

# Permissions do not stop root, so the program runs as nobody here (which
# cannot reach the session's sound server: the picture says it all).
rm -rf "$user_data" && mkdir "$user_data" && mv "$HOME/.local/share/quilloro" "$user_data/"
folder[user]="$user_data/quilloro/IMG"
chmod 000 "$user_data"
user=()
if [ "$(id -u)" -eq 0 ]; then
    user=(setpriv --reuid=nobody --regid=nogroup --clear-groups env DISPLAY="$DISPLAY" HOME=/nonexistent
        XDG_RUNTIME_DIR="$session_dir/nobody-run")
    mkdir -p -m 700 "$session_dir/nobody-run" && chown nobody "$session_dir/nobody-run"
    chmod a+x "$session_dir" && chmod -R a+rX "$session_dir/app"
fi
start_program "${user[@]}" env XDG_DATA_HOME="$user_data" "$program"
xdotool key b
check "user's folder unreadable: 'b' shows the pack's picture" wait_for "$wait_seconds" picture_is pack
check "user's folder unreadable: no box" no_window_named "^$picture_box\$"
quit_program
chmod 700 "$session_dir" "$user_data"

no_stderr
