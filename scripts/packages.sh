# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian 12 packages the project needs, and a function that installs the
# missing ones. Sourced by scripts/run and scripts/test.

# qt6-translations-l10n: Qt's own buttons and dialogs in Italian, as the
# package recommends. dpkg-dev and file: cpack -G DEB runs dpkg-shlibdeps,
# which needs file. git: the upgrade test finds the previous release in the
# history (a fresh chroot or container has no git of its own). xwayland,
# qt6-wayland and GStreamer's PipeWire source: the lesson on GNOME on
# Wayland, as an X11 and as a Wayland client, its screen read from mutter's
# screen cast.
build_packages=(cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev
                libwayland-dev wayland-protocols qt6-base-private-dev
                qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
                libsndfile1-dev libpulse-dev fonts-liberation dpkg-dev file)
test_packages=(xvfb xauth xdotool x11-utils imagemagick sox pulseaudio pulseaudio-utils
               desktop-file-utils appstream lintian devscripts valgrind
               pipewire pipewire-pulse wireplumber dbus dbus-tests git
               libxtst-dev mutter kwin-x11 kwin-style-breeze xfwm4
               xwayland qt6-wayland gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-pipewire)

# The fuzz run's toolchain: clang and its runtimes with libFuzzer (Debian 12
# and 13 name them so). Optional: without them the fuzz run is skipped.
fuzz_packages=(clang libclang-rt-dev llvm)

install_missing() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Only for scripts/test-on windows, which cross-builds Quilloro for Windows
# (MinGW-w64, Qt's and libsndfile's sources through apt-get source, NSIS,
# icotool for the program's icon, Liberation Sans under the SIL Open Font
# License, which bookworm's fonts-liberation is not yet) and tests it under
# Wine, with the test tools above (Xvfb, xdotool, PulseAudio, sox, ImageMagick).
windows_packages=(cmake ninja-build pkg-config dpkg-dev qt6-base-dev-tools qt6-base-dev
                  qt6-translations-l10n g++-mingw-w64-x86-64-posix mingw-w64-tools nsis icoutils wine wine64 fonts-liberation2)
