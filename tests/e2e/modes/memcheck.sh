# SPDX-License-Identifier: GPL-3.0-or-later
# A short real session under Valgrind's memcheck: start, 50 keys, Escape.
# Fails when Valgrind reports an error or a definite leak whose stack passes
# through the program's own code. KEEP_LOG=FILE keeps Valgrind's log.

wait_seconds=90 # a start or an exit under Valgrind takes many times as long
log=${KEEP_LOG:-$session_dir/memcheck.log}
start_program valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite \
    --errors-for-leak-kinds=definite --num-callers=30 --log-file="$log" "$program"

# Letters and digits only: any other key would open a box and wait.
xdotool key --delay 50 {a..z} {0..9} {a..n}
quit_program

grep -E 'ERROR SUMMARY|definitely lost' "$log" | sed 's/^==[0-9]*== //'
# An error record runs from its headline to the next blank line. It is ours
# when its innermost frame with a source file names one of our files:
# every stack passes through main(), so that alone says nothing.
mine='(key_handler|main_window|sound_player|main)\.cpp'
# Each record found is printed, so that a failure says what it was.
awk -v mine="$mine" '
    /^==[0-9]+== $/ { if (first ~ mine && kind) { count++; print record } first = ""; kind = 0; record = ""; next }
    { record = record "\n" $0 }
    /Invalid|uninitialised|definitely lost|Mismatched|overlap/ { kind = 1 }
    first == "" && match($0, /\([^():]+\.(c|cc|cpp|h):[0-9]+\)/) { first = substr($0, RSTART, RLENGTH) }
    END { print count + 0 >"/dev/stderr" }' "$log" 2>"$session_dir/ours" | cut -c1-160 | head -60
ours=$(cat "$session_dir/ours")
check "no Valgrind error in the program's own code ($ours found)" test "$ours" -eq 0
