#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# Configures and builds into build/ (or $BUILD_DIR). Runs on bash 3.2 too:
# no empty-array expansions under set -u.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
if [[ "$(uname -s)" == "Darwin" ]]; then
    export CMAKE_PREFIX_PATH="${CMAKE_PREFIX_PATH:-$(brew --prefix qt)}"
fi
if [[ ! -f "$build_dir/CMakeCache.txt" ]]; then
    set -- -S . -B "$build_dir" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@"
    if command -v ninja >/dev/null; then
        set -- "$@" -G Ninja
    fi
    if command -v ccache >/dev/null; then
        set -- "$@" -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
    fi
    cmake "$@"
fi
jobs=$(getconf _NPROCESSORS_ONLN 2>/dev/null || sysctl -n hw.ncpu 2>/dev/null || echo 2)
cmake --build "$build_dir" --parallel "$jobs"
