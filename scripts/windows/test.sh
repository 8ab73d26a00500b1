#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Quilloro for Windows, from this checkout: cross-builds it with MinGW-w64
# against Qt and libsndfile built from Debian's sources (kept in a cache, see
# build-deps.sh), packs the installer and the zip into build-windows/, and
# tests them under Wine (tests/e2e/modes/windows*.sh). Run as
#     scripts/test-on windows
# Needs root to install the missing Debian packages. Prints the result and
# exits with the tests' status.
set -euo pipefail
if ((EUID != 0)); then
    exec sudo -- "$0" "$@"
fi
repo=$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)
cd "$repo"
start=$SECONDS

source scripts/packages.sh
install_missing "${windows_packages[@]}" xvfb xauth xdotool x11-utils imagemagick sox pulseaudio pulseaudio-utils locales

echo "== the Windows libraries (Qt, libsndfile), built once and kept"
mapfile -t prefixes < <(scripts/windows/build-deps.sh)
qt_prefix=${prefixes[0]}
sndfile_prefix=${prefixes[1]}

echo "== cross-building Quilloro into build-windows/"
build=$repo/build-windows
log=$build/build.log
mkdir -p "$build"
export QUILLORO_WINDOWS_ROOTS="$qt_prefix:$sndfile_prefix"
export PKG_CONFIG_LIBDIR=$sndfile_prefix/lib/pkgconfig PKG_CONFIG_PATH=
cmake -G Ninja -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$repo/scripts/windows/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    >"$log" 2>&1 ||
    { tail -n 30 "$log"; exit 1; }
cmake --build "$build" --parallel "${QUILLORO_JOBS:-2}" || exit 1

echo "== packing the installer and the zip"
rm -f "$build"/quilloro-*-win64*
(cd "$build" && cpack -G NSIS && cpack -G ZIP) >>"$log" 2>&1 ||
    { tail -n 30 "$log"; exit 1; }
installer=$(compgen -G "$build/quilloro-*-win64-setup.exe")
zip=$(compgen -G "$build/quilloro-*-win64.zip")
ls -l "$installer" "$zip"

echo "== the tests under Wine ($(wine --version 2>/dev/null))"
status=0
# The unit tests find Qt's and the compiler's libraries where they were built,
# in a Wine prefix of their own. Qt Test writes its report to a file: on
# Wine's standard output it finds no console, and writes nowhere.
# No sound server is started for them: the capture's test expects no
# microphone.
mingw_dll_dir() { dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name="$1")"; }
wine_path="Z:$qt_prefix/bin;Z:$(mingw_dll_dir libstdc++-6.dll);Z:$(mingw_dll_dir libwinpthread-1.dll)"
unit_prefix=$(mktemp -d /tmp/quilloro-wine.XXXXXX)
(
    export WINEPREFIX=$unit_prefix/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    export WINEPATH=$wine_path
    unset PULSE_SERVER
    trap 'wineserver -k 2>/dev/null; rm -rf "$unit_prefix"' EXIT
    wine wineboot -i >/dev/null 2>&1
    unit_status=0
    for test in "$build"/tests/bin/*/*.exe; do
        name=$(basename "$test" .exe)
        wine "$test" -o "Z:$unit_prefix/$name.txt,txt" >/dev/null 2>&1 && result=0 || result=$?
        grep -E '^(FAIL|Totals)|failure location' "$unit_prefix/$name.txt" || echo "$name: no report (status $result)"
        ((result == 0)) || unit_status=1
    done
    exit "$unit_status"
) || status=$?
bash tests/e2e/e2e.sh "$installer" windows "$zip" || status=$?
# The grown-ups' choices, from the user's and the machine's settings files.
bash tests/e2e/e2e.sh "$zip" windows_choices || status=$?
# The listening game, a round answered wrong and then right, heard.
bash tests/e2e/e2e.sh "$zip" windows_game || status=$?
# The capture through a microphone of the session's sound server, recorded by
# the capture test's recorder with the libraries it was built with.
WINEPATH=$wine_path bash tests/e2e/e2e.sh "$build/tests/bin/tst_capture_wasapi/tst_capture_wasapi.exe" \
    windows_capture || status=$?
# The recorder for grown-ups, installed, as an Italian user meets it; the
# screenshots of its main steps are kept in build-windows/shots.
mkdir -p "$build/shots"
QUILLORO_E2E_SHOTS=$build/shots bash tests/e2e/e2e.sh "$installer" windows_recorder || status=$?
elapsed=$((SECONDS - start))
echo "== $( ((status == 0)) && echo passed || echo "FAILED (status $status)") in $((elapsed / 60)) min $((elapsed % 60)) s"
exit "$status"
