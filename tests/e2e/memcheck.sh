#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A short real session under Valgrind's memcheck: start, 50 keys, Escape.
# Fails when Valgrind reports an error or a definite leak whose stack passes
# through the program's own code.
#
#   memcheck.sh PROGRAM     (PROGRAM with its IMG beside it, e.g. build/quilloro)
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
wait_seconds=90 # a start or an exit under Valgrind takes many times as long
source "$here/session.sh"
program=$(readlink -f "$1")
sources=$(readlink -f "$here/../..")

start_display
start_sound
keep_log=${KEEP_LOG:-}
log="$session_dir/memcheck.log"
valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
    --num-callers=30 --log-file="$log" "$program" &
app=$!
session_pids+=($app)

win=$(window_named '^Quilloro - ') || { echo "FAIL: the window never appeared under valgrind"; exit 1; }
xdotool windowfocus --sync "$win"
# Letters and digits only: any other key would open a box and wait.
for key in $(echo {a..z} {0..9} {a..n}); do
    xdotool key "$key"
    sleep 0.05
done
sleep 0.5
xdotool key Escape
box=$(window_named '^A presto da Ferlandi$') || { echo "FAIL: no farewell box under valgrind"; exit 1; }
xdotool windowfocus --sync "$box" key Return
wait_exit "$app"
status=$exit_status

grep -E 'ERROR SUMMARY|definitely lost' "$log" | sed 's/^==[0-9]*== //'
# An error record runs from its headline to the next blank line. It is ours
# when its innermost frame with a source file names one of our files:
# every stack passes through main(), so that alone says nothing.
mine='(key_handler|main_window|sound_player|main)\.cpp'
ours=$(awk -v mine="$mine" '
    /^==[0-9]+== $/ { if (first ~ mine && kind) count++; first = ""; kind = 0; next }
    /Invalid|uninitialised|definitely lost|Mismatched|overlap/ { kind = 1 }
    first == "" && match($0, /\([^():]+\.(c|cc|cpp|h):[0-9]+\)/) { first = substr($0, RSTART, RLENGTH) }
    END { print count + 0 }' "$log")
echo "errors in the program's own code: $ours; exit status $status"
[ -n "$keep_log" ] && cp "$log" "$keep_log"
[ "$status" = 0 ] && [ "$ours" -eq 0 ]
