# SPDX-License-Identifier: GPL-3.0-or-later
# A key's picture from the program's own pack, on an ordinary screen and on
# one of twice the pixels (QT_SCALE_FACTOR=2, as on a HiDPI screen; a full
# screen of 1080 lines scales the window nearly as much). The pack's
# pictures have twice the pixels of the 300 x 250 they are shown at: on the
# ordinary screen the picture takes that place as it always did, and on the
# doubled one every pixel of the file reaches the screen, none made up by
# enlarging. Needs a screen taller than the doubled window (E2E_SCREEN).

pack_picture="$(dirname "$program")/IMG/a.jpg"

# picture_box: the size and place, in the window, of what is not black
# below the big character: the picture (its border is black too).
picture_box() {
    program_died
    import -window "$win" "$session_dir/shot.png" 2>/dev/null
    convert "$session_dir/shot.png" -crop "+0+$((top + 290))" +repage -fuzz 5% -trim -format '%wx%h%O' info:
}
box_is() { [ "$(picture_box)" = "$1" ]; }

start_program "$program"
xdotool key a
wait_for "$wait_seconds" box_is 300x250+9+7 || true
box=$(picture_box)
check "ordinary screen: a's picture 300 x 250 at (9, 297), inside its border, as always ($box)" test "$box" = 300x250+9+7
convert "$pack_picture" -resize 50% "$session_dir/half.png"
convert "$session_dir/shot.png" -crop "300x250+9+$((top + 297))" +repage "$session_dir/shown.png"
difference=$(compare -metric RMSE "$session_dir/shown.png" "$session_dir/half.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/' || true)
check "ordinary screen: the picture is the pack's drawing at half its size (RMSE $difference)" \
    eval '[[ $difference =~ ^[0-9.]+$ ]] && above 0.05 "$difference"'
quit_program

export QT_SCALE_FACTOR=2
start_program "$program"
top=$(($(xwininfo -id "$win" | awk '/Height:/ { print $2 }') - 2 * 554))
# differing: how many pixels of the picture's place on the screen differ
# from the file's by more than two JPEG decoders may.
differing() {
    program_died
    import -window "$win" "$session_dir/shot.png" 2>/dev/null
    convert "$session_dir/shot.png" -crop "600x500+18+$((top + 594))" +repage "$session_dir/shown.png"
    compare -metric AE -fuzz 2% "$session_dir/shown.png" "$pack_picture" null: 2>&1 || true
}
every_pixel() { [ "$(differing)" = 0 ]; }
xdotool key a
wait_for "$wait_seconds" every_pixel || true
check "doubled screen: a's picture on the screen pixel for pixel ($(differing) of 300000 differ)" every_pixel
quit_program
unset QT_SCALE_FACTOR
no_stderr
