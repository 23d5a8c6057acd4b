#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# Builds the core and mtzip without the GUI (-DMTI_GUI=OFF) into BUILD_DIR
# (default build-cli) and checks that mtzip links no Qt Widgets.
#   scripts/build-cli-only.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-cli}
if [[ "$(uname -s)" == "Darwin" ]]; then
    export CMAKE_PREFIX_PATH="${CMAKE_PREFIX_PATH:-$(brew --prefix qt)}"
fi
if [[ ! -f "$build_dir/CMakeCache.txt" ]]; then
    set -- -S . -B "$build_dir" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" -DMTI_GUI=OFF
    command -v ninja >/dev/null && set -- "$@" -G Ninja
    command -v ccache >/dev/null && set -- "$@" -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
    cmake "$@"
fi
jobs=$(getconf _NPROCESSORS_ONLN 2>/dev/null || sysctl -n hw.ncpu 2>/dev/null || echo 2)
cmake --build "$build_dir" --parallel "$jobs" --target mtzip
mtzip="$build_dir/Sources/Cli/mtzip"
if [[ "$(uname -s)" == "Darwin" ]]; then
    libraries=$(otool -L "$mtzip")
else
    libraries=$(readelf -d "$mtzip" | grep NEEDED)
fi
if grep -q -i 'widgets' <<<"$libraries"; then
    echo "build-cli-only.sh: $mtzip links Qt Widgets:" >&2
    echo "$libraries" >&2
    exit 1
fi
"$mtzip" --version
echo "build-cli-only.sh: $mtzip links no Qt Widgets"
