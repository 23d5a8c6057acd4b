#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# Makes the .deb (and the .rpm where rpmbuild is installed) from the build in
# build/ (or $BUILD_DIR) into OUTPUT, and runs lintian and rpmlint on them.
# Fails on any linter error; warnings are explained in packaging/README.md.
#   scripts/package-linux.sh [OUTPUT]      (default: dist)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
output=${1:-dist}
[[ -f "$build_dir/CPackConfig.cmake" ]] || {
    echo "package-linux.sh: no configured build in $build_dir: run scripts/build.sh first" >&2
    exit 2
}
mkdir -p "$output"
output=$(cd "$output" && pwd)
generators=DEB
command -v rpmbuild >/dev/null && generators="DEB;RPM"
# Reproducible: the files' times and the man pages' date.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
cpack -G "$generators" -B "$output" --config "$build_dir/CPackConfig.cmake"
rm -rf "$output/_CPack_Packages"

status=0
for deb in "$output"/*.deb; do
    # Nothing is suppressed; the info-level tags are explained in packaging/README.md.
    lintian --fail-on error,warning "$deb" || status=1
done
if command -v rpmlint >/dev/null; then
    for rpm in "$output"/*.rpm; do
        [[ -e "$rpm" ]] || continue
        rpmlint --config packaging/rpmlint.toml "$rpm" || status=1
    done
fi
exit "$status"
