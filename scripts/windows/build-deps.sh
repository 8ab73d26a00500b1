#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds the Windows libraries Quilloro needs from Debian's own sources:
# Qt (Core, Gui, Widgets, the Windows platform plugin, the JPEG image plugin,
# the Windows styles, Test for the unit tests, and Qt's own Italian texts in
# its translations folder) and libsndfile (WAV only, static). Each goes into a folder of the cache named after it and its
# version, which a later run reuses as it stands:
#     $QUILLORO_WINDOWS_CACHE/qt-VERSION, .../libsndfile-VERSION
# (the cache is /var/cache/quilloro/windows unless QUILLORO_WINDOWS_CACHE
# says otherwise). Prints the two folders, one a line, on stdout; everything
# else goes to stderr and to build logs in the cache.
# Needs the packages in windows_packages (scripts/packages.sh), and root for
# apt-get when the sources are not in the cache yet.
set -euo pipefail

here=$(cd "$(dirname "$(readlink -f "$0")")" && pwd)
toolchain=$here/mingw-w64.cmake
cache=${QUILLORO_WINDOWS_CACHE:-/var/cache/quilloro/windows}
jobs=${QUILLORO_JOBS:-2}
mkdir -p "$cache/sources"

say() { echo "build-deps: $*" >&2; }

# deb-src entries for the host's own apt sources (the same mirrors and
# suites): the source packages match the host's binary packages, so the
# Windows Qt is the version of the Qt tools (moc, rcc, uic) it is built with.
# deb822 stanzas go to $1/deb-src.sources, one-line entries to $1/deb-src.list.
write_deb_src() {
    local file
    for file in /etc/apt/sources.list.d/*.sources; do
        [[ -f $file ]] || continue
        awk 'BEGIN { RS = ""; FS = "\n" }
             { types = ""; body = ""
               for (i = 1; i <= NF; i++) {
                   if (tolower($i) ~ /^types:/) types = $i; else body = body $i "\n" }
               if (tolower(types) ~ /[ \t]deb([ \t]|$)/) print "Types: deb-src\n" body }' "$file"
    done >"$1/deb-src.sources"
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [[ -f $file ]] || continue
        sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$file"
    done >"$1/deb-src.list"
    [[ -s $1/deb-src.sources ]] || rm "$1/deb-src.sources"
    [[ -s $1/deb-src.list ]] || rm "$1/deb-src.list"
}

# fetch_source PACKAGE: downloads Debian's source package PACKAGE into the
# cache through an apt configuration of its own (its own source list and
# package lists in a temporary folder): the host's apt setup stays as it is.
fetch_source() {
    local package=$1 dir=$cache/sources/$1
    compgen -G "$dir/*.dsc" >/dev/null && return
    local apt_dir
    apt_dir=$(mktemp -d)
    mkdir -p "$apt_dir/parts" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
    write_deb_src "$apt_dir/parts"
    local apt=(apt-get -q -o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$apt_dir/parts"
               -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache")
    say "downloading the Debian source of $package"
    "${apt[@]}" update >&2
    rm -rf "$dir.partial" && mkdir -p "$dir.partial"
    (cd "$dir.partial" && "${apt[@]}" source --download-only "$package" >&2)
    rm -rf "$apt_dir" "$dir"
    mv "$dir.partial" "$dir"
}

# unpack PACKAGE DEST: Debian's source package PACKAGE unpacked into DEST
# with Debian's patches applied (among them its security fixes).
unpack() {
    local dsc
    dsc=$(compgen -G "$cache/sources/$1/*.dsc" | head -n 1)
    rm -rf "$2" && mkdir -p "$(dirname "$2")"
    dpkg-source --no-check -x "$dsc" "$2" >&2
}

upstream_version() {   # the upstream version of a source package in the cache
    local dsc
    dsc=$(compgen -G "$cache/sources/$1/*.dsc" | head -n 1)
    sed -n 's/^Version: \(.*:\)\{0,1\}\([^-+~]*\).*/\2/p' "$dsc" | head -n 1
}

fetch_source qt6-base
fetch_source libsndfile

sndfile_version=$(upstream_version libsndfile)
sndfile_prefix=$cache/libsndfile-$sndfile_version
if [[ ! -f $sndfile_prefix/.quilloro-built ]]; then
    say "cross-building libsndfile $sndfile_version into $sndfile_prefix (log: $cache/libsndfile-$sndfile_version.log)"
    work=$cache/work/libsndfile-$sndfile_version
    unpack libsndfile "$work/src"
    rm -rf "$sndfile_prefix"
    # WAV (and libsndfile's other built-in formats) only: no FLAC, Ogg,
    # Vorbis, Opus or MPEG libraries. Static, so there is no DLL to ship.
    cmake -G Ninja -S "$work/src" -B "$work/build" \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$sndfile_prefix" -DBUILD_SHARED_LIBS=OFF \
        -DENABLE_EXTERNAL_LIBS=OFF -DENABLE_MPEG=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF \
        -DBUILD_TESTING=OFF -DBUILD_REGTEST=OFF -DENABLE_CPACK=OFF -DINSTALL_MANPAGES=OFF \
        -DENABLE_PACKAGE_CONFIG=ON -DINSTALL_PKGCONFIG_MODULE=ON >"$cache/libsndfile-$sndfile_version.log" 2>&1 &&
        nice cmake --build "$work/build" --parallel "$jobs" >>"$cache/libsndfile-$sndfile_version.log" 2>&1 &&
        cmake --install "$work/build" >>"$cache/libsndfile-$sndfile_version.log" 2>&1 ||
        { say "libsndfile failed; see $cache/libsndfile-$sndfile_version.log"
          tail -n 30 "$cache/libsndfile-$sndfile_version.log" >&2; exit 1; }
    touch "$sndfile_prefix/.quilloro-built"
    rm -rf "$work"
fi
qt_version=$(upstream_version qt6-base)
qt_prefix=$cache/qt-$qt_version
if [[ ! -f $qt_prefix/.quilloro-built ]]; then
    say "cross-building Qt $qt_version into $qt_prefix (log: $cache/qt-$qt_version.log)"
    work=$cache/work/qt-$qt_version
    unpack qt6-base "$work/src"
    rm -rf "$qt_prefix"
    # Qt 6.4 builds the DirectWrite font database into Gui only with
    # Direct2D, which is left out here, while the Windows platform plugin
    # asks for it with DirectWrite alone: the plugin is made to ask under
    # Gui's own condition. (The fonts come from GDI, Qt's default there.)
    sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
        "$work/src/src/plugins/platforms/windows/qwindowsintegration.cpp"
    # Debian's tarball lacks src/3rdparty/wintab, which tablet support needs.
    # Qt's own copies of zlib, libpng, libjpeg, PCRE2 and HarfBuzz go in.
    cmake -G Ninja -S "$work/src" -B "$work/build" \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$qt_prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DFEATURE_tabletevent=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF \
        -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF \
        -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
        -DFEATURE_testlib=ON -DFEATURE_icu=OFF -DFEATURE_fontconfig=OFF -DFEATURE_freetype=OFF \
        -DFEATURE_gif=OFF -DFEATURE_ico=OFF -DFEATURE_zstd=OFF -DFEATURE_glib=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
        -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF \
        -DFEATURE_system_doubleconversion=OFF >"$cache/qt-$qt_version.log" 2>&1 &&
        nice cmake --build "$work/build" --parallel "$jobs" >>"$cache/qt-$qt_version.log" 2>&1 &&
        cmake --install "$work/build" --strip >>"$cache/qt-$qt_version.log" 2>&1 ||
        { say "Qt failed; see $cache/qt-$qt_version.log"; tail -n 30 "$cache/qt-$qt_version.log" >&2; exit 1; }
    touch "$qt_prefix/.quilloro-built"
    rm -rf "$work"
fi

# Qt's buttons and dialogs in Italian ("Sì", "Annulla", the file dialog):
# qtbase_it.qm as Debian builds it from its source of Qt's translations, the
# same Qt version, in qt6-translations-l10n. (A .qm file is the same on every
# platform; the source tarball itself is not on every mirror.)
qm=/usr/share/qt6/translations/qtbase_it.qm
if [[ ! -f $qt_prefix/translations/qtbase_it.qm ]]; then
    [[ -f $qm ]] || { say "$qm is missing: install qt6-translations-l10n"; exit 1; }
    mkdir -p "$qt_prefix/translations"
    cp "$qm" "$qt_prefix/translations/"
fi

rmdir "$cache/work" 2>/dev/null || true

echo "$qt_prefix"
echo "$sndfile_prefix"
