#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the real program under Xvfb with a PulseAudio null sink and drives it
# with xdotool, in one of the modes in modes/ (each a file sourced here once
# the session is up, with the functions of session.sh and $program at hand;
# each file's opening comment says what it checks):
#
#   e2e.sh PROGRAM MODE [ARG...]
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
if [ $# -lt 2 ] || [ ! -f "$here/modes/$2.sh" ]; then
    echo "usage: e2e.sh PROGRAM MODE [ARG...]; modes:" $(basename -s .sh "$here"/modes/*.sh) >&2
    exit 2
fi
program=$(readlink -f "$1")
mode=$2
mode_args=("${@:3}")

source "$here/session.sh"
: >"$session_dir/stderr"
start_display
start_sound
source "$here/modes/$mode.sh"
summary
