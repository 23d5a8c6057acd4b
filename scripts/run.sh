#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# Fresh machine to running application: installs dependencies, builds, and
# starts Motion Template Installer. Archives given as arguments are opened;
# with none, the bundled sample pack is.
#   scripts/run.sh [ARCHIVE.mtzip ...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build_dir=${BUILD_DIR:-build}
scripts/install-deps.sh
scripts/build.sh

archives=()
for archive in "$@"; do
    if [[ ! -e "$archive" ]]; then
        echo "run.sh: no such archive: $archive" >&2
        exit 2
    fi
    archives+=("$(cd "$(dirname "$archive")" && pwd)/$(basename "$archive")")
done
if ((${#archives[@]} == 0)); then
    archives=("$root/$build_dir/Resources/LT_Sample_Pack.mtzip")
fi

if [[ "$(uname -s)" == "Darwin" ]]; then
    # Through Launch Services, so the archives arrive as the Finder sends them.
    exec open -a "$root/$build_dir/Sources/App/Motion Template Installer.app" "${archives[@]}"
fi

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "run.sh: no display to show the application on (DISPLAY and WAYLAND_DISPLAY are unset)." >&2
    echo "On a machine without one: xvfb-run -a $0 $*" >&2
    exit 2
fi
exec "$root/$build_dir/Sources/App/motion-template-installer" "${archives[@]}"
