#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from the build tree and holds it to the archive's
# standard without installing it: lintian reports no error and no warning, and
# the packaged executables are hardened (hardening-check: PIE, stack protector,
# FORTIFY_SOURCE, RELRO and immediate binding).
# Usage: deb_lint.sh <build-dir>
set -euo pipefail
source "$(dirname "$0")/common.sh"
build=$(realpath "${1:?usage: deb_lint.sh <build-dir>}")

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
build_deb "$build" "$out"

# Lintian prints its findings one a line, "E: quilloro: tag ..." for an error
# and "W: ..." for a warning; other levels are advice.
lintian --version
findings=$(lintian --fail-on none "$deb" 2>&1 | grep -v '^running with root privileges' || true)
[[ -n $findings ]] && echo "$findings"
grep -Eq '^[EW]: ' <<<"$findings" && fail "lintian reports errors or warnings"

mkdir "$out/root"
dpkg-deb -x "$deb" "$out/root"
for program in quilloro quilloro-registra; do
    report=$(hardening-check "$out/root/usr/lib/quilloro/$program" || true)
    echo "$report"
    for feature in 'Position Independent Executable' 'Stack protected' 'Fortify Source functions' \
                   'Read-only relocations' 'Immediate binding'; do
        grep -q "^ $feature: yes" <<<"$report" || fail "hardening-check: $program: $feature is not yes"
    done
done

finish "package lint and hardening OK"
