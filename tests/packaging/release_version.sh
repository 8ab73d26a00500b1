#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# One version for every place a user or a package manager reads it: the
# project's (which the package takes), the Debian changelog's top entry and
# the newest AppStream release, dated the same day in both release notes; and
# the two lists of releases are the same, newest first.
# Usage: release_version.sh <source-dir>
set -euo pipefail
source "$(dirname "$0")/common.sh"
source=${1:?usage: release_version.sh <source-dir>}
changelog=$source/packaging/changelog
metainfo=$source/packaging/io.github.quilloro.Quilloro.metainfo.xml

project=$(project_version <"$source/CMakeLists.txt")
[[ -n $project ]] || { echo "FAIL: no version on the project() line of CMakeLists.txt"; exit 1; }

# "VERSION DATE" a line, newest first as the files list them.
changelog_releases=$(dpkg-parsechangelog -l "$changelog" --all --format rfc822 |
    awk '/^Version: / { v = $2 } /^Date: / { sub(/^Date: /, ""); print v, $0 }' |
    while read -r version date; do echo "$version $(date -u -d "$date" +%F)"; done)
attribute() { [[ $tag =~ \ $1=\"([^\"]*)\" ]] && echo "${BASH_REMATCH[1]}" || echo "?"; }
metainfo_releases=$(grep -oE '<release [^>]*>' "$metainfo" |
    while read -r tag; do echo "$(attribute version) $(attribute date)"; done)
echo "project: $project"
echo "changelog:" $changelog_releases
echo "metainfo: " $metainfo_releases

newest() { head -n 1 <<<"$1" | cut -d' ' -f"$2"; }
[[ $(newest "$changelog_releases" 1) == "$project" ]] ||
    fail "the changelog's top entry is $(newest "$changelog_releases" 1), the project's version $project"
[[ $(newest "$metainfo_releases" 1) == "$project" ]] ||
    fail "the newest AppStream release is $(newest "$metainfo_releases" 1), the project's version $project"
[[ $changelog_releases == "$metainfo_releases" ]] ||
    fail "the changelog and the AppStream metainfo list different releases or dates"
for list in changelog_releases metainfo_releases; do
    cut -d' ' -f1 <<<"${!list}" | sort -C -r -u -V || fail "${list%_releases}: releases not newest first, or one twice"
done

finish "one version: $project"
