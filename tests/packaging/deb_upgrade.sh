#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A family with the previous release installed gets the new one by installing
# its package: builds the previous release's package, installs it, installs
# this build's package over it (apt must call it an upgrade, not "already the
# newest version"), runs the lesson on the upgraded /usr/bin/quilloro and
# removes the package again.
# The previous release is the last commit before the project's version line
# last changed, found from the history (tags do not travel with every clone);
# a version changed in the work tree but not yet committed makes HEAD the
# previous release.
# Usage: deb_upgrade.sh <build-dir> <source-dir>
# Exits 77 (skipped) when not root, when a quilloro package is installed
# already, or when the history does not reach the previous release.
set -euo pipefail
source "$(dirname "$0")/common.sh"
install_test "$@"
skip() { echo "SKIP: $*"; exit 77; }
git() { command git -C "$source" "$@"; }
version_at() { { git show "$1:CMakeLists.txt" 2>/dev/null || true; } | project_version; }

git rev-parse --verify -q HEAD >/dev/null || skip "$source is not a git checkout: no history to find the previous release in"
current=$(project_version <"$source/CMakeLists.txt")
previous=
if [[ $(version_at HEAD) != "$current" ]]; then
    previous=$(git rev-parse HEAD)
else
    while read -r commit; do
        old=$(version_at "$commit^")
        if [[ -n $old && $old != "$current" ]]; then
            previous=$(git rev-parse "$commit^")
            break
        fi
    done < <(git log --first-parent --format=%H -G'^project\(Quilloro VERSION' HEAD -- CMakeLists.txt)
fi
if [[ -z $previous ]]; then
    [[ $(git rev-parse --is-shallow-repository) == true ]] &&
        skip "a shallow clone: its history does not reach the release before $current (git fetch --unshallow)"
    skip "no commit before the version became $current: no previous release to upgrade from"
fi
old=$(version_at "$previous")
echo "upgrading from $old (commit $(git rev-parse --short "$previous")) to $current"
if ! dpkg --compare-versions "$old" lt "$current"; then
    echo "FAIL: the version went from $old to $current: apt would not upgrade"
    exit 1
fi

# Only what the package holds is built: the program and its media, no tests.
mkdir "$work/src" "$work/old" "$work/new"
git archive "$previous" | tar -x -C "$work/src"
if ! { cmake -S "$work/src" -B "$work/build" -DBUILD_TESTING=OFF &&
    cmake --build "$work/build" -j"$(nproc)" --target quilloro; } >"$work/build.log" 2>&1; then
    tail -30 "$work/build.log"
    echo "FAIL: the previous release ($old) does not build"
    exit 1
fi
build_deb "$work/build" "$work/old"
old_deb=$deb
build_deb "$build" "$work/new"
new_deb=$deb
[[ $(dpkg-deb -f "$new_deb" Version) == "$current" ]] || fail "the new package is not version $current"

installed_version() { dpkg-query -W -f='${Version}' quilloro 2>/dev/null || true; }
apt_install "$old_deb" >"$work/install.log"
[[ $(installed_version) == "$old" ]] || fail "the previous release installed as $(installed_version), not $old"

LC_ALL=C apt_install "$new_deb" | tee "$work/upgrade.log"
grep -q '^1 upgraded, 0 newly installed' "$work/upgrade.log" || fail "apt did not upgrade quilloro"
grep -q 'is already the newest version' "$work/upgrade.log" && fail "apt kept the previous release"
[[ $(installed_version) == "$current" ]] || fail "installed after the upgrade: $(installed_version), not $current"
((failures == 0)) || exit 1

bash "$e2e" /usr/bin/quilloro installed
