#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from the build tree, installs it with apt-get, runs
# the end-to-end tests against the installed /usr/bin/quilloro (and the
# recorder, /usr/bin/quilloro-registra) and removes the
# package again. This is the only check of the program as a user gets it:
# started through the /usr/bin link, reading the media from /usr/lib/quilloro/IMG.
# Usage: deb_e2e.sh <build-dir> <source-dir>
# Exits 77 (skipped) when not root or when a quilloro package is already installed.
set -euo pipefail
source "$(dirname "$0")/common.sh"
install_test "$@"

build_deb "$build" "$work"

# The libraries the executable links to come from dpkg-shlibdeps; the fonts
# are used at run time and listed by hand, as is the very Qt release the
# package was built with (the child lock on Wayland uses a part of Qt whose
# binary interface changes between releases). Debian 13 renamed some
# libraries for 64-bit time (libqt6core6t64), so either name will do.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in libqt6core6 libqt6gui6 libqt6widgets6 libpulse0 libsndfile1 fonts-liberation; do
    [[ ", $depends," =~ ,\ $package(t64)?[\ ,] ]] || fail "Depends lacks $package"
done
# The name Qt's core library provides for its release, "qt6-base-abi (= 6.4.2)"
# in Debian 12 and "qt6-base-private-abi (= 6.8.2)" in Debian 13.
qt_abi=$(dpkg-query -W -f='${Provides}\n' 'libqt6core6*' | grep -o 'qt6-base[a-z-]*-abi (= [^)]*)' | head -n 1)
[[ -n $qt_abi ]] || fail "the installed Qt core library provides no qt6-base ABI name"
[[ ", $depends," == *", $qt_abi,"* ]] || fail "Depends lacks $qt_abi"
[[ $(dpkg-deb -f "$deb" Section) == education ]] || fail "Section is not education"
((failures == 0)) || exit 1

apt_install "$deb"
bash "$e2e" /usr/bin/quilloro installed
# The recorder for grown-ups as installed: a take kept into the family's
# folder, played by the installed child's program, the installed pack untouched.
bash "$e2e" /usr/bin/quilloro recorder /usr/bin/quilloro-registra take
