# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the packaging checks: failures counted by fail(), the Debian
# package made from the build tree, and the set-up of the tests that install it.
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# finish SUMMARY: says SUMMARY when nothing failed, and exits 1 when something did.
finish() { ((failures == 0)) && echo "$1"; exit $((failures > 0)); }

# build_deb BUILD OUT: the Debian package made by cpack in OUT; sets deb.
build_deb() {
    (cd "$1" && cpack -G DEB -B "$2" >"$2/cpack.log") || { cat "$2/cpack.log"; exit 1; }
    local debs=("$2"/quilloro_*.deb)
    if ((${#debs[@]} != 1)) || [[ ! -f ${debs[0]} ]]; then
        echo "FAIL: cpack made no single quilloro_*.deb"
        cat "$2/cpack.log"
        exit 1
    fi
    deb=${debs[0]}
}

# project_version < CMakeLists.txt: the version its project() line gives,
# which is the package's.
project_version() { sed -nE 's/^project\(Quilloro VERSION ([^ )]+).*/\1/p' | head -n 1; }

# may_install: exits 77 (skipped) unless this test may install the quilloro
# package and remove it again: as root, with none installed already.
may_install() {
    if (($(id -u) != 0)); then
        echo "SKIP: installing a package needs root"
        exit 77
    fi
    if [[ $(dpkg-query -W -f='${db:Status-Status}' quilloro 2>/dev/null) == installed ]]; then
        echo "SKIP: a quilloro package is installed already; this test would replace and remove it"
        exit 77
    fi
}

# install_test BUILD SOURCE: the set-up of a test that installs the package:
# sets build, source, e2e (the end-to-end runner) and work (a scratch folder);
# skipped unless it may install (may_install). At exit, the package that
# apt_install installed is removed again, and work too.
install_test() {
    build=$(realpath "${1:?usage: $0 <build-dir> <source-dir>}")
    source=$(realpath "${2:?usage: $0 <build-dir> <source-dir>}")
    e2e=$source/tests/e2e/e2e.sh
    may_install
    work=$(mktemp -d)
    installed=0
    trap 'if ((installed)); then
              apt-get remove -y -o DPkg::Lock::Timeout=300 quilloro >/dev/null || echo "WARNING: could not remove quilloro"
          fi
          rm -rf "$work"' EXIT
}
# apt_install DEB: installed without the recommended packages: what the tests
# need beside the package is there already, and nothing else is left behind
# when it is removed again.
apt_install() {
    installed=1
    apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=300 "$1"
}
